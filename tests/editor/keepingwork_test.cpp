#include "editor/keylistbox.h"
#include "editor/namelistview.h"

#include "../support/testutil.h"

#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <functional>

using namespace Wordloom;

namespace {

const QByteArray kPack = "<languagepack name='app' lang='de' version='1.0.3' date='d' project='demo'><content>"
                         "<key id='a'><value>A</value></key><key id='b'><value>B</value></key>"
                         "<key id='c'><value>C</value></key></content></languagepack>";

class KeepingWorkTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        load(writePack(QStringLiteral("de.xml"), kPack));
    }
    const KeyData &data() const { return window->pack().data(); }
    QTableWidget *grid() const { return control<QTableWidget>("lpInfoblock"); }
    // Opens the cell's editor and types into it, leaving it open.
    void typeInCell(int row, const QString &text)
    {
        grid()->setCurrentCell(row, 1);
        grid()->editItem(grid()->item(row, 1));
        QWidget *editor = grid()->indexWidget(grid()->model()->index(row, 1));
        ASSERT_NE(editor, nullptr);
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(editor, text);
    }
};

} // namespace

TEST_F(KeepingWorkTest, PendingEditsAreTakenOverOnEveryWayOfLeavingAKey)
{
    const auto keys = [this](Qt::Key key) {
        return [this, key] { QTest::keyClick(valueMemo(), key, Qt::ControlModifier); };
    };
    const struct {
        const char *way;
        int row;
        std::function<void()> leave;
    } ways[] = {
        {"pick", 0, [this] { pickRow(2); }},
        {"type a name", 0, [this] { typeKey(QStringLiteral("c")); }},
        {"add a key", 0, [this] { addKey(QStringLiteral("new")); }},
        {"add an existing key", 0, [this] {
             addKey(QStringLiteral("C"));
             prompts.infos.clear();
         }},
        {"search result", 0, [this] {
             control<QLineEdit>("suchbegriff")->setText(QStringLiteral("c"));
             auto *results = control<NameListView>("ergenbisse");
             QTest::mouseClick(results->viewport(), Qt::LeftButton, Qt::NoModifier,
                 results->visualRect(results->model()->index(0, 0)).center());
         }},
        {"Ctrl+Down", 0, keys(Qt::Key_Down)},
        {"Ctrl+Return", 0, keys(Qt::Key_Return)},
        {"Ctrl+Up", 1, keys(Qt::Key_Up)},
    };
    for (const auto &way : ways) {
        SCOPED_TRACE(way.way);
        pickRow(way.row);
        const QString shown = keyList()->text();
        valueMemo()->setFocus();
        QTest::keyClicks(valueMemo(), QStringLiteral("+"));
        way.leave();
        EXPECT_NE(keyList()->text(), shown) << "another key is shown";
        EXPECT_TRUE(data().hashlistKeys.value(shown).contains(QLatin1Char('+')));
        action("resetAction")->trigger();
    }
    // At either end nothing happens; "Verwerfen" still throws edits away.
    pickRow(0);
    action("prevAction")->trigger();
    EXPECT_EQ(keyList()->text(), QStringLiteral("a"));
    QTest::keyClicks(valueMemo(), QStringLiteral("?"));
    action("resetAction")->trigger();
    pickRow(1);
    EXPECT_FALSE(data().hashlistKeys.value(QStringLiteral("a")).contains(QLatin1Char('?')));
}

TEST_F(KeepingWorkTest, TheGuardCountsPendingAndGridEditsAndACancelledSaveAsCancels)
{
    // A pending translation: the question comes, "Abbrechen" keeps everything.
    QTest::keyClicks(valueMemo(), QStringLiteral("x"));
    prompts.unsavedAnswers.push_back(UnsavedAnswer::Cancel);
    action("exitAction")->trigger();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(action("submitAction")->isEnabled());
    action("resetAction")->trigger();

    // A cell still being edited counts and is saved with "&Ja".
    typeInCell(0, QStringLiteral("Neu"));
    prompts.unsavedAnswers.push_back(UnsavedAnswer::Yes);
    action("closeAction")->trigger();
    EXPECT_EQ(readPackFile(path(QStringLiteral("de.xml"))).info.project, QStringLiteral("Neu"));

    // A new pack whose Save As the user cancels stays open.
    action("newFile")->trigger();
    prompts.unsavedAnswers.push_back(UnsavedAnswer::Yes);
    prompts.savePaths.push_back(QString());
    action("exitAction")->trigger();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->pack().state(), LanguagePack::State::Open);
}

TEST_F(KeepingWorkTest, SavingCommitsTheOpenCellEditor)
{
    typeInCell(0, QStringLiteral("Projekt X"));
    QTest::keyClick(grid()->indexWidget(grid()->model()->index(0, 1)), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(readPackFile(path(QStringLiteral("de.xml"))).info.project, QStringLiteral("Projekt X"));
    EXPECT_EQ(gridValue(0), QStringLiteral("Projekt X"));
    EXPECT_EQ(grid()->indexWidget(grid()->model()->index(0, 1)), nullptr) << "the editor is closed";
}

TEST_F(KeepingWorkTest, KeyboardFocusAndMenus)
{
    // After loading and after adding a key the translation has the focus.
    EXPECT_EQ(QApplication::focusWidget(), valueMemo());
    addKey(QStringLiteral("d"));
    window->activateWindow();
    EXPECT_EQ(QApplication::focusWidget(), valueMemo());

    // Tab walks the window in reading order; Ctrl+Tab types a tab.
    keyList()->field()->setFocus();
    QStringList visited;
    for (int i = 0; i < 8; ++i) {
        visited << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited, QStringList({"", "", "buttonNew", "buttonDrop", "buttonRename", "checkWW", "lpComment", "lpValue"}));
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("htmlCheckbox"));
    QTest::keyClick(valueMemo(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_TRUE(valueMemo()->toPlainText().contains(QLatin1Char('\t')));

    const QList<QAction *> menus = window->menuBar()->actions();
    EXPECT_EQ(menus[0]->text(), QStringLiteral("&Languagepack"));
    QTest::keyClick(valueMemo(), Qt::Key_F10);
    EXPECT_EQ(window->menuBar()->activeAction(), menus[0]);
}
