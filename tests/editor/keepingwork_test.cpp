#include "document/packformat.h"
#include "editor/namelistview.h"
#include "editor/newkeydialog.h"

#include "../support/testutil.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QTabWidget>
#include <QTableWidget>
#include <functional>

#include <csignal>
#include <sys/resource.h>

using namespace Wordloom;

namespace {

const QByteArray kPack =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<languagepack name='app' lang='de' version='1.0.3' date='then' project='demo'><info>i</info><content>"
    "<key id='b'><value>B</value><comment>about b</comment></key><key id='a' encodeHTML='1'><value>A</value></key>"
    "<key id='c'><value>C</value></key></content></languagepack>";

// Loading, saving and the unsaved-changes guard: work is never lost.
class KeepingWorkTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        file = writePack(QStringLiteral("de.xml"), kPack);
    }
    void activate()
    {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    // Everything the user sees of the open pack.
    QStringList snapshot() const
    {
        QStringList seen = listedKeys();
        seen << keyList()->text() << valueMemo()->toPlainText() << window->statusText() << window->pack().path();
        for (int row = 0; row < 5; ++row)
            seen << gridValue(row);
        for (const char *name : {"saveAction", "saveasAction", "closeAction", "exportAction", "newAction", "submitAction"})
            seen << QString::number(enabled(name));
        return seen << QString::number(window->pack().isSaved());
    }
    void editCurrentKey(const QString &text)
    {
        QTest::keyClick(valueMemo(), Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(valueMemo(), text);
        action("submitAction")->trigger();
    }
    QString written(const char *key, const QString &path = QString()) const
    {
        return readPackFile(path.isEmpty() ? file : path).data.hashlistKeys.value(QLatin1String(key));
    }
    static QString dialog(const FileDialogSettings &shown)
    {
        return QStringList{shown.title, shown.filter, shown.defaultExtension, shown.fileName}.join(QLatin1Char('|'));
    }
    QTableWidget *grid() const { return control<QTableWidget>("lpInfoblock"); }
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
    control<QTabWidget>("PageControl1")->setCurrentIndex(0);
    load(file);
    ASSERT_EQ(prompts.openDialogs.size(), 1u);
    EXPECT_EQ(dialog(prompts.openDialogs[0]), QStringLiteral("Languagepack laden|Languagepacks (*.xml)|*.xml|xml|"));
    EXPECT_EQ(snapshot().join(QLatin1Char('|')),
        QStringLiteral("a|b|c|a|A|Languagepack geladen: de.xml|%1|demo|app|de|1.0.3|then|1|1|1|1|1|0|1").arg(file));
    EXPECT_EQ(control<QTabWidget>("PageControl1")->currentIndex(), 0) << "the tab page stays";

    // The dialog offers the last path again; cancelling changes nothing.
    const QStringList before = snapshot();
    prompts.openPaths.push_back(QString());
    action("loadAction")->trigger();
    EXPECT_EQ(prompts.openDialogs.back().fileName, file);
    EXPECT_EQ(snapshot(), before);

    // An empty pack: nothing selected, Save stays off, no info inherited.
    load(writePack(QStringLiteral("empty.xml"), "<languagepack name='only name'/>"));
    EXPECT_EQ(snapshot().join(QLatin1Char('|')),
        QStringLiteral("||Languagepack geladen: empty.xml|%1||only name||||0|1|1|1|1|0|1").arg(path(QStringLiteral("empty.xml"))));

    // Names differing only in case are reported after the load.
    load(writePack(QStringLiteral("case.xml"),
        "<languagepack><content><key id='Title'><value>T1</value></key><key id='title'><value>t2</value></key>"
        "<key id='other'><value>o</value></key></content></languagepack>"));
    ASSERT_EQ(prompts.infos.size(), 1);
    EXPECT_TRUE(prompts.infos[0].endsWith(QStringLiteral(": Title, title"))) << prompts.infos[0].toStdString();
    EXPECT_EQ(listedKeys().join(QLatin1Char(',')), QStringLiteral("other,Title,title"));
}

TEST_F(KeepingWorkTest, AFailedOrCancelledLoadLeavesTheOpenPackExactlyAsItWas)
{
    load(file);
    pickRow(1);
    editCurrentKey(QStringLiteral(" edited"));
    QTest::keyClicks(valueMemo(), QStringLiteral(" typed"));
    const QStringList before = snapshot();

    // Unsaved work: the question comes before the dialog; Cancel stops there.
    prompts.unsavedAnswers.push_back(UnsavedAnswer::Cancel);
    action("loadAction")->trigger();
    EXPECT_EQ(prompts.openDialogs.size(), 1u) << "cancelled before the dialog";
    EXPECT_EQ(snapshot(), before);

    const QByteArray bad[] = {
        "<languagepack><content><key id='x'><value>ok</value></key>",
        "<languagepack name='other'><content><key id='x'><value>ok</value></key>"
        "<key id='y'><value>a<b/></value></key></content></languagepack>",
        "<languagepack><content><key id='x'><value>v</value><comment>c<!-- x --></comment></key></content></languagepack>",
        QByteArray(), // no such file
    };
    for (const QByteArray &xml : bad) {
        SCOPED_TRACE(xml.toStdString());
        prompts.unsavedAnswers.push_back(UnsavedAnswer::No);
        load(xml.isNull() ? path(QStringLiteral("none.xml")) : writePack(QStringLiteral("bad.xml"), xml));
        // The error box ends the message with one full stop.
        ASSERT_EQ(prompts.errors.size(), 1);
        EXPECT_TRUE(prompts.errors[0].startsWith(QStringLiteral("Die Datei")));
        EXPECT_TRUE(prompts.errors[0].endsWith(QLatin1Char('.')) && !prompts.errors[0].endsWith(QStringLiteral("..")));
        prompts.errors.clear();
        EXPECT_EQ(snapshot(), before);
        EXPECT_EQ(window->pack().data().hashlistKeys.value(QStringLiteral("b")), QStringLiteral("B edited"));
    }

    // "&Nein" loads; the loaded pack has nothing unsaved.
    prompts.unsavedAnswers.push_back(UnsavedAnswer::No);
    load(file);
    action("closeAction")->trigger();
    EXPECT_EQ(prompts.questions.size(), 6);
}

TEST_F(KeepingWorkTest, SaveRaisesTheVersionAndSaveAsMakesTheChosenFileThePacksFile)
{
    load(file);
    editCurrentKey(QStringLiteral("+"));
    clock.date = QDate(2026, 11, 23);
    clock.time = QTime(14, 30);
    setGridValue(3, QStringLiteral("2.0.0")); // Save raises from the loaded version, not the row
    action("saveAction")->trigger();
    const InfoValues info = readPackFile(file).info;
    EXPECT_EQ(QStringList({info.version, info.date, gridValue(3), gridValue(4), written("a"), window->statusText()}),
        QStringList({"1.0.4", "2026-11-23 14:30", "1.0.4", "2026-11-23 14:30", "A+", "Gespeichert: de.xml"}));
    EXPECT_TRUE(readBytes(file).startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));

    // Save As writes the grid as it stands.
    const QString second = path(QStringLiteral("second.xml"));
    setGridValue(3, QStringLiteral("2.0.0"));
    prompts.savePaths.push_back(second);
    action("saveasAction")->trigger();
    ASSERT_EQ(prompts.saveDialogs.size(), 1u);
    EXPECT_EQ(dialog(prompts.saveDialogs[0]), QStringLiteral("Speichern als...|XML-Languagepack (*.xml)|*.xml||") + file);
    EXPECT_EQ(readPackFile(second).info.version, QStringLiteral("2.0.0"));

    // Save, here called by the guard although it is off, writes the file just
    // chosen and leaves the first alone.
    const QByteArray firstBytes = readBytes(file);
    editCurrentKey(QStringLiteral("!"));
    window->saveActionExecute();
    EXPECT_EQ(readBytes(file), firstBytes);
    EXPECT_EQ(readPackFile(second).info.version, QStringLiteral("2.0.1"));
    EXPECT_EQ(window->statusText(), QStringLiteral("Gespeichert: second.xml"));

    // An existing file is overwritten only when the question is answered Yes.
    editCurrentKey(QStringLiteral("?"));
    for (bool overwrite : {false, true}) {
        prompts.savePaths.push_back(file);
        prompts.confirmAnswers.push_back(overwrite);
        action("saveasAction")->trigger();
        EXPECT_EQ(prompts.questions.last(), QStringLiteral("Diese Datei existiert bereits. Soll die Datei überschrieben werden?"));
        EXPECT_EQ(written("a"), overwrite ? QStringLiteral("A+!?") : QStringLiteral("A+"));
        EXPECT_EQ(window->pack().isSaved(), overwrite);
    }
}

TEST_F(KeepingWorkTest, ANewPackIsMadeFromTheTemplateAndAsksForANameOnce)
{
    action("newFile")->trigger();
    EXPECT_EQ(snapshot().join(QLatin1Char('|')),
        QStringLiteral("||Neues Languagepack erstellt||Unnamed|Package|Lang|1.0.0|2026-01-05 09:05|1|1|1|1|1|0|0"));
    EXPECT_EQ(control<QTabWidget>("PageControl1")->currentWidget()->objectName(), QStringLiteral("TabSheet4"));

    // Cancelling the dialog writes nothing.
    prompts.savePaths.push_back(QString());
    action("saveAction")->trigger();
    EXPECT_EQ(prompts.saveDialogs.back().fileName, QStringLiteral("Unnamed_Package_Lang.xml"));
    EXPECT_FALSE(window->pack().isSaved());

    const QString named = path(QStringLiteral("Unnamed_Package_Lang.xml"));
    prompts.savePaths.push_back(named);
    action("saveAction")->trigger();
    EXPECT_TRUE(readBytes(named).startsWith("<languagepack name=\"Package\" lang=\"Lang\" version=\"1.0.0\" "
                                            "date=\"2026-01-05 09:05\" project=\"Unnamed\"><info>Languagepack-Descricption</info>"));
    // Once it has a file, Save writes there and raises the version.
    window->saveActionExecute();
    EXPECT_EQ(prompts.saveDialogs.size(), 2u);
    EXPECT_EQ(readPackFile(named).info.version, QStringLiteral("1.0.1"));
}

TEST_F(KeepingWorkTest, WritesWithoutAnOpenDocumentAreRefused)
{
    // Right after start-up typing enables Save; the write is refused.
    const QString never = path(QStringLiteral("never.xml"));
    QTest::keyClicks(valueMemo(), QStringLiteral("x"));
    prompts.savePaths.push_back(never);
    action("saveAction")->trigger();
    EXPECT_EQ(prompts.saveDialogs.back().fileName, QStringLiteral("__.xml"));
    EXPECT_EQ(prompts.infos.last(), QStringLiteral("Ooops...\nKein Languagepack geladen\nBitte erst neues Languagpack anlegen"));
    EXPECT_EQ(gridValue(4), QStringLiteral("2026-01-05 09:05"));

    // After closing a pack the document is empty: the other refusal.
    prompts.unsavedAnswers.push_back(UnsavedAnswer::No);
    load(file);
    action("closeAction")->trigger();
    QTest::keyClicks(valueMemo(), QStringLiteral("y"));
    prompts.savePaths.push_back(never);
    action("saveAction")->trigger();
    EXPECT_EQ(prompts.infos.last(), QStringLiteral("Ooops...\nSpeichern fehlgeschlagen...\nBitte erst neues Languagpack anlegen"));
    EXPECT_FALSE(QFile::exists(never));
}

TEST_F(KeepingWorkTest, PendingEditsAreTakenOverOnEveryWayOfLeavingAKey)
{
    activate();
    load(file);
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
        const QString shownKey = keyList()->text();
        valueMemo()->setFocus();
        QTest::keyClicks(valueMemo(), QStringLiteral("+"));
        way.leave();
        EXPECT_NE(keyList()->text(), shownKey) << "another key is shown";
        EXPECT_TRUE(window->pack().data().hashlistKeys.value(shownKey).contains(QLatin1Char('+')));
        action("resetAction")->trigger();
    }
    // At either end nothing happens; "Verwerfen" still throws edits away.
    pickRow(0);
    action("prevAction")->trigger();
    EXPECT_EQ(keyList()->text(), QStringLiteral("a"));
    QTest::keyClicks(valueMemo(), QStringLiteral("?"));
    action("resetAction")->trigger();
    pickRow(1);
    EXPECT_FALSE(window->pack().data().hashlistKeys.value(QStringLiteral("a")).contains(QLatin1Char('?')));
}

TEST_F(KeepingWorkTest, TheGuardAsksBeforeWorkIsLost)
{
    activate();
    load(file);
    // A translation typed but not taken over is unsaved work; "Abbrechen"
    // keeps it, whichever command asked.
    QTest::keyClicks(valueMemo(), QStringLiteral("*"));
    QCloseEvent closeBox;
    const std::pair<const char *, std::function<void()>> commands[] = {
        {"newFile", [this] { action("newFile")->trigger(); }}, {"closeAction", [this] { action("closeAction")->trigger(); }},
        {"exitAction", [this] { action("exitAction")->trigger(); }}, {"loadAction", [this] { action("loadAction")->trigger(); }},
        {"close box", [&] { QCoreApplication::sendEvent(window.get(), &closeBox); }}};
    for (const auto &[name, command] : commands) {
        SCOPED_TRACE(name);
        prompts.unsavedAnswers.push_back(UnsavedAnswer::Cancel);
        command();
        EXPECT_EQ(prompts.questions.last(), QStringLiteral("Languagepack nicht gespeichert! Jetzt speichern?"));
        EXPECT_EQ(valueMemo()->toPlainText(), QStringLiteral("*A"));
        EXPECT_TRUE(window->isVisible());
    }
    EXPECT_FALSE(closeBox.isAccepted());

    // "&Nein" closes without writing and keeps nothing of the pack.
    prompts.unsavedAnswers.push_back(UnsavedAnswer::No);
    action("closeAction")->trigger();
    EXPECT_EQ(written("a"), QStringLiteral("A"));
    EXPECT_EQ(listedKeys(), QStringList());
    EXPECT_EQ(window->pack().data().hashlistKeys.count(), 0);
    EXPECT_EQ(shown() + gridValue(0), QStringLiteral("||000"));
    EXPECT_EQ(window->statusText(), QStringLiteral("Kein Languagepack geladen"));
    EXPECT_EQ(window->pack().fileName(), QStringLiteral("de.xml")) << "the last file name stays for the status texts";

    // An info cell still being edited counts, and "&Ja" saves it.
    load(file);
    typeInCell(QStringLiteral("Neu"));
    prompts.unsavedAnswers.push_back(UnsavedAnswer::Yes);
    action("closeAction")->trigger();
    EXPECT_EQ(readPackFile(file).info.project, QStringLiteral("Neu"));

    // "&Ja" takes over what was typed, then writes.
    load(file);
    QTest::keyClicks(valueMemo(), QStringLiteral("2"));
    prompts.unsavedAnswers.push_back(UnsavedAnswer::Yes);
    QCloseEvent closeAgain;
    QCoreApplication::sendEvent(window.get(), &closeAgain);
    EXPECT_TRUE(closeAgain.isAccepted());
    EXPECT_EQ(written("a"), QStringLiteral("2A"));
    EXPECT_EQ(readPackFile(file).info.version, QStringLiteral("1.0.5"));
}

TEST_F(KeepingWorkTest, ASaveThatFailsOrIsCancelledStopsTheCommand)
{
    activate();
    load(file);
    // The disk fills up while the guard's save writes: the old file stays,
    // the work stays unsaved and the pack stays open.
    const QByteArray before = readBytes(file);
    QTest::keyClicks(valueMemo(), QStringLiteral("!"));
    signal(SIGXFSZ, SIG_IGN);
    rlimit original{};
    getrlimit(RLIMIT_FSIZE, &original);
    rlimit tiny = original;
    tiny.rlim_cur = 64;
    setrlimit(RLIMIT_FSIZE, &tiny);
    prompts.unsavedAnswers.push_back(UnsavedAnswer::Yes);
    action("closeAction")->trigger();
    setrlimit(RLIMIT_FSIZE, &original);
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_TRUE(prompts.errors[0].startsWith(QStringLiteral("Die Datei \"%1\" konnte nicht gespeichert werden").arg(file)))
        << prompts.errors[0].toStdString();
    prompts.errors.clear();
    EXPECT_EQ(readBytes(file), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("de.xml")}) << "no temporary file left";
    EXPECT_EQ(window->pack().data().hashlistKeys.value(QStringLiteral("a")), QStringLiteral("!A"));
    EXPECT_EQ(listedKeys().size(), 3);
    EXPECT_FALSE(window->pack().isSaved());
    EXPECT_TRUE(enabled("saveAction"));

    // A new pack whose Save As the user cancels stays open.
    prompts.unsavedAnswers.push_back(UnsavedAnswer::No);
    action("newFile")->trigger();
    prompts.unsavedAnswers.push_back(UnsavedAnswer::Yes);
    prompts.savePaths.push_back(QString());
    action("exitAction")->trigger();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->pack().state(), LanguagePack::State::Open);
}

TEST_F(KeepingWorkTest, KeyboardShortcutsFocusAndTabOrder)
{
    activate();
    load(file);
    EXPECT_EQ(QApplication::focusWidget(), valueMemo()) << "loading puts the focus into the translation";
    // Saving from the open cell editor commits it first.
    typeInCell(QStringLiteral("Projekt X"));
    QTest::keyClick(cellEditor(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(readPackFile(file).info.project, QStringLiteral("Projekt X"));
    EXPECT_EQ(cellEditor(), nullptr) << "the editor is closed";

    // After adding a key the translation has the focus.
    addKey(QStringLiteral("d"));
    activate();
    EXPECT_EQ(QApplication::focusWidget(), valueMemo());

    // Tab walks the window in reading order; Ctrl+Tab types a tab.
    keyList()->field()->setFocus();
    QStringList visited;
    for (int i = 0; i < 11; ++i) {
        visited << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited.join(QLatin1Char(',')), QStringLiteral(",,buttonNew,buttonDrop,buttonRename,checkWW,lpComment,lpValue,"
                                                             "htmlCheckbox,breakCheckbox,unixCheckBox"));
    QTest::keyClick(valueMemo(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(valueMemo()->toPlainText(), QStringLiteral("\t"));

    // An enabled action's shortcut wins over the memo's own meaning.
    valueMemo()->setFocus();
    QTest::keyClick(valueMemo(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(window->newKeyDialog()->isVisible());
    EXPECT_EQ(valueMemo()->textCursor().selectedText(), QString()) << "the memo did not select all";
    window->newKeyDialog()->hide();
    activate();
    commentMemo()->setFocus();
    QTest::keyClick(commentMemo(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(written("d"), QStringLiteral("\t"));

    // Without a pack Ctrl+A is the memo's own: the add-key action is off.
    action("closeAction")->trigger();
    valueMemo()->setFocus();
    QTest::keyClicks(valueMemo(), QStringLiteral("abc"));
    QTest::keyClick(valueMemo(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_FALSE(window->newKeyDialog()->isVisible());
    EXPECT_EQ(valueMemo()->textCursor().selectedText(), QStringLiteral("abc"));
    QTest::keyClick(valueMemo(), Qt::Key_F10);
    EXPECT_EQ(window->menuBar()->activeAction(), window->menuBar()->actions().value(0));
}
