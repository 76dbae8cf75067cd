#pragma once

#include "plugins/hostprotocol.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <optional>
#include <sys/types.h>

namespace Wordloom {

// One run of the plug-in helper, wordloom-plughost, seen from the editor:
// frames go out and come back over a socket pair; the helper is ended and
// reaped when the object goes.
class PluginHelper {
public:
    // Starts the helper; throws Error when it cannot be started.
    PluginHelper();
    ~PluginHelper();
    PluginHelper(const PluginHelper &) = delete;
    PluginHelper &operator=(const PluginHelper &) = delete;

    // The helper program beside the running executable (the build tree and
    // lib/wordloom/ alike); WORDLOOM_PLUGHOST names another.
    static QString program();

    // False when the helper is gone.
    bool send(HostProtocol::FrameWriter &frame);
    // The next frame; nothing when the helper ended or broke the protocol,
    // when timeoutMs passed (-1: no limit) or when cancel was set. The helper
    // is then ended and why() tells what happened.
    std::optional<HostProtocol::FrameReader> receive(int timeoutMs, const std::atomic<bool> *cancel = nullptr);

    enum class End { Running, TimedOut, Cancelled, Exited, Crashed, Broken };
    End end() const { return mEnd; }
    int signal() const { return mSignal; }

private:
    void stop(End why);
    void reap(bool force);

    pid_t mPid = -1;
    int mFd = -1;
    QByteArray mInput;
    End mEnd = End::Running;
    int mSignal = 0;
};

} // namespace Wordloom
