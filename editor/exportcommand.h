#pragma once

#include "plugins/plugincatalog.h"

#include <QString>

class QWidget;

namespace Wordloom {

struct FileDialogSettings;
class LanguagePack;
class Prompts;

// The "Export" command: the plug-ins found at start-up, and a run of one of
// them through the save dialog it sets up. The dialog settings are the
// window's, shared with "Speichern als", and keep what the run set. The
// plug-in runs in the plug-in helper; an export that takes longer than half
// a second shows a progress dialog whose "Abbrechen" ends the helper.
class ExportCommand {
public:
    ExportCommand(Prompts &prompts, FileDialogSettings &dialog) : mPrompts(prompts), mDialog(dialog) {}

    const PluginCatalog &plugins() const { return mPlugins; }
    // The export names of the libraries in the folder, in discovery order.
    QStringList scan(const QString &folder);
    // The status line's message for the libraries the scan skipped, or the
    // empty text.
    QString skippedMessage() const;
    // Exports the pack with the named plug-in; returns the status line's
    // message, or the empty text when nothing was exported. Throws Error when
    // the plug-in fails or its helper dies.
    QString run(const QString &exportName, const LanguagePack &pack, QWidget *window = nullptr);

private:
    Prompts &mPrompts;
    FileDialogSettings &mDialog;
    PluginCatalog mPlugins;
};

} // namespace Wordloom
