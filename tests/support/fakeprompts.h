#pragma once

#include "editor/prompts.h"

#include <QStringList>
#include <deque>
#include <gtest/gtest.h>

namespace Wordloom {

// Answers every box and dialog from a script and records what was asked.
// A question the script does not answer fails the test instead of blocking.
class FakePrompts : public Prompts {
public:
    std::deque<UnsavedAnswer> unsavedAnswers;
    std::deque<bool> confirmAnswers;
    // An empty path cancels the dialog.
    std::deque<QString> openPaths, savePaths;
    QStringList infos, errors, questions;
    std::vector<FileDialogSettings> openDialogs, saveDialogs;

    void showInfo(const QString &message) override { infos.append(message); }
    void showError(const QString &message) override { errors.append(message); }
    UnsavedAnswer askUnsavedChanges(const QString &question) override
    {
        return next(unsavedAnswers, questions, question, "unsaved-changes question", UnsavedAnswer::Cancel);
    }
    bool confirm(const QString &question) override { return next(confirmAnswers, questions, question, "confirmation", false); }
    QString openFile(const FileDialogSettings &settings) override { return next(openPaths, openDialogs, settings, "open dialog", QString()); }
    QString saveFile(const FileDialogSettings &settings) override { return next(savePaths, saveDialogs, settings, "save dialog", QString()); }
    // Every scripted answer was used.
    bool allAnswered() const
    {
        return unsavedAnswers.empty() && confirmAnswers.empty() && openPaths.empty() && savePaths.empty();
    }

private:
    // Notes what was asked and gives the next scripted answer.
    template <typename T, typename Asked, typename Question>
    static T next(std::deque<T> &answers, Asked &asked, const Question &question, const char *what, T fallback)
    {
        asked.push_back(question);
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected " << what;
            return fallback;
        }
        T answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

} // namespace Wordloom
