#pragma once

#include "editor/prompts.h"

namespace Wordloom {

// Prompts for the benchmarks: an open dialog answers with path, a save
// dialog with savePath (else path), a question with "no", and an error ends
// the run.
class ScriptedPrompts : public Prompts {
public:
    QString path;
    QString savePath;
    RecoveryAnswer recovery = RecoveryAnswer::Later;
    void showInfo(const QString &) override {}
    void showError(const QString &message) override { qFatal("%s", qPrintable(message)); }
    UnsavedAnswer askUnsavedChanges(const QString &) override { return UnsavedAnswer::No; }
    bool confirm(const QString &) override { return true; }
    RecoveryAnswer askRecovery(const QString &) override { return recovery; }
    QString openFile(const FileDialogSettings &) override { return path; }
    QString saveFile(const FileDialogSettings &) override { return savePath.isEmpty() ? path : savePath; }
};

} // namespace Wordloom
