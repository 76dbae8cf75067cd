// The window's speed on a real pack, as a user meets it: the load until the
// list is filled and the first key shown, each search keystroke until its
// results are shown, the key operations and both checks. Each figure is the
// median of several runs; the window is shown (offscreen is fine).
//   build/bin/wordloom-windowbench PACK [RUNS]
// WORDLOOM_BENCH_VERBOSE=1 also prints every keystroke with the search's own
// time and its hits; WORDLOOM_BENCH_OPS=N runs the key operations N times;
// WORDLOOM_BENCH_RECOVERY=N times the recovery of N take-overs (default
// 10000, 0 skips it); WORDLOOM_BENCH_REPLACE=1 times only the load and the
// replace-all with its undo and redo. Packs: ../shared/perf/gen.py N DIR.
// First it starts itself a few times as the editor starts (with the plug-ins
// beside it) and times each until the window is shown. The window's load is
// set against wordloom-cli's check of the same pack, each run in a fresh
// process as a user runs it: a check repeated in this process reuses the
// memory the one before freed, and so pays fewer page faults than any load
// into a window that still holds a pack.
#include "bench/scriptedprompts.h"
#include "checks/keychecks.h"
#include "document/clock.h"
#include "document/journal.h"
#include "document/languagepack.h"
#include "document/recovery.h"
#include "editor/keylistbox.h"
#include "editor/mainwindow.h"
#include "editor/newkeydialog.h"
#include "plugins/plugincatalog.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>

#include <sys/resource.h>

using namespace Wordloom;

namespace {

// The longest time the event loop did not come round: how long the window
// stopped repainting.
class Heartbeat {
public:
    Heartbeat()
    {
        QObject::connect(&mTimer, &QTimer::timeout, [this] { beat(); });
        mClock.start();
        mTimer.start(5);
    }
    double longestPause(const char *what)
    {
        beat();
        if (qEnvironmentVariableIsSet("WORDLOOM_BENCH_VERBOSE"))
            std::printf("  %s %.0f ms, longest pause %.0f ms from %.0f ms\n", what, mClock.nsecsElapsed() / 1e6,
                mLongest / 1e6, mLongestFrom / 1e6);
        return double(mLongest) / 1e6;
    }

private:
    void beat()
    {
        const qint64 now = mClock.nsecsElapsed();
        if (now - mLast > mLongest) {
            mLongest = now - mLast;
            mLongestFrom = mLast;
        }
        mLast = now;
    }
    QTimer mTimer;
    QElapsedTimer mClock;
    qint64 mLast = 0, mLongest = 0, mLongestFrom = 0;
};

// Runs the work and everything it set off, including the repaint of what
// changed, as the event loop would.
double timed(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    QCoreApplication::processEvents();
    return double(timer.nsecsElapsed()) / 1e6;
}

// The process's CPU time so far, user and system, all threads.
double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void report(const char *what, const std::vector<double> &ms)
{
    std::printf("%-44s median %9.2f ms   max %9.2f ms   (%zu runs)\n", what, median(ms),
        *std::max_element(ms.begin(), ms.end()), ms.size());
}

// The system's monotonic clock, which parent and child processes share.
qint64 monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The editor's start in this process: the window as the program builds it,
// shown; prints the moment it is on the screen.
int startAsEditor(int argc, char **argv)
{
    QApplication app(argc, argv);
    ScriptedPrompts prompts;
    Clock clock;
    MainWindow window(prompts, clock, PluginCatalog::programPluginFolder());
    window.show();
    window.openAtStart(QString());
    while (!window.windowHandle() || !window.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    QCoreApplication::processEvents();
    std::printf("%lld\n", static_cast<long long>(monotonicNs()));
    return 0;
}

// From starting the program until its window is shown, in a fresh process
// each time.
std::vector<double> startups(const char *program, int runs)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QProcess editor;
        const qint64 begun = monotonicNs();
        editor.start(QString::fromLocal8Bit(program), {QStringLiteral("--start")});
        if (!editor.waitForFinished(60000) || editor.exitCode() != 0)
            continue;
        ms.push_back(double(editor.readAllStandardOutput().trimmed().toLongLong() - begun) / 1e6);
    }
    return ms;
}

// wordloom-cli check of the pack, from its start to its end; nothing when
// the command line is not beside this program.
std::vector<double> commandLineChecks(const QString &pack, int runs)
{
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/wordloom-cli");
    std::vector<double> ms;
    if (!QFileInfo(program).isExecutable())
        return ms;
    for (int i = 0; i < runs; ++i) {
        QProcess cli;
        cli.setStandardOutputFile(QProcess::nullDevice());
        cli.setStandardErrorFile(QProcess::nullDevice());
        QElapsedTimer timer;
        timer.start();
        cli.start(program, {QStringLiteral("check"), pack});
        if (!cli.waitForFinished(600000) || cli.exitStatus() != QProcess::NormalExit)
            continue;
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--start") == 0)
        return startAsEditor(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: wordloom-windowbench PACK [RUNS]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    // The journals of the run stay out of the user's state folder.
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    const bool replaceOnly = qEnvironmentVariableIsSet("WORDLOOM_BENCH_REPLACE");

    if (const std::vector<double> started = replaceOnly ? std::vector<double>() : startups(argv[0], runs);
        !started.empty())
        report("editor started, window shown", started);

    const std::vector<double> cliCheck = replaceOnly ? std::vector<double>() : commandLineChecks(path, runs);
    std::vector<double> check, load, ready;
    for (int i = 0; i < (replaceOnly ? 0 : runs); ++i) {
        LanguagePack pack;
        check.push_back(timed([&] {
            pack.load(path);
            checkForDuplicates(pack.keys().names());
            checkKeySyntax(pack.keys().names());
        }));
    }

    ScriptedPrompts prompts;
    prompts.path = path;
    Clock clock;
    MainWindow window(prompts, clock, QString());
    window.resize(1024, 768);
    window.show();
    QCoreApplication::processEvents();
    std::vector<double> idle;
    for (int i = 0; i < runs; ++i)
        idle.push_back(timed([&] { window.repaint(); }));
    report("repaint of the whole window (for comparison)", idle);
    QAction *loadAction = window.findChild<QAction *>(QStringLiteral("loadAction"));
    std::vector<double> pauses, indexPauses;
    for (int i = 0; i < (replaceOnly ? 1 : runs); ++i) {
        Heartbeat heart;
        load.push_back(timed([&] { loadAction->trigger(); }));
        pauses.push_back(heart.longestPause("load"));
        QElapsedTimer timer;
        timer.start();
        Heartbeat indexing;
        // Waits for events (the heartbeat's among them): processEvents with
        // a time limit would keep this thread busy beside the builds.
        while (!window.isSearchReady())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        ready.push_back(double(timer.nsecsElapsed()) / 1e6);
        indexPauses.push_back(indexing.longestPause("indexes"));
    }
    if (!replaceOnly) {
        if (!cliCheck.empty()) {
            report("wordloom-cli check, a fresh process each", cliCheck);
            std::printf("%-44s %.2fx\n", "  window load / wordloom-cli check", median(load) / median(cliCheck));
        }
        report("check in this process (load + both checks)", check);
        std::printf("%-44s %.2fx\n", "  window load / check in this process", median(load) / median(check));
    }
    report("load in the window, first key shown", load);
    report("longest pause in repainting during a load", pauses);
    report("search index ready after the load", ready);
    report("longest pause in repainting meanwhile", indexPauses);

    // Typing, one character at a time, the first keystroke after the load
    // included; then a text that is not an extension of the last.
    QLineEdit *field = window.findChild<QLineEdit *>(QStringLiteral("suchbegriff"));
    std::vector<double> keystrokes;
    for (const QString &word : {QStringLiteral("dialog"), QStringLiteral("größe"), QStringLiteral("e"),
             QStringLiteral("Straße"), QStringLiteral("zzq")}) {
        if (replaceOnly)
            break;
        for (qsizetype n = 1; n <= word.size(); ++n) {
            keystrokes.push_back(timed([&] { field->setText(word.left(n)); }));
            if (qEnvironmentVariableIsSet("WORDLOOM_BENCH_VERBOSE")) {
                QElapsedTimer t;
                t.start();
                const qsizetype hits = window.pack().data().hashlistKeys.linesContaining(word.left(n)).size();
                std::printf("  %-12s %8.2f ms  (search alone again %.2f ms, %lld hits)\n", qPrintable(word.left(n)),
                    keystrokes.back(), double(t.nsecsElapsed()) / 1e6, (long long)hits);
            }
        }
    }
    if (!replaceOnly) {
        std::printf("%-44s %.2f ms\n", "search: first keystroke", keystrokes.front());
        report("search keystroke, results shown", keystrokes);
    }

    // The same typing in each scope, with and without case, and with each
    // filter; a scope other than the translations replaces it.
    const std::vector<std::vector<const char *>> settings{{"scopeKey"}, {"scopeKey", "matchCase"}, {"scopeComment"},
        {"scopeComment", "matchCase"}, {"matchCase"}, {"filterUntranslated"}, {"filterComment"}};
    auto *textScope = window.findChild<QCheckBox *>(QStringLiteral("scopeText"));
    for (const std::vector<const char *> &boxes : settings) {
        if (replaceOnly)
            break;
        const bool scope = QByteArray(boxes.front()).startsWith("scope");
        QByteArray name("search keystroke,");
        const auto flip = [&] {
            if (scope)
                textScope->click();
            for (const char *box : boxes)
                window.findChild<QCheckBox *>(QLatin1String(box))->click();
        };
        for (const char *box : boxes)
            name += QByteArray(" ") + box;
        // Ticked with the field empty, a filter alone lists its keys; the
        // field cleared before each word shows them again.
        field->clear();
        std::vector<double> typed{timed(flip)};
        QStringList typing{QStringLiteral("(ticked)")};
        for (const QString &word : {QStringLiteral("dialog"), QStringLiteral("größe"), QStringLiteral("zzq")}) {
            typed.push_back(timed([&] { field->clear(); }));
            typing.append(QStringLiteral("(cleared)"));
            for (qsizetype n = 1; n <= word.size(); ++n) {
                typed.push_back(timed([&] { field->setText(word.left(n)); }));
                typing.append(word.left(n));
            }
        }
        if (qEnvironmentVariableIsSet("WORDLOOM_BENCH_VERBOSE"))
            for (qsizetype i = 0; i < typing.size(); ++i)
                std::printf("  %-12s %8.2f ms\n", qPrintable(typing[i]), typed[size_t(i)]);
        flip();
        report(name.constData(), typed);
    }
    field->setText(QStringLiteral("e"));
    window.findChild<QLineEdit *>(QStringLiteral("ersetzen"))->setText(QStringLiteral("E"));
    QAbstractButton *replaceButton = window.findChild<QAbstractButton *>(QStringLiteral("buttonErsetzen"));
    std::vector<double> replaced, replaceUndone, replaceCpu, undoCpu;
    for (int i = 0; i < std::min(runs, 3); ++i) {
        double cpu = cpuMs();
        replaced.push_back(timed([&] { replaceButton->click(); }));
        replaceCpu.push_back(cpuMs() - cpu);
        cpu = cpuMs();
        replaceUndone.push_back(timed([&] { window.undoActionExecute(); }));
        undoCpu.push_back(cpuMs() - cpu);
    }
    report("replace all \"e\" by \"E\" (confirmed)", replaced);
    report("  its CPU time, all threads", replaceCpu);
    report("undo the replace-all", replaceUndone);
    report("  its CPU time, all threads", undoCpu);
    field->clear();
    if (replaceOnly)
        return 0;

    KeyListBox *keyBox = window.findChild<KeyListBox *>(QStringLiteral("lpKey"));
    const int rows = int(window.pack().keys().count());
    auto *memo = window.findChild<QPlainTextEdit *>(QStringLiteral("lpValue"));
    std::vector<double> select, add, rename, drop, doppel, syntax, takeOver, undo, redo;
    // The key operations are quick: more runs steady their medians.
    const int ops = qEnvironmentVariableIsSet("WORDLOOM_BENCH_OPS") ? qEnvironmentVariableIntValue("WORDLOOM_BENCH_OPS")
                                                                    : std::max(runs, 25);
    for (int i = 0; i < ops; ++i) {
        // Select a key in the middle, with a translation.
        const int row = rows / 2 + i;
        select.push_back(timed([&] {
            keyBox->selectRow(row);
            window.lpKeyChange();
        }));
        // Take a typed translation over, then undo and redo that step.
        memo->setPlainText(QStringLiteral("Bench %1").arg(i));
        takeOver.push_back(timed([&] { window.submitActionExecute(); }));
        undo.push_back(timed([&] { window.undoActionExecute(); }));
        redo.push_back(timed([&] { window.redoActionExecute(); }));
        const QString name = QStringLiteral("zz.bench.%1").arg(i);
        add.push_back(timed([&] {
            window.newKeyDialog()->setKeyName(name);
            window.newKeyRequestExecute();
        }));
        drop.push_back(timed([&] { window.dropActionExecute(); }));
        // Rename the key in the middle, which has a translation.
        timed([&] {
            keyBox->selectRow(row);
            window.lpKeyChange();
        });
        rename.push_back(timed([&] {
            window.renameKeyDialog()->setKeyName(QStringLiteral("aa.renamed.%1").arg(i));
            window.renameKeyRequestExecute();
        }));
        doppel.push_back(timed([&] { window.doppelCheckExecute(); }));
        syntax.push_back(timed([&] { window.syntaxCheckExecute(); }));
    }
    report("select a key", select);
    report("take a translation over", takeOver);
    report("undo a take-over", undo);
    report("redo a take-over", redo);
    report("add a key", add);
    report("drop a key", drop);
    report("rename a key with a translation", rename);
    report("Doppel-Check", doppel);
    report("Syntax-Check", syntax);

    // One batch step over every key: a comment for each, as a replace-all
    // would make; then undone and redone from the window.
    std::vector<double> batch, batchUndo, batchRedo;
    for (int i = 0; i < std::min(runs, 3); ++i) {
        std::vector<FieldChange> changes;
        changes.reserve(size_t(rows));
        for (const QString &key : window.pack().keys().names())
            changes.push_back({key, KeyField::Comment, QStringLiteral("Stapel %1").arg(i)});
        batch.push_back(timed([&] { window.pack().changeMany(QStringLiteral("Stapel"), changes); }));
        batchUndo.push_back(timed([&] { window.undoActionExecute(); }));
        batchRedo.push_back(timed([&] { window.redoActionExecute(); }));
    }
    report("batch step over every key (comments)", batch);
    report("undo the batch step", batchUndo);
    report("redo the batch step", batchRedo);

    // Saving the edited pack under another name, in the background.
    QTemporaryDir dir;
    prompts.savePath = dir.filePath(QStringLiteral("saved.xml"));
    QAction *saveasAction = window.findChild<QAction *>(QStringLiteral("saveasAction"));
    std::vector<double> save, savePauses;
    for (int i = 0; i < runs; ++i) {
        Heartbeat heart;
        save.push_back(timed([&] { saveasAction->trigger(); }));
        savePauses.push_back(heart.longestPause("save"));
    }
    report("save as", save);
    report("longest pause in repainting during a save", savePauses);

    // Take-overs a session made before it died, then recovered in a new
    // window: the load of the pack and the replay of the journal.
    const int recovered = qEnvironmentVariableIsSet("WORDLOOM_BENCH_RECOVERY")
        ? qEnvironmentVariableIntValue("WORDLOOM_BENCH_RECOVERY")
        : 10000;
    if (recovered > 0) {
        prompts.path = prompts.savePath;
        loadAction->trigger();
        for (int i = 0; i < recovered; ++i) {
            keyBox->selectRow((i * 7919) % rows);
            window.lpKeyChange();
            memo->setPlainText(QStringLiteral("Wiederhergestellt %1").arg(i));
            window.submitActionExecute();
        }
        const QDir folder(Journal::defaultFolder());
        const QStringList journals = folder.entryList({QStringLiteral("*.journal")});
        QFile::copy(folder.filePath(journals.value(0)), folder.filePath(QStringLiteral("left.journal")));
        std::printf("%-44s %lld bytes for %d steps\n", "journal",
            (long long)QFileInfo(folder.filePath(QStringLiteral("left.journal"))).size(), recovered);
        {
            LanguagePack base;
            base.load(prompts.path);
            const QString left = folder.filePath(QStringLiteral("left.journal"));
            const double replay = timed([&] { replayJournal(base, left, false); });
            std::printf("%-44s %.2f ms\n", "replay of the journal onto the loaded pack", replay);
            const double hash = timed([&] { hashPackFile(prompts.path); });
            std::printf("%-44s %.2f ms\n", "digest of the pack file (base unchanged?)", hash);
        }
        ScriptedPrompts restoring;
        restoring.path = prompts.path;
        MainWindow second(restoring, clock, QString());
        // The same load alone first, the journal put off, for the share of
        // the replay.
        const double alone = timed([&] { second.findChild<QAction *>(QStringLiteral("loadAction"))->trigger(); });
        restoring.recovery = RecoveryAnswer::Restore;
        const double total = timed([&] { second.files().offerRecovery(); });
        std::printf("%-44s %.2f ms (%lld steps back)\n", "recovery: load and replay", total,
            (long long)second.pack().history().count());
        std::printf("%-44s %.2f ms\n", "  of which the replay (less a load alone)", total - alone);
    }
    return 0;
}
