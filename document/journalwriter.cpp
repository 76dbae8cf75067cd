#include "document/journalwriter.h"

#include <QtEndian>

#include <csignal>
#include <limits>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace Wordloom {

JournalWriter::JournalWriter(QFile &file, std::function<void(const QString &)> failed)
    : mFile(file)
    , mFailed(std::move(failed))
{
}

JournalWriter::~JournalWriter()
{
    stop();
}

void JournalWriter::append(quint64 sequence, QByteArray payload)
{
    Job job;
    job.sequence = sequence;
    job.payload = std::move(payload);
    enqueue(std::move(job), false);
}

void JournalWriter::append(quint64 sequence, JournalRecord::Kind kind, std::shared_ptr<const JournalStep> step)
{
    const bool large = step && step->lines->size() + step->keys.size() > kLargeStep;
    Job job;
    job.sequence = sequence;
    job.kind = kind;
    job.step = std::move(step);
    job.isStep = true;
    enqueue(std::move(job), large);
}

void JournalWriter::syncSoon()
{
    Job job;
    job.isSync = true;
    enqueue(std::move(job), true);
}

void JournalWriter::syncNow()
{
    std::unique_lock lock(mMutex);
    mIdle.wait(lock, [this] { return mHasFailed || mStopping || (!mBusy && mJobs.empty()); });
    if (mHasFailed || mStopping)
        return;
    mBusy = true;
    lock.unlock();
    sync();
    lock.lock();
    mBusy = false;
    mIdle.notify_all();
}

void JournalWriter::stop()
{
    {
        const std::lock_guard lock(mMutex);
        mStopping = true;
        mJobs.clear();
    }
    mWake.notify_all();
    mIdle.notify_all();
    if (mThread.joinable())
        mThread.join();
}

void JournalWriter::enqueue(Job job, bool large)
{
    std::unique_lock lock(mMutex);
    if (mHasFailed || mStopping)
        return;
    if (large || mBusy || !mJobs.empty()) {
        mJobs.push_back(std::move(job));
        if (!mThread.joinable())
            mThread = std::thread([this] { run(); });
        mWake.notify_one();
        return;
    }
    // Nothing before it: written here and now, as the caller expects.
    mBusy = true;
    lock.unlock();
    const QString error = write(job);
    lock.lock();
    mBusy = false;
    if (!error.isEmpty())
        mHasFailed = true;
    mIdle.notify_all();
    lock.unlock();
    if (!error.isEmpty())
        mFailed(error);
}

void JournalWriter::run()
{
    std::unique_lock lock(mMutex);
    for (;;) {
        mWake.wait(lock, [this] { return mStopping || !mJobs.empty(); });
        if (mStopping)
            return;
        Job job = std::move(mJobs.front());
        mJobs.pop_front();
        mBusy = true;
        lock.unlock();
        const QString error = job.isSync ? (sync(), QString()) : write(job);
        // The copied step is freed here too, not on the caller's thread.
        job = Job();
        lock.lock();
        mBusy = false;
        if (!error.isEmpty() && !mStopping) {
            mHasFailed = true;
            mJobs.clear();
            lock.unlock();
            mFailed(error);
            lock.lock();
        }
        mIdle.notify_all();
    }
}

QString JournalWriter::write(const Job &job)
{
    if (job.isSync)
        return QString();
    const qint64 size = job.isStep ? JournalCodec::stepSize(job.step.get()) : job.payload.size();
    // The frame holds a 32-bit length.
    if (size > qint64(std::numeric_limits<quint32>::max()))
        return QStringLiteral("Eine Änderung ist für das Journal zu groß");
    // A test makes the process die in the middle of this record.
    static const qint64 killAt = qEnvironmentVariableIsSet("WORDLOOM_JOURNAL_KILL_AT")
        ? qEnvironmentVariableIntValue("WORDLOOM_JOURNAL_KILL_AT")
        : -1;
    const bool kill = qint64(job.sequence) == killAt;
    const qint64 headAt = mFile.pos();
    quint32 crc = JournalCodec::checksumStart(job.sequence);
    // The first piece waits: a record of one piece goes out whole with its
    // head; a longer one streams after a head whose checksum follows.
    QByteArray first;
    bool streaming = false;
    qint64 written = 0;
    QString error;
    const auto put = [&](QByteArrayView bytes) {
        if (kill && written + bytes.size() > size / 2) {
            mFile.write(bytes.data(), size / 2 - written);
            std::raise(SIGKILL);
        }
        if (mFile.write(bytes.data(), bytes.size()) != bytes.size()) {
            error = mFile.errorString();
            return false;
        }
        written += bytes.size();
        return true;
    };
    const JournalCodec::Sink sink = [&](QByteArrayView piece) {
        {
            const std::lock_guard lock(mMutex);
            if (mStopping)
                return false;
        }
        crc = JournalCodec::checksumAdd(crc, piece);
        if (!streaming && first.isNull()) {
            first = piece.toByteArray();
            return true;
        }
        if (!streaming) {
            streaming = true;
            const QByteArray head = JournalCodec::frameHead(job.sequence, size, 0);
            if (mFile.write(head) != head.size()) {
                error = mFile.errorString();
                return false;
            }
            if (!put(first))
                return false;
            first.clear();
        }
        return put(piece);
    };
    const bool done = job.isStep ? JournalCodec::step(job.kind, job.step.get(), sink) : sink(job.payload);
    if (!done)
        return error;
    QString unequal = QStringLiteral("Eine Änderung wurde nicht vollständig aufgezeichnet");
    if (!streaming) {
        if (first.size() != size)
            return unequal;
        const QByteArray head = JournalCodec::frameHead(job.sequence, size, crc);
        if (mFile.write(head) != head.size())
            return mFile.errorString();
        return put(first) ? QString() : error;
    }
    if (written != size)
        return unequal;
    char bytes[4];
    qToLittleEndian(crc, bytes);
    const qint64 end = mFile.pos();
    if (!mFile.seek(headAt + 4) || mFile.write(bytes, 4) != 4 || !mFile.seek(end))
        return mFile.errorString();
    return QString();
}

void JournalWriter::sync()
{
#ifdef Q_OS_UNIX
    ::fdatasync(mFile.handle());
#else
    mFile.flush();
#endif
}

} // namespace Wordloom
