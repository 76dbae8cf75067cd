#include "document/packformat.h"

#include "../support/testutil.h"

#include <QCloseEvent>
#include <QDir>
#include <QMenuBar>
#include <functional>

using namespace Wordloom;

namespace {

const QByteArray kPack
    = "<languagepack name='app' lang='de' version='1.0.3' date='then' project='demo'><info>i</info><content>"
      "<key id='b'><value>B</value><comment>about b</comment></key><key id='a' encodeHTML='1'><value>A</value></key>"
      "<key id='c'><value>C</value></key></content></languagepack>";

// Everything the user sees of the open pack.
struct Seen {
    QStringList keys;
    QString key, translation, status, path;
    QStringList info; // the five grid values
    QString enabled; // Save, Save As, Close, Export, +, Übernehmen as "110111"
    bool saved = false;
    bool operator==(const Seen &) const = default;
};

void PrintTo(const Seen &seen, std::ostream *out)
{
    *out << "{keys: " << seen.keys.join(u',').toStdString() << ", key: " << seen.key.toStdString()
         << ", translation: " << seen.translation.toStdString() << ", status: " << seen.status.toStdString()
         << ", path: " << seen.path.toStdString() << ", info: " << seen.info.join(u'|').toStdString()
         << ", enabled: " << seen.enabled.toStdString() << ", saved: " << seen.saved << '}';
}

// Loading, saving and the unsaved-changes guard: work is never lost.
class KeepingWorkTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        file = writePack(QStringLiteral("de.xml"), kPack);
    }
    Seen snapshot() const
    {
        Seen seen{listedKeys(), keyList()->text(), valueMemo()->toPlainText(), window->statusText(),
            window->pack().path(), {}, {}, window->pack().isSaved()};
        for (int row = 0; row < 5; ++row)
            seen.info << gridValue(row);
        for (const char *name :
            {"saveAction", "saveasAction", "closeAction", "exportAction", "newAction", "submitAction"})
            seen.enabled += enabled(name) ? QLatin1Char('1') : QLatin1Char('0');
        return seen;
    }
    void editCurrentKey(const QString &text)
    {
        QTest::keyClick(valueMemo(), Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(valueMemo(), text);
        action("submitAction")->trigger();
    }
    void answer(UnsavedAnswer reply) { prompts.unsavedAnswers.push_back(reply); }
    QString written(const char *key) const { return readPackFile(file).data.hashlistKeys.value(QLatin1String(key)); }
    QWidget *cellEditor() const { return grid()->indexWidget(grid()->model()->index(0, 1)); }
    // Opens the first value cell's editor and types into it, leaving it open.
    void typeInCell(const QString &text)
    {
        grid()->setCurrentCell(0, 1);
        grid()->editItem(grid()->item(0, 1));
        ASSERT_NE(cellEditor(), nullptr);
        QTest::keyClick(cellEditor(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(cellEditor(), text);
    }
    QString file;
};

} // namespace

TEST_F(KeepingWorkTest, LoadingShowsTheFirstKeyAndKeepsNothingOfThePreviousPack)
{
    load(file);
    EXPECT_EQ(snapshot(),
        (Seen{{u"a"_s, u"b"_s, u"c"_s}, u"a"_s, u"A"_s, u"Languagepack geladen: de.xml"_s, file,
            {u"demo"_s, u"app"_s, u"de"_s, u"1.0.3"_s, u"then"_s}, u"111110"_s, true}));
    // The dialog offers the last path again; cancelling changes nothing.
    const Seen before = snapshot();
    load(QString());
    EXPECT_EQ(prompts.openDialogs.back().fileName, file);
    EXPECT_EQ(snapshot(), before);

    // An empty pack: nothing selected, Save stays off, no info inherited.
    load(writePack(QStringLiteral("empty.xml"), "<languagepack name='only name'/>"));
    EXPECT_EQ(snapshot(),
        (Seen{{}, u""_s, u""_s, u"Languagepack geladen: empty.xml"_s, path(QStringLiteral("empty.xml")),
            {u""_s, u"only name"_s, u""_s, u""_s, u""_s}, u"011110"_s, true}));
}

TEST_F(KeepingWorkTest, AFailedOrCancelledLoadLeavesTheOpenPackExactlyAsItWas)
{
    load(file);
    pickRow(1);
    editCurrentKey(QStringLiteral(" edited"));
    QTest::keyClicks(valueMemo(), QStringLiteral(" typed"));
    const Seen before = snapshot();

    // Unsaved work: the question comes before the dialog; Cancel stops there.
    answer(UnsavedAnswer::Cancel);
    action("loadAction")->trigger();
    EXPECT_EQ(prompts.openDialogs.size(), 1u) << "cancelled before the dialog";
    EXPECT_EQ(snapshot(), before);

    for (const QString &bad :
        {writePack(QStringLiteral("bad.xml"), "<languagepack><content>"), path(QStringLiteral("none.xml"))}) {
        SCOPED_TRACE(bad.toStdString());
        answer(UnsavedAnswer::No);
        load(bad);
        // The error box ends the message with one full stop.
        ASSERT_EQ(prompts.errors.size(), 1);
        EXPECT_TRUE(prompts.errors[0].endsWith(QLatin1Char('.')) && !prompts.errors[0].endsWith(QStringLiteral("..")));
        prompts.errors.clear();
        EXPECT_EQ(snapshot(), before);
        EXPECT_EQ(window->pack().data().hashlistKeys.value(QStringLiteral("b")), QStringLiteral("B edited"));
    }
    // "&Nein" loads; the loaded pack has nothing unsaved. Names differing
    // only in case are reported in the status line, without a box.
    answer(UnsavedAnswer::No);
    load(writePack(QStringLiteral("case.xml"),
        "<languagepack><content><key id='Title'><value>T1</value></key><key "
        "id='title'><value>t2</value></key></content></languagepack>"));
    EXPECT_TRUE(prompts.infos.isEmpty()) << prompts.infos.join(u'|').toStdString();
    EXPECT_EQ(window->statusText(),
        QStringLiteral("2 Schlüssel unterscheiden sich nur in der Groß-/Kleinschreibung: siehe „Checks“"));
    action("closeAction")->trigger();
    EXPECT_EQ(prompts.questions.size(), 4);
}

TEST_F(KeepingWorkTest, SaveRaisesTheVersionAndSaveAsMakesTheChosenFileThePacksFile)
{
    load(file);
    editCurrentKey(QStringLiteral("+"));
    clock.date = QDate(2026, 11, 23);
    clock.time = QTime(14, 30);
    setGridValue(3, QStringLiteral("3.1.0")); // a typed version is written as typed, the next save raises it
    action("saveAction")->trigger();
    EXPECT_EQ(
        QStringList({readPackFile(file).info.version, gridValue(3), gridValue(4), written("a"), window->statusText()}),
        QStringList({u"3.1.0"_s, u"3.1.0"_s, u"2026-11-23 14:30"_s, u"A+"_s, u"Gespeichert: de.xml"_s}));
    window->files().saveActionExecute();
    EXPECT_EQ(readPackFile(file).info.version, QStringLiteral("3.1.1"));

    // Save As writes the grid as it stands; later saves go to the new file.
    const QString second = path(QStringLiteral("second.xml"));
    setGridValue(3, QStringLiteral("2.0.0"));
    prompts.savePaths.push_back(second);
    action("saveasAction")->trigger();
    EXPECT_EQ(prompts.saveDialogs.back().fileName, file);
    EXPECT_EQ(readPackFile(second).info.version, QStringLiteral("2.0.0"));
    const QByteArray firstBytes = readBytes(file);
    editCurrentKey(QStringLiteral("!"));
    window->files().saveActionExecute();
    EXPECT_EQ(readBytes(file), firstBytes);
    EXPECT_EQ(readPackFile(second).info.version, QStringLiteral("2.0.1"));

    // An existing file is overwritten only when the question is answered Yes.
    editCurrentKey(QStringLiteral("?"));
    for (bool overwrite : {false, true}) {
        prompts.savePaths.push_back(file);
        prompts.confirmAnswers.push_back(overwrite);
        action("saveasAction")->trigger();
        EXPECT_EQ(written("a"), overwrite ? QStringLiteral("A+!?") : QStringLiteral("A+"));
        EXPECT_EQ(window->pack().isSaved(), overwrite);
    }
}

TEST_F(KeepingWorkTest, WithoutAPackNothingIsWrittenAndANewPackAsksForANameOnce)
{
    // Never opened, or closed: typing enables Save, but nothing is written.
    const QString never = path(QStringLiteral("never.xml"));
    for (bool closed : {false, true}) {
        if (closed) {
            answer(UnsavedAnswer::No);
            load(file);
            action("closeAction")->trigger();
        }
        QTest::keyClicks(valueMemo(), QStringLiteral("x"));
        prompts.savePaths.push_back(never);
        action("saveAction")->trigger();
        EXPECT_TRUE(prompts.infos.last().startsWith(QStringLiteral("Ooops...")));
        EXPECT_FALSE(QFile::exists(never));
    }
    EXPECT_EQ(prompts.infos.size(), 2);

    answer(UnsavedAnswer::No);
    action("newFile")->trigger();
    EXPECT_EQ(snapshot(),
        (Seen{{}, u""_s, u""_s, u"Neues Languagepack erstellt"_s, u""_s,
            {u"Unnamed"_s, u"Package"_s, u"Lang"_s, u"1.0.0"_s, u"2026-01-05 09:05"_s}, u"111110"_s, false}));
    prompts.savePaths.push_back(QString()); // cancelling writes nothing
    action("saveAction")->trigger();
    EXPECT_EQ(prompts.saveDialogs.back().fileName, QStringLiteral("Unnamed_Package_Lang.xml"));
    EXPECT_FALSE(window->pack().isSaved());
    const QString named = path(QStringLiteral("Unnamed_Package_Lang.xml"));
    prompts.savePaths.push_back(named);
    action("saveAction")->trigger();
    EXPECT_EQ(readPackFile(named).info.project, QStringLiteral("Unnamed"));
    window->files().saveActionExecute(); // once it has a file, no dialog
    EXPECT_EQ(prompts.saveDialogs.size(), 4u);
    EXPECT_EQ(readPackFile(named).info.version, QStringLiteral("1.0.1"));
}

TEST_F(KeepingWorkTest, PendingEditsAreTakenOverOnEveryWayOfLeavingAKey)
{
    activate();
    load(file);
    const auto keys
        = [this](Qt::Key key) { return [this, key] { QTest::keyClick(valueMemo(), key, Qt::ControlModifier); }; };
    const struct {
        const char *way;
        int row;
        std::function<void()> leave;
    } ways[] = {
        {"pick", 0, [this] { pickRow(2); }},
        {"type a name", 0, [this] { typeKey(QStringLiteral("c")); }},
        {"add a key", 0, [this] { addKey(QStringLiteral("new")); }},
        {"add an existing key", 0,
            [this] {
                addKey(QStringLiteral("C"));
                prompts.infos.clear();
            }},
        {"search result", 0,
            [this] {
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
        const QString shownKey = keyList()->text();
        valueMemo()->setFocus();
        QTest::keyClicks(valueMemo(), QStringLiteral("+"));
        way.leave();
        EXPECT_NE(keyList()->text(), shownKey) << "another key is shown";
        EXPECT_TRUE(window->pack().data().hashlistKeys.value(shownKey).contains(QLatin1Char('+')));
        action("resetAction")->trigger();
    }
    // At either end nothing happens.
    pickRow(0);
    action("prevAction")->trigger();
    EXPECT_EQ(keyList()->text(), QStringLiteral("a"));
}

TEST_F(KeepingWorkTest, TheGuardAsksBeforeWorkIsLost)
{
    activate();
    load(file);
    // Typed but not taken over is unsaved work; Cancel keeps it, whichever command asked.
    QTest::keyClicks(valueMemo(), QStringLiteral("*"));
    QCloseEvent closeBox;
    const std::function<void()> commands[] = {[this] { action("newFile")->trigger(); },
        [this] { action("closeAction")->trigger(); }, [this] { action("exitAction")->trigger(); },
        [this] { action("loadAction")->trigger(); }, [&] { QCoreApplication::sendEvent(window.get(), &closeBox); }};
    for (const auto &command : commands) {
        answer(UnsavedAnswer::Cancel);
        command();
        EXPECT_EQ(valueMemo()->toPlainText(), QStringLiteral("*A"));
        EXPECT_TRUE(window->isVisible());
    }
    EXPECT_EQ(prompts.questions.size(), 5);
    EXPECT_FALSE(closeBox.isAccepted());

    // "&Nein" closes without writing and keeps nothing of the pack.
    answer(UnsavedAnswer::No);
    action("closeAction")->trigger();
    EXPECT_EQ(written("a"), QStringLiteral("A"));
    EXPECT_EQ(listedKeys(), QStringList());
    EXPECT_EQ(shown(), (ShownEntry{u""_s, u""_s, u"000"_s}));
    EXPECT_EQ(gridValue(0) + window->statusText(), QStringLiteral("Kein Languagepack geladen"));

    // An info cell still being edited counts, and "&Ja" saves it.
    load(file);
    typeInCell(QStringLiteral("Neu"));
    answer(UnsavedAnswer::Yes);
    action("closeAction")->trigger();
    EXPECT_EQ(readPackFile(file).info.project, QStringLiteral("Neu"));

    // "&Ja" takes over what was typed, then writes.
    load(file);
    QTest::keyClicks(valueMemo(), QStringLiteral("2"));
    answer(UnsavedAnswer::Yes);
    QCloseEvent closeAgain;
    QCoreApplication::sendEvent(window.get(), &closeAgain);
    EXPECT_TRUE(closeAgain.isAccepted());
    EXPECT_EQ(written("a"), QStringLiteral("2A"));
}

TEST_F(KeepingWorkTest, ASaveThatFailsOrIsCancelledStopsTheCommand)
{
    activate();
    load(file);
    // The guard's save fails (the file became a folder): the work stays
    // unsaved and the pack stays open.
    QTest::keyClicks(valueMemo(), QStringLiteral("!"));
    ASSERT_TRUE(QFile::remove(file) && QDir().mkdir(file));
    answer(UnsavedAnswer::Yes);
    action("closeAction")->trigger();
    EXPECT_EQ(prompts.errors.size(), 1);
    prompts.errors.clear();
    EXPECT_EQ(window->pack().data().hashlistKeys.value(QStringLiteral("a")), QStringLiteral("!A"));
    EXPECT_FALSE(window->pack().isSaved());
    EXPECT_TRUE(enabled("saveAction"));

    // A new pack whose Save As the user cancels stays open.
    answer(UnsavedAnswer::No);
    action("newFile")->trigger();
    answer(UnsavedAnswer::Yes);
    prompts.savePaths.push_back(QString());
    action("exitAction")->trigger();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->pack().state(), LanguagePack::State::Open);
}

TEST_F(KeepingWorkTest, KeyboardShortcutsAndFocus)
{
    activate();
    load(file);
    EXPECT_EQ(QApplication::focusWidget(), valueMemo()) << "loading puts the focus into the translation";
    // Saving from the open cell editor commits it first.
    typeInCell(QStringLiteral("Projekt X"));
    QTest::keyClick(cellEditor(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(readPackFile(file).info.project, QStringLiteral("Projekt X"));
    EXPECT_EQ(cellEditor(), nullptr) << "the editor is closed";

    addKey(QStringLiteral("d"));
    activate();
    EXPECT_EQ(QApplication::focusWidget(), valueMemo()) << "after adding a key";
    QTest::keyClick(valueMemo(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(valueMemo()->toPlainText(), QStringLiteral("\t")) << "Ctrl+Tab types a tab";

    // Inside a text field its own standard keys win; elsewhere Ctrl+A adds a key.
    for (QWidget *field : {static_cast<QWidget *>(valueMemo()), static_cast<QWidget *>(commentMemo()),
             static_cast<QWidget *>(control<QLineEdit>("suchbegriff"))}) {
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        EXPECT_FALSE(window->newKeyDialog()->isVisible()) << field->objectName().toStdString();
    }
    EXPECT_EQ(valueMemo()->textCursor().selectedText(), QStringLiteral("\t")) << "the memo selected all";
    keyList()->view()->setFocus();
    QTest::keyClick(keyList()->view(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(window->newKeyDialog()->isVisible());
    window->newKeyDialog()->hide();
    activate();
    commentMemo()->setFocus();
    QTest::keyClick(commentMemo(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(written("d"), QStringLiteral("\t"));

    // Without a pack Ctrl+A is the memo's own: the add-key action is off.
    QTest::keyClick(commentMemo(), Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(listedKeys(), QStringList()) << "Ctrl+W closes";
    valueMemo()->setFocus();
    QTest::keyClicks(valueMemo(), QStringLiteral("abc"));
    QTest::keyClick(valueMemo(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_FALSE(window->newKeyDialog()->isVisible());
    EXPECT_EQ(valueMemo()->textCursor().selectedText(), QStringLiteral("abc"));
    QTest::keyClick(valueMemo(), Qt::Key_F10);
    EXPECT_EQ(window->menuBar()->activeAction(), window->menuBar()->actions().value(0));
}

TEST_F(KeepingWorkTest, APackNamedAtStartOpensAndABadOneGivesTheErrorBox)
{
    window->openAtStart(path(QStringLiteral("none.xml")));
    ASSERT_EQ(prompts.errors.size(), 1);
    prompts.errors.clear();
    EXPECT_EQ(window->pack().state(), LanguagePack::State::NeverOpened);
    EXPECT_TRUE(listedKeys().isEmpty());
    window->openAtStart(file);
    EXPECT_EQ(window->pack().path(), file);
    EXPECT_EQ(listedKeys(), QStringList({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_EQ(window->statusText(), QStringLiteral("Languagepack geladen: de.xml"));
}

TEST_F(KeepingWorkTest, MovingThroughKeysWithoutAnEditChangesNothing)
{
    const auto savedContent = [this] {
        QTest::keyClick(valueMemo(), Qt::Key_S, Qt::ControlModifier);
        const QByteArray bytes = readBytes(file);
        return QString::fromUtf8(bytes.mid(bytes.indexOf("<content>")));
    };
    activate();
    load(file);
    const QString unwalked = savedContent();
    load(file);
    const int steps = window->pack().history().count();
    for (int i = 0; i < 6; ++i)
        QTest::keyClick(valueMemo(), Qt::Key_Down, Qt::ControlModifier);
    // An edit typed and taken back is no edit either.
    QTest::keyClicks(valueMemo(), QStringLiteral("x"));
    QTest::keyClick(valueMemo(), Qt::Key_Backspace);
    QTest::keyClick(valueMemo(), Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(window->pack().history().count(), steps);
    EXPECT_TRUE(window->pack().isSaved());
    prompts.savePaths.push_back(QString());
    action("saveasAction")->trigger();
    EXPECT_TRUE(window->pack().isSaved()) << "a cancelled Save As of an unchanged pack";
    EXPECT_EQ(savedContent(), unwalked);

    // New and closed packs name no file.
    action("newFile")->trigger();
    QTest::keyClicks(valueMemo(), QStringLiteral("x"));
    EXPECT_EQ(window->statusText(), QStringLiteral("Übersetzung geändert (nicht gespeichert: )"));
    answer(UnsavedAnswer::No);
    action("closeAction")->trigger();
    EXPECT_EQ(window->statusText(), QStringLiteral("Kein Languagepack geladen"));
    EXPECT_TRUE(prompts.allAnswered());
}
