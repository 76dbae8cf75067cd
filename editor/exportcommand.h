#pragma once

#include "plugins/plugincatalog.h"

#include <QString>

namespace Wordloom {

struct FileDialogSettings;
class LanguagePack;
class Prompts;

// The "Export" command: the plug-ins found at start-up, and a run of one of
// them through the save dialog it sets up. The dialog settings are the
// window's, shared with "Speichern als", and keep what the run set.
class ExportCommand {
public:
    ExportCommand(Prompts &prompts, FileDialogSettings &dialog) : mPrompts(prompts), mDialog(dialog) {}

    const PluginCatalog &plugins() const { return mPlugins; }
    // The export names of the libraries in the folder, in discovery order.
    QStringList scan(const QString &folder);
    // Exports the pack with the named plug-in; returns the status line's
    // message, or the empty text when nothing was exported.
    QString run(const QString &exportName, const LanguagePack &pack);

private:
    Prompts &mPrompts;
    FileDialogSettings &mDialog;
    PluginCatalog mPlugins;
};

} // namespace Wordloom
