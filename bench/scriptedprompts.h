#pragma once

#include "editor/prompts.h"

namespace Wordloom {

// Prompts for the benchmarks: every file dialog answers with one path, a
// question with "no", and an error ends the run.
class ScriptedPrompts : public Prompts {
public:
    QString path;
    void showInfo(const QString &) override {}
    void showError(const QString &message) override { qFatal("%s", qPrintable(message)); }
    UnsavedAnswer askUnsavedChanges(const QString &) override { return UnsavedAnswer::No; }
    bool confirm(const QString &) override { return true; }
    QString openFile(const FileDialogSettings &) override { return path; }
    QString saveFile(const FileDialogSettings &) override { return path; }
};

} // namespace Wordloom
