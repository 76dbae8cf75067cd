#include "fakeprompts.h"

#include <gtest/gtest.h>

namespace Wordloom {

namespace {

template <typename T> T next(std::deque<T> &answers, const char *what, T fallback)
{
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected " << what;
        return fallback;
    }
    T answer = answers.front();
    answers.pop_front();
    return answer;
}

} // namespace

void FakePrompts::showInfo(const QString &message)
{
    infos.append(message);
}

void FakePrompts::showError(const QString &message)
{
    errors.append(message);
}

UnsavedAnswer FakePrompts::askUnsavedChanges(const QString &question)
{
    questions.append(question);
    return next(unsavedAnswers, "unsaved-changes question", UnsavedAnswer::Cancel);
}

bool FakePrompts::confirm(const QString &question)
{
    questions.append(question);
    return next(confirmAnswers, "confirmation", false);
}

QString FakePrompts::openFile(const FileDialogSettings &settings)
{
    openDialogs.push_back(settings);
    return next(openPaths, "open dialog", QString());
}

QString FakePrompts::saveFile(const FileDialogSettings &settings)
{
    saveDialogs.push_back(settings);
    return next(savePaths, "save dialog", QString());
}

bool FakePrompts::allAnswered() const
{
    return unsavedAnswers.empty() && confirmAnswers.empty() && openPaths.empty() && savePaths.empty();
}

} // namespace Wordloom
