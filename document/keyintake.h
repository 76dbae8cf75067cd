#pragma once

#include <QByteArrayView>
#include <QString>

#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace Wordloom {

struct KeyData;

// Files the keys of a pack into its lists as the parser reads them: each
// key's bytes are decoded and filed on a second thread, in file order, while
// the parser reads on; while that thread falls behind, the parser's decodes
// the translations. On a single processor, or when told so, the caller's
// thread files them in batches.
class KeyIntake {
public:
    // Who does the work: Shared has the second thread file the keys and
    // the caller's thread decode translations while the filing falls
    // behind; Reader has the caller decode every translation; Alone files
    // everything on the caller's thread.
    enum class Split { Shared, Reader, Alone };
    // fileSize sets how many batches may wait: a large file has room for
    // more, so the thread falling behind for a while holds up no one.
    KeyIntake(KeyData &data, std::vector<QString> &keys, qint64 fileSize = 0, Split split = Split::Shared);
    // Waits for the second thread; what is not filed yet is dropped.
    ~KeyIntake();
    KeyIntake(const KeyIntake &) = delete;
    KeyIntake &operator=(const KeyIntake &) = delete;

    // A key by its stored bytes: the name (not empty), the three options
    // (nullopt where absent), and the two texts when the key has children.
    void add(QByteArrayView id, const std::optional<QByteArrayView> (&options)[3], bool hasTexts, QByteArrayView value,
        QByteArrayView comment);
    // Files the keys left and waits for them; throws what filing threw.
    void finish();
    // How many keys filed had a translation, after finish(); the rows of
    // the pack with one when no two keys share an entry.
    qsizetype translated() const { return mTranslated; }

    // A batch is handed on at this size. A file may keep a batch waiting
    // for every kBytesPerBatch of its size, within the two bounds.
    static constexpr size_t kBatchBytes = 1 << 16;
    static constexpr size_t kMinBatches = 4;
    static constexpr size_t kMaxBatches = 64;
    static constexpr qint64 kBytesPerBatch = 1 << 23;

private:
    struct Batch {
        std::vector<char> bytes;
        // Whether the reading thread decodes the translations, most of a
        // pack's text, while the filing falls behind: then values holds
        // them and the bytes do not.
        bool decoded = false;
        std::vector<QString> values;
        size_t valueBytes = 0;
        // Per key: where its bytes start and the sizes of its six fields,
        // -1 for an absent option or texts.
        struct Key {
            size_t start;
            qint32 sizes[6];
        };
        std::vector<Key> keys;
        void clear()
        {
            bytes.clear();
            values.clear();
            valueBytes = 0;
            decoded = false;
            keys.clear();
        }
    };

    void file(Batch &batch);
    void hand();
    void run();

    KeyData &mData;
    std::vector<QString> &mKeys;
    qsizetype mTranslated = 0;
    // A ring: the batch being filled is mHanded's, the filed ones before.
    std::vector<Batch> mBatches;
    // Whether the second thread was started.
    bool mAside = false;
    bool mReaderDecodes = false;
    std::thread mThread;
    // Guarded by mMutex: how many batches were handed and filed, whether
    // the thread runs, whether no more come, and what it threw.
    std::mutex mMutex;
    std::condition_variable mChanged;
    size_t mHanded = 0;
    size_t mFiled = 0;
    bool mRunning = false;
    bool mEnd = false;
    bool mDrop = false;
    std::exception_ptr mFailure;
};

} // namespace Wordloom
