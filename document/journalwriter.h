#pragma once

#include "document/journalcodec.h"

#include <QFile>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace Wordloom {

// Writes a journal's records in order behind the window's back: a record
// with nothing waiting before it and few changes is written at once, on the
// caller's thread; a step of many changes is encoded, checksummed and
// written piece by piece on a thread of its own, so the window goes on.
// A record cut off by a crash is ignored on recovery like any cut record.
class JournalWriter {
public:
    // failed is told once, on either thread, why writing stopped.
    JournalWriter(QFile &file, std::function<void(const QString &)> failed);
    // Drops the records not written yet; see stop().
    ~JournalWriter();

    void append(quint64 sequence, QByteArray payload);
    void append(quint64 sequence, JournalRecord::Kind kind, std::shared_ptr<const JournalStep> step);
    // Makes the records written durable: soon on the writing thread, or now,
    // once the records before are written.
    void syncSoon();
    void syncNow();
    // Drops the records not written yet and waits for the one being written,
    // which stops at its next piece.
    void stop();

    // A step with more changes than this goes to the writing thread.
    static constexpr size_t kLargeStep = 2000;

private:
    struct Job {
        quint64 sequence = 0;
        JournalRecord::Kind kind = JournalRecord::Kind::Push;
        QByteArray payload;
        std::shared_ptr<const JournalStep> step;
        bool isStep = false;
        bool isSync = false;
    };
    void enqueue(Job job, bool large);
    void run();
    // Writes one record; the reason when it fails.
    QString write(const Job &job);
    void sync();

    QFile &mFile;
    std::function<void(const QString &)> mFailed;
    std::mutex mMutex;
    std::condition_variable mWake;
    std::condition_variable mIdle;
    std::deque<Job> mJobs;
    bool mBusy = false;
    bool mStopping = false;
    bool mHasFailed = false;
    std::thread mThread;
};

} // namespace Wordloom
