#include "plugins/pluginhelper.h"

#include "document/error.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>

extern char **environ;

namespace Wordloom {

using namespace HostProtocol;

QString PluginHelper::program()
{
    if (QString named = qEnvironmentVariable("WORDLOOM_PLUGHOST"); !named.isEmpty())
        return named;
    // Also without a QCoreApplication, as in the exporters' tests.
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return QFileInfo(self).dir().filePath(QStringLiteral("wordloom-plughost"));
}

PluginHelper::PluginHelper()
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        throw Error(QStringLiteral("Der Plug-in-Helfer lässt sich nicht starten"));
    const QByteArray path = QFile::encodeName(program());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The helper reads nothing from standard input, and what a plug-in
    // prints goes to standard error, never into the protocol.
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 2, 1);
    posix_spawn_file_actions_adddup2(&actions, ends[1], kHelperFd);
    char *argv[] = {const_cast<char *>(path.constData()), nullptr};
    const int failed = ::posix_spawn(&mPid, path.constData(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    if (failed != 0) {
        ::close(ends[0]);
        mPid = -1;
        throw Error(QStringLiteral("Der Plug-in-Helfer „%1“ lässt sich nicht starten").arg(program()));
    }
    mFd = ends[0];
}

PluginHelper::~PluginHelper()
{
    if (mFd >= 0) {
        // The helper ends when its end of the pair closes.
        ::close(mFd);
        mFd = -1;
    }
    reap(false);
}

bool PluginHelper::send(FrameWriter &frame)
{
    if (mFd < 0)
        return false;
    return writeAll(mFd, frame.finish());
}

std::optional<FrameReader> PluginHelper::receive(int timeoutMs, const std::atomic<bool> *cancel)
{
    QElapsedTimer clock;
    clock.start();
    while (mFd >= 0) {
        if (mInput.size() >= 5) {
            const auto header = parseHeader(mInput.constData());
            if (!header) {
                stop(End::Broken);
                break;
            }
            const qsizetype whole = 5 + qsizetype(header->second);
            if (mInput.size() >= whole) {
                FrameReader frame(header->first, mInput.mid(5, whole - 5));
                mInput.remove(0, whole);
                return frame;
            }
        }
        if (cancel && cancel->load()) {
            stop(End::Cancelled);
            break;
        }
        int wait = 100;
        if (timeoutMs >= 0) {
            const qint64 left = timeoutMs - clock.elapsed();
            if (left <= 0) {
                stop(End::TimedOut);
                break;
            }
            wait = int(std::min<qint64>(wait, left));
        }
        pollfd ready{mFd, POLLIN, 0};
        if (::poll(&ready, 1, wait) <= 0)
            continue;
        char buffer[65536];
        const ssize_t n = ::read(mFd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            stop(End::Exited);
            break;
        }
        mInput.append(buffer, n);
    }
    return std::nullopt;
}

void PluginHelper::stop(End why)
{
    mEnd = why;
    if (mFd >= 0) {
        ::close(mFd);
        mFd = -1;
    }
    // A helper that closed its end by itself is reaped as it ended.
    reap(why != End::Exited);
}

void PluginHelper::reap(bool force)
{
    if (mPid < 0)
        return;
    if (force)
        ::kill(mPid, SIGKILL);
    int status = 0;
    // A helper that ends by itself gets 2 s for it.
    for (int i = 0; ::waitpid(mPid, &status, force ? 0 : WNOHANG) == 0; ++i) {
        if (i == 200) {
            ::kill(mPid, SIGKILL);
            force = true;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (mEnd == End::Exited && WIFSIGNALED(status)) {
        mEnd = End::Crashed;
        mSignal = WTERMSIG(status);
    }
    mPid = -1;
}

} // namespace Wordloom
