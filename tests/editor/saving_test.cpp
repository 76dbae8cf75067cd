#include "document/packformat.h"
#include "editor/keylistbox.h"
#include "editor/newkeydialog.h"

#include "../support/testutil.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace Wordloom;

namespace {

const QByteArray kPack =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<languagepack name='app' lang='de' version='1.0.3' date='then' project='demo'><info>i</info><content>"
    "<key id='a'><value>A</value></key><key id='b'><value>B</value></key></content></languagepack>";

class SavingTest : public EditorTest {
protected:
    PackContent reread(const QString &file) const { return readPackFile(file); }
    void editCurrentKey(const QString &text)
    {
        QTest::keyClick(valueMemo(), Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(valueMemo(), text);
        action("submitAction")->trigger();
    }
};

} // namespace

TEST_F(SavingTest, SaveRaisesTheVersionStampsTheDateAndMarksSaved)
{
    const QString file = writePack(QStringLiteral("de.xml"), kPack);
    load(file);
    editCurrentKey(QStringLiteral("+"));
    clock.date = QDate(2026, 11, 23);
    clock.time = QTime(14, 30);
    setGridValue(3, QStringLiteral("2.0.0")); // Save raises from the loaded version, not the row
    action("saveAction")->trigger();
    PackContent saved = reread(file);
    EXPECT_EQ(saved.info.version, QStringLiteral("1.0.4"));
    EXPECT_EQ(gridValue(3), QStringLiteral("1.0.4"));
    EXPECT_EQ(saved.info.date, QStringLiteral("2026-11-23 14:30"));
    EXPECT_EQ(gridValue(4), QStringLiteral("2026-11-23 14:30"));
    EXPECT_EQ(saved.data.hashlistKeys.value(QStringLiteral("a")), QStringLiteral("A+"));
    EXPECT_EQ(window->statusText(), QStringLiteral("Gespeichert: de.xml"));
    EXPECT_FALSE(action("saveAction")->isEnabled());
    EXPECT_TRUE(action("saveasAction")->isEnabled());
    EXPECT_TRUE(window->pack().isSaved());
    EXPECT_TRUE(readBytes(file).startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));

    // Save is off after a save; the unsaved-changes guard still calls it.
    window->saveActionExecute();
    EXPECT_EQ(reread(file).info.version, QStringLiteral("1.0.5"));
    // After a save, leaving asks nothing.
    window->show();
    action("exitAction")->trigger();
    EXPECT_TRUE(prompts.questions.isEmpty());
    EXPECT_FALSE(window->isVisible());
}

TEST_F(SavingTest, SaveAsWritesTheGridAndMakesTheChosenFileThePacksFile)
{
    const QString first = writePack(QStringLiteral("first.xml"), kPack);
    load(first);
    setGridValue(3, QStringLiteral("2.0.0"));
    const QString second = path(QStringLiteral("second.xml"));
    prompts.savePaths.push_back(second);
    action("saveasAction")->trigger();
    ASSERT_EQ(prompts.saveDialogs.size(), 1u);
    EXPECT_EQ(prompts.saveDialogs[0].title, QStringLiteral("Speichern als..."));
    EXPECT_EQ(prompts.saveDialogs[0].filter, QStringLiteral("XML-Languagepack (*.xml)|*.xml"));
    EXPECT_EQ(prompts.saveDialogs[0].fileName, first);
    EXPECT_EQ(prompts.saveDialogs[0].defaultExtension, QString());
    EXPECT_EQ(reread(second).info.version, QStringLiteral("2.0.0"));
    EXPECT_EQ(window->statusText(), QStringLiteral("Gespeichert: second.xml"));

    // The next Save writes the file just chosen and leaves the first alone.
    const QByteArray firstBytes = readBytes(first);
    editCurrentKey(QStringLiteral("!"));
    action("saveAction")->trigger();
    EXPECT_EQ(readBytes(first), firstBytes);
    EXPECT_EQ(reread(second).info.version, QStringLiteral("2.0.1"));
    EXPECT_EQ(window->statusText(), QStringLiteral("Gespeichert: second.xml"));

    // An existing file is overwritten only when the question is answered Yes.
    prompts.savePaths.push_back(first);
    prompts.confirmAnswers.push_back(false);
    editCurrentKey(QStringLiteral("?"));
    const QString status = window->statusText();
    action("saveasAction")->trigger();
    EXPECT_EQ(prompts.questions.last(), QStringLiteral("Diese Datei existiert bereits. Soll die Datei überschrieben werden?"));
    EXPECT_EQ(readBytes(first), firstBytes);
    EXPECT_EQ(window->statusText(), status);
    EXPECT_FALSE(window->pack().isSaved());
    prompts.savePaths.push_back(first);
    prompts.confirmAnswers.push_back(true);
    action("saveasAction")->trigger();
    EXPECT_EQ(reread(first).data.hashlistKeys.value(QStringLiteral("a")), QStringLiteral("A!?"));
}

TEST_F(SavingTest, ANewPackAsksForANameOnceAndIsCreatedFromTheTemplate)
{
    action("newFile")->trigger();
    EXPECT_EQ((QStringList{gridValue(0), gridValue(1), gridValue(2), gridValue(3), gridValue(4)}),
        QStringLiteral("Unnamed|Package|Lang|1.0.0|2026-01-05 09:05").split(QLatin1Char('|')));
    EXPECT_EQ(control<QTabWidget>("PageControl1")->currentWidget()->objectName(), QStringLiteral("TabSheet4"));
    EXPECT_EQ(window->statusText(), QStringLiteral("Neues Languagepack erstellt"));
    EXPECT_TRUE(action("saveAction")->isEnabled());
    EXPECT_TRUE(window->pack().isModified());

    // Cancelling the dialog writes nothing.
    prompts.savePaths.push_back(QString());
    action("saveAction")->trigger();
    EXPECT_EQ(prompts.saveDialogs.back().fileName, QStringLiteral("Unnamed_Package_Lang.xml"));
    EXPECT_FALSE(window->pack().isSaved());

    const QString file = path(QStringLiteral("Unnamed_Package_Lang.xml"));
    prompts.savePaths.push_back(file);
    action("saveAction")->trigger();
    const QString written = QString::fromUtf8(readBytes(file));
    EXPECT_TRUE(written.startsWith(QStringLiteral("<languagepack name=\"Package\" lang=\"Lang\" version=\"1.0.0\" "
                                                  "date=\"2026-01-05 09:05\" project=\"Unnamed\"><info>Languagepack-Descricption</info>")))
        << written.toStdString();
    EXPECT_EQ(prompts.saveDialogs.size(), 2u);

    // Once it has a file, Save writes there and raises the version.
    clock.time = QTime(10, 0);
    window->saveActionExecute();
    EXPECT_EQ(prompts.saveDialogs.size(), 2u);
    EXPECT_EQ(reread(file).info.version, QStringLiteral("1.0.1"));
}

TEST_F(SavingTest, WritesWithoutAnOpenDocumentAreRefused)
{
    // Right after start-up typing enables Save; the write is refused.
    QTest::keyClicks(valueMemo(), QStringLiteral("x"));
    EXPECT_TRUE(action("saveAction")->isEnabled());
    const QString file = path(QStringLiteral("never.xml"));
    prompts.savePaths.push_back(file);
    action("saveAction")->trigger();
    EXPECT_EQ(prompts.saveDialogs.back().fileName, QStringLiteral("__.xml"));
    EXPECT_EQ(prompts.infos.last(), QStringLiteral("Ooops...\nKein Languagepack geladen\nBitte erst neues Languagpack anlegen"));
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_EQ(gridValue(4), QStringLiteral("2026-01-05 09:05"));

    // After closing a pack the document is empty: the other refusal.
    prompts.unsavedAnswers.push_back(UnsavedAnswer::No);
    action("newFile")->trigger();
    prompts.unsavedAnswers.push_back(UnsavedAnswer::No);
    action("closeAction")->trigger();
    QTest::keyClicks(valueMemo(), QStringLiteral("y"));
    prompts.savePaths.push_back(file);
    prompts.unsavedAnswers.clear();
    action("saveAction")->trigger();
    EXPECT_EQ(prompts.infos.last(), QStringLiteral("Ooops...\nSpeichern fehlgeschlagen...\nBitte erst neues Languagpack anlegen"));
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(SavingTest, AFailedWriteKeepsTheOldFileAndTheUnsavedWork)
{
    const QString file = writePack(QStringLiteral("de.xml"), kPack);
    load(file);
    editCurrentKey(QStringLiteral(" changed"));

    // The disk fills up while the pack is written.
    signal(SIGXFSZ, SIG_IGN);
    rlimit original{};
    getrlimit(RLIMIT_FSIZE, &original);
    rlimit tiny = original;
    tiny.rlim_cur = 64;
    setrlimit(RLIMIT_FSIZE, &tiny);
    action("saveAction")->trigger();
    setrlimit(RLIMIT_FSIZE, &original);

    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_TRUE(prompts.errors[0].startsWith(QStringLiteral("Die Datei \"%1\" konnte nicht gespeichert werden").arg(file)))
        << prompts.errors[0].toStdString();
    prompts.errors.clear();
    EXPECT_EQ(readBytes(file), kPack);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("de.xml")}) << "no temporary file left";
    EXPECT_FALSE(window->pack().isSaved());
    EXPECT_TRUE(action("saveAction")->isEnabled());
    EXPECT_EQ(window->pack().data().hashlistKeys.value(QStringLiteral("a")), QStringLiteral("A changed"));

    // A character the file cannot hold refuses the save, naming the key.
    KeyEntry bell = window->pack().entry(QStringLiteral("b"));
    bell.comment = QStringLiteral("bell\a");
    window->pack().commit(QStringLiteral("b"), bell);
    prompts.savePaths.push_back(file);
    prompts.confirmAnswers.push_back(true);
    action("saveasAction")->trigger();
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_TRUE(prompts.errors[0].startsWith(QStringLiteral("Der Schlüssel \"b\" enthält ein Zeichen"))) << prompts.errors[0].toStdString();
    prompts.errors.clear();
    EXPECT_EQ(readBytes(file), kPack);
    EXPECT_FALSE(window->pack().isSaved());

    // The folder is gone: the close question's Yes runs the failing save, and
    // the close stops.
    QTemporaryDir gone;
    const QString lost = gone.filePath(QStringLiteral("de.xml"));
    writeBytes(lost, kPack);
    prompts.unsavedAnswers.push_back(UnsavedAnswer::No);
    load(lost);
    editCurrentKey(QStringLiteral("!"));
    gone.remove();
    prompts.unsavedAnswers.push_back(UnsavedAnswer::Yes);
    action("closeAction")->trigger();
    EXPECT_EQ(prompts.errors.size(), 1);
    prompts.errors.clear();
    EXPECT_EQ(listedKeys().size(), 2);
    EXPECT_FALSE(window->pack().isSaved());
}

TEST_F(SavingTest, TheGuardAsksBeforeWorkIsLost)
{
    const QString file = writePack(QStringLiteral("de.xml"), kPack);
    const auto dirty = [&] {
        load(file);
        editCurrentKey(QStringLiteral("*"));
    };
    const QString question = QStringLiteral("Languagepack nicht gespeichert! Jetzt speichern?");

    // Cancel keeps everything, for each command that would lose the work.
    dirty();
    for (const char *command : {"newFile", "closeAction", "exitAction", "loadAction"}) {
        SCOPED_TRACE(command);
        prompts.unsavedAnswers.push_back(UnsavedAnswer::Cancel);
        action(command)->trigger();
        EXPECT_EQ(prompts.questions.last(), question);
        EXPECT_EQ(window->pack().data().hashlistKeys.value(QStringLiteral("a")), QStringLiteral("A*"));
        EXPECT_FALSE(window->pack().isSaved());
    }
    QCloseEvent closeBox;
    prompts.unsavedAnswers.push_back(UnsavedAnswer::Cancel);
    QCoreApplication::sendEvent(window.get(), &closeBox);
    EXPECT_FALSE(closeBox.isAccepted());

    // No: close without writing.
    prompts.unsavedAnswers.push_back(UnsavedAnswer::No);
    action("closeAction")->trigger();
    EXPECT_EQ(reread(file).data.hashlistKeys.value(QStringLiteral("a")), QStringLiteral("A"));
    EXPECT_TRUE(listedKeys().isEmpty());
    EXPECT_EQ(window->statusText(), QStringLiteral("Kein Languagepack geladen"));
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(gridValue(row), QString());
    for (const char *name : {"saveAction", "saveasAction", "closeAction", "exportAction", "newAction", "dropAction"})
        EXPECT_FALSE(action(name)->isEnabled()) << name;
    EXPECT_EQ(window->pack().state(), LanguagePack::State::Empty);

    // Yes: text typed but not submitted is committed and written too.
    load(file);
    editCurrentKey(QStringLiteral("1"));
    QTest::keyClicks(valueMemo(), QStringLiteral("2"));
    prompts.unsavedAnswers.push_back(UnsavedAnswer::Yes);
    QCloseEvent closeAgain;
    QCoreApplication::sendEvent(window.get(), &closeAgain);
    EXPECT_TRUE(closeAgain.isAccepted());
    EXPECT_EQ(reread(file).data.hashlistKeys.value(QStringLiteral("a")), QStringLiteral("A12"));
    EXPECT_EQ(reread(file).info.version, QStringLiteral("1.0.4"));
}

TEST_F(SavingTest, CloseAndNewStartFromEmptyData)
{
    load(writePack(QStringLiteral("de.xml"),
        "<languagepack><content><key id='k' encodeHTML='1'><value>v</value><comment>c</comment></key></content></languagepack>"));
    action("closeAction")->trigger();
    EXPECT_EQ(valueMemo()->toPlainText(), QString());
    action("newFile")->trigger();
    EXPECT_TRUE(prompts.questions.isEmpty()) << "a closed pack has nothing unsaved";
    window->newKeyDialog()->setKeyName(QStringLiteral("k"));
    window->newKeyRequestExecute();
    EXPECT_EQ(commentMemo()->toPlainText(), QString());
    EXPECT_FALSE(window->pack().data().hashlistHTML.contains(QStringLiteral("k")));
    EXPECT_EQ(window->pack().fileName(), QStringLiteral("de.xml")) << "the last file name stays for the status texts";
}
