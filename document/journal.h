#pragma once

#include "document/journalcodec.h"
#include "document/journalwriter.h"

#include <QFile>
#include <QLockFile>
#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

namespace Wordloom {

class LanguagePack;
class PackStep;

// Follows a pack's history into a journal file while the pack has unsaved
// steps, so that a session that dies can be replayed at the next start.
// Each step pushed, undone or redone is one record, written at once (a step
// of many changes right after, on a writing thread) and made durable within
// a second; a save starts afresh, reaching the saved state
// again or an orderly end removes the file. A lock file beside the journal
// tells other processes that its owner still runs.
class Journal : public QObject {
    Q_OBJECT
public:
    explicit Journal(LanguagePack &pack, const QString &folder = defaultFolder(), QObject *parent = nullptr);
    ~Journal() override;

    // $XDG_STATE_HOME/wordloom/recovery, else ~/.local/state/wordloom/recovery.
    static QString defaultFolder();
    const QString &folder() const { return mFolder; }
    // The file being written, or empty.
    QString filePath() const { return mFile ? mFile->fileName() : QString(); }

    // Makes everything written durable now.
    void sync();
    // An earlier journal whose steps were taken over but not all applied; it
    // goes with the next new base (a save, a load, a close).
    void keepUntilBase(const QString &path, std::unique_ptr<QLockFile> lock)
    {
        mKeptPath = path;
        mKeptLock = std::move(lock);
    }

signals:
    // Once: changes are not being recorded, and why.
    void failed(const QString &message);

private:
    void newBase();
    void record(JournalRecord::Kind kind, const PackStep &step);
    bool open();
    void append(const QByteArray &payload);
    void remove();
    void fail(const QString &reason);
    void takeBaseHash(const QByteArray &hash);

    LanguagePack &mPack;
    QString mFolder;
    std::unique_ptr<QFile> mFile;
    std::unique_ptr<JournalWriter> mWriter;
    // Tells the files apart, so a late failure of an old one is dropped.
    quint64 mFileSerial = 0;
    std::unique_ptr<QLockFile> mLock;
    JournalHeader mBase;
    QByteArray mBaseHash;
    // Tells the bases apart, so a late hash of an old one is dropped.
    quint64 mBaseSerial = 0;
    quint64 mSequence = 0;
    // The steps a replay of the journal would have on its history, by serial
    // (0 for a step the replay makes anew), and how many are done.
    std::vector<quint64> mReplayed;
    size_t mReplayedDone = 0;
    QTimer mSyncTimer;
    bool mFailed = false;
    bool mToldFailure = false;
    QString mKeptPath;
    std::unique_ptr<QLockFile> mKeptLock;
};

// The base hash of a pack file: a digest of its bytes.
QByteArray hashPackFile(const QString &path);

} // namespace Wordloom
