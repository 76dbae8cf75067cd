#include "document/keyintake.h"

#include "document/keytextcodec.h"
#include "document/packformat.h"

#include <algorithm>
#include <cstring>
#include <system_error>

namespace Wordloom {

namespace {

// Option values are nearly always "1" or "0"; share one copy of each.
QString internOption(QByteArrayView value)
{
    static const QString one = QStringLiteral("1");
    static const QString zero = QStringLiteral("0");
    if (value == "1")
        return one;
    if (value == "0")
        return zero;
    return textFromUtf8(value);
}

} // namespace

KeyIntake::KeyIntake(KeyData &data, std::vector<QString> &keys, qint64 fileSize, Split split)
    : mData(data)
    , mKeys(keys)
    , mBatches(std::clamp(size_t(std::max<qint64>(fileSize, 0) / kBytesPerBatch), kMinBatches, kMaxBatches))
{
    // A thread of its own rather than one of the pool: a process forked
    // while the pool had threads would wait for one that is not there.
    if (split != Split::Alone && std::thread::hardware_concurrency() > 1) {
        // Set before the thread may end, which it does only once told.
        mRunning = true;
        try {
            mThread = std::thread([this] { run(); });
            mAside = true;
            mReaderDecodes = split == Split::Reader;
            mBatches.front().decoded = mReaderDecodes;
        } catch (const std::system_error &) {
            mRunning = false;
        }
    }
}

KeyIntake::~KeyIntake()
{
    std::unique_lock lock(mMutex);
    mEnd = true;
    mDrop = true;
    mChanged.notify_all();
    mChanged.wait(lock, [this] { return !mRunning; });
    lock.unlock();
    if (mThread.joinable())
        mThread.join();
}

void KeyIntake::add(QByteArrayView id, const std::optional<QByteArrayView> (&options)[3], bool hasTexts,
    QByteArrayView value, QByteArrayView comment)
{
    Batch &batch = mBatches[mHanded % mBatches.size()];
    Batch::Key key{batch.bytes.size(), {}};
    const auto put = [&](int field, std::optional<QByteArrayView> bytes) {
        key.sizes[field] = bytes ? qint32(bytes->size()) : -1;
        if (bytes && !bytes->isEmpty())
            batch.bytes.insert(batch.bytes.end(), bytes->data(), bytes->data() + bytes->size());
    };
    put(0, id);
    for (int i = 0; i < 3; ++i)
        put(1 + i, options[i]);
    if (batch.decoded) {
        key.sizes[4] = hasTexts ? qint32(value.size()) : -1;
        if (hasTexts) {
            batch.values.push_back(decodeKeyText(value, true));
            batch.valueBytes += size_t(value.size());
        }
    } else {
        put(4, hasTexts ? std::optional(value) : std::nullopt);
    }
    put(5, hasTexts ? std::optional(comment) : std::nullopt);
    batch.keys.push_back(key);
    if (batch.bytes.size() + batch.valueBytes >= kBatchBytes)
        hand();
}

void KeyIntake::hand()
{
    Batch &batch = mBatches[mHanded % mBatches.size()];
    if (!mAside) {
        file(batch);
        batch.clear();
        return;
    }
    std::unique_lock lock(mMutex);
    ++mHanded;
    mChanged.notify_all();
    // The next batch to fill is free once the thread has filed it.
    mChanged.wait(lock, [this] { return mHanded - mFiled < mBatches.size() || mFailure; });
    if (mFailure)
        std::rethrow_exception(mFailure);
    // More than one batch waiting: the filing falls behind, so this thread
    // takes on some of its work.
    mBatches[mHanded % mBatches.size()].decoded = mReaderDecodes || mHanded - mFiled > 1;
}

void KeyIntake::finish()
{
    hand();
    if (!mAside)
        return;
    std::unique_lock lock(mMutex);
    mEnd = true;
    mChanged.notify_all();
    mChanged.wait(lock, [this] { return !mRunning; });
    lock.unlock();
    mThread.join();
    if (mFailure)
        std::rethrow_exception(mFailure);
}

void KeyIntake::run()
{
    std::unique_lock lock(mMutex);
    for (;;) {
        mChanged.wait(lock, [this] { return mFiled < mHanded || mEnd; });
        if (mDrop || mFiled == mHanded)
            break;
        Batch &batch = mBatches[mFiled % mBatches.size()];
        lock.unlock();
        try {
            file(batch);
        } catch (...) {
            lock.lock();
            mFailure = std::current_exception();
            break;
        }
        batch.clear();
        lock.lock();
        ++mFiled;
        mChanged.notify_all();
    }
    mRunning = false;
    mChanged.notify_all();
}

void KeyIntake::file(Batch &batch)
{
    Hashlist *const lists[] = {&mData.hashlistHTML, &mData.hashlistBreaks, &mData.hashlistLinebreaks,
        &mData.hashlistKeys, &mData.hashlistComments};
    auto value = batch.values.begin();
    for (const Batch::Key &key : batch.keys) {
        const char *at = batch.bytes.data() + key.start;
        QByteArrayView fields[6];
        for (int f = 0; f < 6; ++f) {
            if (f == 4 && batch.decoded)
                continue;
            fields[f] = QByteArrayView(at, std::max(key.sizes[f], 0));
            at += fields[f].size();
        }
        const QString id = decodeKeyTextUtf8(fields[0]);
        if (id.isEmpty()) {
            value += batch.decoded && key.sizes[4] >= 0 ? 1 : 0;
            continue;
        }
        const size_t hash = nameHash(id);
        for (const Hashlist *list : lists)
            list->prefetch(hash);
        for (int i = 0; i < 3; ++i)
            if (key.sizes[1 + i] >= 0)
                lists[i]->setValue(id, internOption(fields[1 + i]), hash);
        if (key.sizes[4] < 0)
            continue;
        const QString translation = batch.decoded ? *value++ : decodeKeyText(fields[4], true);
        mTranslated += translation.isEmpty() ? 0 : 1;
        mData.hashlistKeys.setValue(id, translation, hash);
        mData.hashlistComments.setValue(id, decodeKeyText(fields[5], true), hash);
        mKeys.push_back(id);
    }
}

} // namespace Wordloom
