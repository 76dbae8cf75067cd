#include "document/error.h"
#include "document/languagepack.h"

#include "../support/testutil.h"

#include <QDir>
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
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return "no pipe";
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeEnds[0]);
        const std::string report = work();
        ssize_t ignored = write(pipeEnds[1], report.data(), report.size());
        (void)ignored;
        _exit(0);
    }
    close(pipeEnds[1]);
    std::string report;
    char buffer[512];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, size_t(n));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "child ended with status " + std::to_string(status);
    return report;
}

// Saves a modified pack over the old one and reports how that failed.
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
        return std::string("ok");
    });
}

struct FaultInjection : ::testing::Test {
    void SetUp() override
    {
        folder = dir.filePath(QStringLiteral("packs"));
        QDir().mkpath(folder);
        old = folder + QStringLiteral("/pack.xml");
        writeBytes(old, kOld);
        QDir().mkpath(folder + QStringLiteral("/sub/x"));
    }
    QStringList entries() const { return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }

    QTemporaryDir dir;
    QString folder, old;
};

} // namespace

// Each failed save keeps the old file byte for byte, leaves no temporary
// file, says what happened and leaves the pack unsaved.
TEST_F(FaultInjection, AFailedSaveKeepsTheOldFileAndTheWorkUnsaved)
{
    const struct {
        const char *what;
        QString target;
        std::function<void()> before;
    } rows[] = {
        {"disk full", old,
            [] {
                signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{512, RLIM_INFINITY};
                setrlimit(RLIMIT_FSIZE, &limit);
            }},
        {"target is a folder", folder + QStringLiteral("/sub"), [] {}},
        {"folder is a file", folder + QStringLiteral("/pack.xml/inner.xml"), [] {}},
        {"no files under /proc", QStringLiteral("/proc/self/pack.xml"), [] {}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(failedSave(old, row.target, row.before), "ok");
        EXPECT_EQ(readBytes(old), kOld);
        EXPECT_EQ(entries(), QStringList({"pack.xml", "sub"}));
        EXPECT_EQ(QDir(folder + QStringLiteral("/sub")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{"x"});
    }
}

TEST_F(FaultInjection, TheFolderRemovedBeforeTheSave)
{
    EXPECT_EQ(failedSave(old, old, [this] { QDir(folder).removeRecursively(); }), "ok");
    EXPECT_FALSE(QFileInfo::exists(folder));
}
