#pragma once

#include "editor/prompts.h"

#include <QStringList>
#include <deque>

namespace Wordloom {

// Answers every box and dialog from a script and records what was asked.
// A question the script does not answer fails the test instead of blocking.
class FakePrompts : public Prompts {
public:
    std::deque<UnsavedAnswer> unsavedAnswers;
    std::deque<bool> confirmAnswers;
    // An empty path cancels the dialog.
    std::deque<QString> openPaths;
    std::deque<QString> savePaths;

    QStringList infos;
    QStringList errors;
    QStringList questions;
    std::vector<FileDialogSettings> openDialogs;
    std::vector<FileDialogSettings> saveDialogs;

    void showInfo(const QString &message) override;
    void showError(const QString &message) override;
    UnsavedAnswer askUnsavedChanges(const QString &question) override;
    bool confirm(const QString &question) override;
    QString openFile(const FileDialogSettings &settings) override;
    QString saveFile(const FileDialogSettings &settings) override;

    // Every scripted answer was used.
    bool allAnswered() const;
};

} // namespace Wordloom
