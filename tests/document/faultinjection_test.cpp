#include "document/error.h"
#include "document/languagepack.h"
#include "plugins/exportrun.h"

#include "../support/testutil.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryFile>
#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Wordloom;

namespace {

const QByteArray kOld = "<languagepack name='alt'><content><key id='a'><value>alt</value></key></content></languagepack>";

// Runs the work in a forked child, so limits and signals set there stay
// there; returns what it reports, or why it did not finish.
std::string inChild(const std::function<std::string()> &work)
{
    QTemporaryFile report;
    EXPECT_TRUE(report.open());
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string text = work();
        _exit(::write(report.handle(), text.data(), text.size()) == ssize_t(text.size()) ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "child ended with status " + std::to_string(status);
    return readBytes(report.fileName()).toStdString();
}

// Saves a modified pack over the target, then exports it there; reports how
// the save failed wrongly, or else the export's message.
std::string failedSave(const QString &from, const QString &target, const std::function<void()> &before)
{
    return inChild([&] {
        LanguagePack pack;
        pack.load(from);
        pack.commit(QStringLiteral("a"), KeyEntry{QString(4000, QLatin1Char('n')), {}, {}, {}, {}});
        before();
        try {
            pack.write(target, pack.info());
            return std::string("saved");
        } catch (const Error &error) {
            const QString frame = QStringLiteral("Die Datei \"%1\" konnte nicht gespeichert werden: ").arg(target);
            if (!error.message().startsWith(frame))
                return "message: " + error.message().toStdString();
        }
        if (!pack.isModified() || pack.path() != from)
            return std::string("the pack counts as saved");
        try {
            runExport(QStringLiteral(WORDLOOM_JSON_PLUGIN), pack.data(), [&](const ExportOffer &) { return target; });
            return std::string("exported");
        } catch (const Error &error) {
            return error.message().toStdString();
        }
    });
}

} // namespace

// Each failed save or export keeps the old file byte for byte, leaves no
// temporary file, says what happened and leaves the pack unsaved.
TEST(FaultInjection, AFailedSaveOrExportKeepsTheOldFileAndTheWorkUnsaved)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("packs")), old = folder + QStringLiteral("/pack.xml");
    // Everything under the folder, temporary files included.
    const auto entries = [&] {
        QStringList all;
        for (QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
            all << QDir(folder).relativeFilePath(it.next());
        all.sort();
        return all;
    };
    const bool root = geteuid() == 0;
    const struct {
        const char *what;
        QString target, reason;
        std::function<void()> before = [] {};
    } rows[] = {
        {"disk full", old, "Schreiben fehlgeschlagen: %1 (Datei zu groß)",
            [] {
                signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{512, RLIM_INFINITY};
                setrlimit(RLIMIT_FSIZE, &limit);
            }},
        {"target is a folder", folder + QStringLiteral("/sub"), "Datei kann nicht ersetzt werden: %1 (das Ziel ist ein Ordner)"},
        {"folder is a file", old + QStringLiteral("/inner.xml"), "Datei kann nicht angelegt werden: %1 (ein Teil des Pfads ist kein Ordner)"},
        {"no such folder", folder + QStringLiteral("/none/new.xml"), "Datei kann nicht angelegt werden: %1 (Ordner nicht gefunden)"},
        // Root writes into read-only folders, but not files into /proc.
        {"no files there", root ? QStringLiteral("/proc/self/pack.xml") : folder + QStringLiteral("/sub/x/pack.xml"),
            root ? "Datei kann nicht angelegt werden: %1 (Ordner nicht gefunden)" : "Datei kann nicht angelegt werden: %1 (keine Berechtigung)",
            [&] { QFile::setPermissions(folder + QStringLiteral("/sub/x"), QFile::ReadOwner | QFile::ExeOwner); }},
        // The folder goes away while the save dialog is open.
        {"folder removed", old, "Datei kann nicht angelegt werden: %1 (Ordner nicht gefunden)", [&] { QDir(folder).removeRecursively(); }},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        QDir().mkpath(folder + QStringLiteral("/sub/x"));
        writeBytes(old, kOld);
        EXPECT_EQ(failedSave(old, row.target, row.before), "Export fehlgeschlagen: " + row.reason.arg(row.target).toStdString());
        QFile::setPermissions(folder + QStringLiteral("/sub/x"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (&row == &std::end(rows)[-1]) {
            EXPECT_FALSE(QFileInfo::exists(folder)) << "nothing made again";
            continue;
        }
        EXPECT_EQ(readBytes(old), kOld);
        EXPECT_EQ(entries(), QStringList({"pack.xml", "sub", "sub/x"}));
    }
}
