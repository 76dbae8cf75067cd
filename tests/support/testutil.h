#pragma once

#include "coretest.h"

#include "editor/keylistbox.h"
#include "editor/mainwindow.h"
#include "editor/namelistview.h"
#include "editor/newkeydialog.h"
#include "editor/prompts.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTest>
#include <deque>
#include <memory>

namespace Wordloom {

// Answers every box and dialog from a script and records what was asked.
// A question the script does not answer fails the test instead of blocking.
class FakePrompts : public Prompts {
public:
    std::deque<UnsavedAnswer> unsavedAnswers;
    std::deque<bool> confirmAnswers;
    std::deque<RecoveryAnswer> recoveryAnswers;
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
    bool confirm(const QString &question) override
    {
        return next(confirmAnswers, questions, question, "confirmation", false);
    }
    RecoveryAnswer askRecovery(const QString &question) override
    {
        return next(recoveryAnswers, questions, question, "recovery question", RecoveryAnswer::Later);
    }
    QString openFile(const FileDialogSettings &settings) override
    {
        return next(openPaths, openDialogs, settings, "open dialog", QString());
    }
    QString saveFile(const FileDialogSettings &settings) override
    {
        return next(savePaths, saveDialogs, settings, "save dialog", QString());
    }
    // Every scripted answer was used.
    bool allAnswered() const
    {
        return unsavedAnswers.empty() && confirmAnswers.empty() && recoveryAnswers.empty() && openPaths.empty()
            && savePaths.empty();
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

// What the key editor shows; the options as in "101".
struct ShownEntry {
    QString translation, comment, options;
    bool operator==(const ShownEntry &) const = default;
};

inline void PrintTo(const ShownEntry &entry, std::ostream *out)
{
    *out << "{translation: \"" << entry.translation.toStdString() << "\", comment: \"" << entry.comment.toStdString()
         << "\", options: " << entry.options.toStdString() << '}';
}

// A main window with scripted prompts and a set clock.
class EditorTest : public FolderTest {
protected:
    void SetUp() override
    {
        FolderTest::SetUp();
        window = std::make_unique<MainWindow>(prompts, clock, dir.filePath(QStringLiteral("Plugins")));
    }
    void TearDown() override
    {
        EXPECT_TRUE(prompts.allAnswered()) << "scripted answers left over";
        EXPECT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join(QStringLiteral(" | ")).toStdString();
        window.reset();
    }

    template <typename T> T *control(const char *name) const
    {
        T *widget = window->findChild<T *>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QAction *action(const char *name) const { return control<QAction>(name); }
    bool enabled(const char *name) const { return action(name)->isEnabled(); }
    KeyListBox *keyList() const { return control<KeyListBox>("lpKey"); }
    QPlainTextEdit *valueMemo() const { return control<QPlainTextEdit>("lpValue"); }
    QPlainTextEdit *commentMemo() const { return control<QPlainTextEdit>("lpComment"); }
    QTableWidget *grid() const { return control<QTableWidget>("lpInfoblock"); }
    QString gridValue(int row) const { return grid()->item(row, 1)->text(); }
    void setGridValue(int row, const QString &value) { grid()->item(row, 1)->setText(value); }
    // Shortcuts reach only an active window.
    void activate()
    {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    // Loads a file through the open dialog.
    void load(const QString &file)
    {
        prompts.openPaths.push_back(file);
        action("loadAction")->trigger();
    }
    // Writes de.xml and loads it; returns its path.
    QString loadPack(const QByteArray &xml)
    {
        const QString file = writePack(QStringLiteral("de.xml"), xml);
        load(file);
        return file;
    }
    // Types into the key field as a user does.
    void typeKey(const QString &name)
    {
        QLineEdit *field = keyList()->field();
        field->selectAll();
        name.isEmpty() ? QTest::keyClick(field, Qt::Key_Delete) : QTest::keyClicks(field, name);
    }
    // Clicks a check box as a user does.
    void click(QCheckBox *box)
    {
        window->show();
        QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(4, box->height() / 2));
    }
    // Adds a key through the key name dialog as a user does; Enter presses "Okay".
    void addKey(const QString &name)
    {
        action("newAction")->trigger();
        QLineEdit *field = window->newKeyDialog()->newkey();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, name);
        QTest::keyClick(field, Qt::Key_Return);
    }
    // Picks the entry at a row as a user does.
    void pickRow(int row)
    {
        NameListView *view = keyList()->view();
        view->show();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier,
            view->visualRect(view->model()->index(row, 0)).center());
    }
    QStringList listedKeys() const
    {
        const auto &names = window->pack().keys().names();
        return QStringList(names.begin(), names.end());
    }
    // What the key editor shows.
    ShownEntry shown() const
    {
        ShownEntry entry{valueMemo()->toPlainText(), commentMemo()->toPlainText(), {}};
        for (const char *name : {"htmlCheckbox", "breakCheckbox", "unixCheckBox"})
            entry.options += control<QCheckBox>(name)->isChecked() ? QLatin1Char('1') : QLatin1Char('0');
        return entry;
    }

    FakePrompts prompts;
    FixedClock clock;
    std::unique_ptr<MainWindow> window;
};

} // namespace Wordloom
