#pragma once

#include "document/languagepack.h"
#include "editor/prompts.h"

#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>

class QWidget;

namespace Wordloom {

class Clock;
class Journal;

// What the file commands ask of the window around them.
class FileCommandsHost {
public:
    // How the open pack came to be what it is.
    enum class Fresh { Loaded, Created, Closed, Recovered };

    virtual ~FileCommandsHost() = default;
    // Takes over an info cell still being edited.
    virtual void commitInfoEdit() = 0;
    // Whether the key editor holds edits not yet taken over.
    virtual bool hasPendingEdits() const = 0;
    // "Übernehmen" of what the editor shows, if it shows edits.
    virtual void submitPendingEdits() = 0;
    // Shows the pack the command left, its first key current.
    virtual void showFreshPack(Fresh how) = 0;
    // Save is no longer offered; the summary shows the pack as written.
    virtual void showWritten() = 0;
    virtual void showStatus(const QString &message) = 0;
};

// Loading, saving, a new pack and closing, the question about unsaved work
// before any of them, and the crash journal with its recovery offer. Reads
// and writes of large files run in the background behind a progress dialog.
class FileCommands {
public:
    FileCommands(QWidget &window, FileCommandsHost &host, Prompts &prompts, const Clock &clock, LanguagePack &pack);
    ~FileCommands();
    FileCommands(const FileCommands &) = delete;
    FileCommands &operator=(const FileCommands &) = delete;

    Journal &journal() const { return *mJournal; }
    // The save dialog's settings, shared with the export's.
    FileDialogSettings &saveDialog() { return SaveDialog1; }

    void loadActionExecute();
    void saveActionExecute();
    void saveasActionExecute();
    void newFileExecute();
    void closeActionExecute();
    // Asks about unsaved work; false when the command must not go on.
    bool checkUnsavedChanges();
    // Reads a pack in the background behind the progress dialog; nothing
    // when the user cancelled (a cancelled read changes nothing, even one
    // that got through). Throws Error for a file that cannot be read.
    static std::optional<PackContent> readInBackground(QWidget *window, const QString &path, const QString &label);
    // Loads the pack and offers what a session with it left.
    void openPath(const QString &path);
    // Loads the pack in the window; false when it failed or was cancelled.
    bool loadPath(const QString &path);
    // Offers back what sessions that ended without saving left: all of it
    // at start-up, or what the pack just loaded from packPath left.
    void offerRecovery(const QString &packPath = QString());

private:
    void writePack(const QString &path);
    void bumpVersion();
    void stampDate();
    // A new pack with the info values, shown on the info page.
    void createPack(const InfoValues &info);
    void setInfoValue(int row, const QString &value);

    QWidget &mWindow;
    FileCommandsHost &mHost;
    Prompts &mPrompts;
    const Clock &mClock;
    LanguagePack &mPack;
    std::unique_ptr<Journal> mJournal;
    QDateTime lastChange;
    FileDialogSettings OpenDialog1{QStringLiteral("Languagepack laden"), QStringLiteral("Languagepacks (*.xml)|*.xml"),
        QStringLiteral("xml"), QString()};
    FileDialogSettings SaveDialog1;
};

} // namespace Wordloom
