#include "document/journal.h"

#include "../support/drill.h"
#include "../support/testutil.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>

#include <csignal>

using namespace Wordloom;

namespace {

const QByteArray kPack = "<languagepack name='app' lang='de' version='1.0.3' date='then' project='demo'><content>"
                         "<key id='a'><value>A</value></key><key id='b'><value>B</value></key>"
                         "<key id='c'><value>C</value></key></content></languagepack>";

// A session that dies leaves its journal; the next one offers it back.
class RecoveryTest : public EditorTest {
protected:
    static QStringList journals()
    {
        return QDir(Journal::defaultFolder()).entryList({QStringLiteral("*.journal")}, QDir::Files);
    }
    // Edits two translations and the project, as a session before a crash.
    void work()
    {
        for (const char *key : {"a", "c"}) {
            keyList()->selectRow(int(window->pack().keys().find(QLatin1String(key))));
            window->lpKeyChange();
            valueMemo()->setPlainText(QStringLiteral("neu ") + QLatin1String(key));
            action("submitAction")->trigger();
        }
        window->pack().editInfoValue(0, QStringLiteral("anders"));
    }
    // What a process killed now leaves: its journal, with no lock held.
    QString orphan()
    {
        const QStringList live = journals();
        EXPECT_EQ(live.size(), 1);
        const QString left = QDir(Journal::defaultFolder()).filePath(QStringLiteral("left.journal"));
        QFile::remove(left);
        EXPECT_TRUE(QFile::copy(QDir(Journal::defaultFolder()).filePath(live.value(0)), left));
        return left;
    }
    // The window after a restart, answering the recovery question.
    void restart(RecoveryAnswer reply)
    {
        window = std::make_unique<MainWindow>(prompts, clock, dir.filePath(QStringLiteral("Plugins")));
        prompts.recoveryAnswers.push_back(reply);
        window->files().offerRecovery();
    }
    QString saveAs(const QString &name)
    {
        QFile::remove(path(name));
        prompts.savePaths.push_back(path(name));
        action("saveasAction")->trigger();
        return QString::fromUtf8(readBytes(path(name)));
    }
    void TearDown() override
    {
        EditorTest::TearDown();
        for (const QString &name : journals())
            QFile::remove(QDir(Journal::defaultFolder()).filePath(name));
    }
};

TEST_F(RecoveryTest, ACrashedSessionComesBackAsTheStepsItMade)
{
    const QString file = loadPack(kPack);
    work();
    const QString left = orphan();
    const QString uninterrupted = saveAs(QStringLiteral("expected.xml"));
    // Saving started the journal afresh; an orderly end removes it.
    EXPECT_TRUE(journals() == QStringList{QStringLiteral("left.journal")});

    restart(RecoveryAnswer::Restore);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Wordloom wurde nicht ordnungsgemäß beendet. 3 ungespeicherte "
                                                  "Änderungen an „de.xml“ vom \\d\\d\\.\\d\\d\\.\\d{4}, "
                                                  "\\d\\d:\\d\\d wiederherstellen\\?$"))
                    .match(prompts.questions.last())
                    .hasMatch())
        << prompts.questions.last().toStdString();
    EXPECT_EQ(window->statusText(), QStringLiteral("3 Änderungen wiederhergestellt"));
    EXPECT_EQ(window->pack().path(), file);
    EXPECT_TRUE(window->pack().isModified());
    EXPECT_FALSE(QFile::exists(left));
    EXPECT_EQ(saveAs(QStringLiteral("recovered.xml")), uninterrupted);
    // The steps came back as steps.
    window->undoActionExecute();
    EXPECT_EQ(gridValue(0), QStringLiteral("demo"));
}

TEST_F(RecoveryTest, AnEditorKilledAtAnyMomentLosesNoStepItFinished)
{
    const QString file = writePack(QStringLiteral("de.xml"), kPack);
    // Killed once idle after four steps, and once in the middle of writing
    // the journal's fourth record.
    for (const char *killAt : {"", "3"}) {
        SCOPED_TRACE(killAt);
        QProcess drill;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (*killAt)
            environment.insert(QStringLiteral("WORDLOOM_JOURNAL_KILL_AT"), QLatin1String(killAt));
        drill.setProcessEnvironment(environment);
        drill.start(QStringLiteral(WORDLOOM_CRASHDRILL), {file, QStringLiteral("4")});
        if (*killAt) {
            ASSERT_TRUE(drill.waitForFinished(30000));
        } else {
            ASSERT_TRUE(drill.waitForReadyRead(30000));
            ::kill(pid_t(drill.processId()), SIGKILL);
            drill.waitForFinished();
        }
        EXPECT_EQ(drill.exitStatus(), QProcess::CrashExit);

        restart(RecoveryAnswer::Restore);
        const int steps = window->pack().history().count();
        EXPECT_EQ(steps == 4, !*killAt) << steps;
        EXPECT_TRUE(steps >= 2 || !*killAt) << steps;
        const QString recovered = saveAs(QStringLiteral("recovered.xml"));
        window = std::make_unique<MainWindow>(prompts, clock, QString());
        load(file);
        drillSteps(*window, steps);
        EXPECT_EQ(recovered, saveAs(QStringLiteral("uninterrupted.xml")));
        window.reset();
    }
}

TEST_F(RecoveryTest, WhatAJournalCannotGiveBackIsSaidAndKept)
{
    struct Case {
        const char *what;
        RecoveryAnswer answer;
        std::function<void(const QString &journal, const QString &pack)> harm;
        const char *status;
        bool journalStays;
        const char *translationOfC;
    };
    const auto cut = [](qsizetype by) {
        return [by](const QString &journal, const QString &) {
            QFile file(journal);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            ASSERT_TRUE(file.resize(file.size() - by));
        };
    };
    const Case cases[] = {
        {"later", RecoveryAnswer::Later, nullptr, "", true, "C"},
        {"discarded", RecoveryAnswer::Discard, nullptr, "", false, "C"},
        {"cut in the last record", RecoveryAnswer::Restore, cut(5),
            "2 Änderungen wiederhergestellt; die letzte Änderung wurde nicht mehr vollständig aufgezeichnet", false,
            "neu c"},
        {"damaged in the middle", RecoveryAnswer::Restore,
            [](const QString &journal, const QString &) {
                QByteArray bytes = readBytes(journal);
                // A byte of the second step's text.
                bytes[bytes.indexOf(QByteArray("n\0e\0u\0 \0c", 9))] = 'X';
                writeBytes(journal, bytes);
            },
            "1 Änderungen wiederhergestellt; das Journal ist danach beschädigt", false, "C"},
        {"pack changed on disk", RecoveryAnswer::Restore,
            [](const QString &, const QString &pack) {
                writeBytes(pack, QByteArray(kPack).replace("<value>C</value>", "<value>C2</value>"));
            },
            "3 Änderungen wiederhergestellt; bei 1 Schlüsseln blieb der Wert aus der Datei", true, "C2"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString pack = loadPack(kPack);
        work();
        const QString left = orphan();
        prompts.unsavedAnswers.push_back(UnsavedAnswer::No);
        action("closeAction")->trigger();
        if (c.harm)
            c.harm(left, pack);
        prompts.infos.clear();
        restart(c.answer);
        EXPECT_EQ(QFile::exists(left), c.journalStays);
        if (c.answer != RecoveryAnswer::Restore) {
            EXPECT_EQ(window->pack().state(), LanguagePack::State::NeverOpened);
            QFile::remove(left);
            continue;
        }
        EXPECT_EQ(window->statusText(), QString::fromUtf8(c.status));
        EXPECT_EQ(window->pack().entry(QStringLiteral("c")).translation, QString::fromUtf8(c.translationOfC));
        if (c.journalStays) {
            EXPECT_EQ(prompts.infos.value(0).section(u'\n', 1), QStringLiteral("c"));
            // Until the user saves.
            action("saveAction")->trigger();
            EXPECT_FALSE(QFile::exists(left));
        }
        if (window->pack().isModified())
            prompts.unsavedAnswers.push_back(UnsavedAnswer::No);
        action("closeAction")->trigger();
    }
}

TEST_F(RecoveryTest, LiveJournalsNewPacksAndAnUnwritableFolder)
{
    // A journal whose process runs is never offered; a second window on the
    // same pack is warned.
    const QString file = loadPack(kPack);
    work();
    auto second = std::make_unique<MainWindow>(prompts, clock, QString());
    second->files().offerRecovery();
    prompts.openPaths.push_back(file);
    second->findChild<QAction *>(QStringLiteral("loadAction"))->trigger();
    EXPECT_EQ(prompts.infos.value(0),
        QStringLiteral("„de.xml“ wird gerade in einem anderen Fenster bearbeitet. Wer "
                       "zuletzt speichert, überschreibt die Änderungen des anderen."));
    second.reset();
    EXPECT_EQ(journals().size(), 1);

    // A new pack that was never saved comes back as a new pack.
    prompts.unsavedAnswers.push_back(UnsavedAnswer::No);
    action("newFile")->trigger();
    window->pack().addKey(QStringLiteral("neu"));
    orphan();
    restart(RecoveryAnswer::Restore);
    EXPECT_TRUE(window->pack().path().isEmpty());
    EXPECT_EQ(window->pack().keys().names(), std::vector<QString>{QStringLiteral("neu")});
    EXPECT_EQ(gridValue(0), QStringLiteral("Unnamed"));

    // Without a state folder the editor works on and says so once.
    const QByteArray state = qgetenv("XDG_STATE_HOME");
    writeBytes(path(QStringLiteral("blocked")), "");
    qputenv("XDG_STATE_HOME", path(QStringLiteral("blocked")).toLocal8Bit());
    window = std::make_unique<MainWindow>(prompts, clock, QString());
    qputenv("XDG_STATE_HOME", state);
    loadPack(kPack);
    work();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->statusText().startsWith(QStringLiteral("Änderungen werden nicht aufgezeichnet:")))
        << window->statusText().toStdString();
    EXPECT_TRUE(window->pack().isModified());
}

} // namespace
