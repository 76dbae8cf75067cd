#pragma once

#include <QString>

namespace Wordloom {

// What a file dialog is set up with; the filter is a sequence of description
// and pattern pairs separated by "|", as in "Languagepacks (*.xml)|*.xml".
struct FileDialogSettings {
    QString title;
    QString filter;
    // Appended to a name typed without extension; none when empty.
    QString defaultExtension;
    // The name or path offered when the dialog opens.
    QString fileName;
};

enum class UnsavedAnswer { Yes, No, Cancel };
enum class RecoveryAnswer { Restore, Discard, Later };

// The one door to modal message boxes and file dialogs.
class Prompts {
public:
    virtual ~Prompts() = default;
    // "Informationen" with "OK".
    virtual void showInfo(const QString &message) = 0;
    // The error box: stop icon, "OK", the application's title as caption.
    virtual void showError(const QString &message) = 0;
    // "Warnung" with "&Ja", "&Nein" and "Abbrechen"; Escape cancels.
    virtual UnsavedAnswer askUnsavedChanges(const QString &question) = 0;
    // "Bestätigen" with "&Ja" and "&Nein"; Escape answers "&Nein".
    virtual bool confirm(const QString &question) = 0;
    // "Wiederherstellen" (the default), "Verwerfen" and "Später"; Escape
    // answers "Später".
    virtual RecoveryAnswer askRecovery(const QString &question) = 0;
    // The chosen path, or the empty text when the dialog was cancelled.
    virtual QString openFile(const FileDialogSettings &settings) = 0;
    virtual QString saveFile(const FileDialogSettings &settings) = 0;
};

} // namespace Wordloom
