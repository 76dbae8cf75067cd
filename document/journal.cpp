#include "document/journal.h"

#include "document/languagepack.h"
#include "document/packstep.h"
#include "document/workerpool.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QSysInfo>
#include <QUuid>

namespace Wordloom {

using Kind = JournalRecord::Kind;

QByteArray hashPackFile(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return QByteArray();
    return hash.result();
}

Journal::Journal(LanguagePack &pack, const QString &folder, QObject *parent)
    : QObject(parent)
    , mPack(pack)
    , mFolder(folder)
{
    mSyncTimer.setSingleShot(true);
    // Made durable on the writing thread, so the window never waits for it.
    connect(&mSyncTimer, &QTimer::timeout, this, [this] {
        if (mWriter)
            mWriter->syncSoon();
    });
    connect(&mPack, &LanguagePack::stepDone, this, [this](const PackStep &step) { record(Kind::Push, step); });
    connect(&mPack, &LanguagePack::stepUndone, this, [this](const PackStep &step) { record(Kind::Undo, step); });
    connect(&mPack, &LanguagePack::stepRedone, this, [this](const PackStep &step) { record(Kind::Redo, step); });
    connect(&mPack, &LanguagePack::historyReset, this, &Journal::newBase);
    connect(&mPack, &LanguagePack::written, this, &Journal::newBase);
    newBase();
}

Journal::~Journal()
{
    // An orderly end: nothing needs recovering.
    remove();
}

QString Journal::defaultFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/wordloom/recovery");
}

void Journal::newBase()
{
    ++mBaseSerial;
    remove();
    if (!mKeptPath.isEmpty()) {
        QFile::remove(mKeptPath);
        mKeptLock.reset();
        mKeptPath.clear();
    }
    mReplayed.clear();
    mReplayedDone = 0;
    mFailed = false;
    mBase = JournalHeader();
    mBaseHash.clear();
    mBase.packPath = mPack.path();
    if (mBase.packPath.isEmpty()) {
        mBase.info = mPack.info();
        return;
    }
    const QFileInfo file(mBase.packPath);
    mBase.size = file.size();
    mBase.modified = file.lastModified().toMSecsSinceEpoch();
    // The digest of a large pack takes a while; it follows in a record of
    // its own when the journal began before it was ready.
    workerPool().start([journal = QPointer<Journal>(this), base = mBaseSerial, path = mBase.packPath] {
        const QByteArray hash = hashPackFile(path);
        QMetaObject::invokeMethod(QCoreApplication::instance(), [journal, base, hash] {
            // A hash of an earlier base is of no use.
            if (journal && journal->mBaseSerial == base)
                journal->takeBaseHash(hash);
        });
    });
}

void Journal::takeBaseHash(const QByteArray &hash)
{
    mBaseHash = hash;
    if (mFile && !mFailed)
        append(JournalCodec::baseHash(mBaseHash));
}

void Journal::record(Kind kind, const PackStep &step)
{
    if (mPack.state() != LanguagePack::State::Open)
        return;
    // Back at the saved state there is nothing to recover.
    if (!mPack.isModified()) {
        remove();
        mReplayed.clear();
        mReplayedDone = 0;
        return;
    }
    // A replay undoes and redoes the steps it made itself; any other step
    // is carried along and made anew.
    const quint64 serial = step.serial();
    const PackStep *carried = &step;
    if (kind == Kind::Undo && mReplayedDone > 0 && mReplayed[mReplayedDone - 1] == serial) {
        --mReplayedDone;
        carried = nullptr;
    } else if (kind == Kind::Redo && mReplayedDone < mReplayed.size() && mReplayed[mReplayedDone] == serial) {
        ++mReplayedDone;
        carried = nullptr;
    } else {
        if (kind != Kind::Push)
            kind = kind == Kind::Undo ? Kind::UndoStep : Kind::RedoStep;
        mReplayed.resize(mReplayedDone);
        mReplayed.push_back(kind == Kind::Push ? serial : 0);
        ++mReplayedDone;
    }
    if (mFailed || (!mFile && !open()))
        return;
    // The step is copied (its texts shared) for the writer, as the history
    // may change or drop it while a large record is still being written.
    mWriter->append(mSequence++, kind,
        carried ? std::make_shared<const JournalStep>(JournalCodec::copy(*carried)) : nullptr);
    if (!mSyncTimer.isActive())
        mSyncTimer.start(1000);
}

bool Journal::open()
{
    if (!QDir().mkpath(mFolder)) {
        fail(QStringLiteral("Der Ordner „%1“ kann nicht angelegt werden").arg(QDir::toNativeSeparators(mFolder)));
        return false;
    }
    QFile::setPermissions(mFolder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString path
        = mFolder + QLatin1Char('/') + QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".journal");
    auto lock = std::make_unique<QLockFile>(path + QStringLiteral(".lock"));
    lock->setStaleLockTime(0);
    auto file = std::make_unique<QFile>(path);
    if (!lock->tryLock(0)
        || !file->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered,
            QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        fail(QStringLiteral("„%1“ kann nicht geschrieben werden").arg(QDir::toNativeSeparators(path)));
        return false;
    }
    mLock = std::move(lock);
    mFile = std::move(file);
    mSequence = 0;
    mBase.pid = QCoreApplication::applicationPid();
    mBase.host = QSysInfo::machineHostName();
    mBase.started = QDateTime::currentDateTime();
    if (mFile->write(JournalCodec::kMagic) != JournalCodec::kMagic.size()) {
        fail(mFile->errorString());
        return false;
    }
    // A failure on the writing thread is handled here, unless the file is
    // gone by then.
    mWriter = std::make_unique<JournalWriter>(*mFile, [this, serial = ++mFileSerial](const QString &reason) {
        QMetaObject::invokeMethod(
            this,
            [this, serial, reason] {
                if (serial == mFileSerial && mFile)
                    fail(reason);
            },
            Qt::QueuedConnection);
    });
    append(JournalCodec::header(mBase));
    if (!mBaseHash.isEmpty())
        append(JournalCodec::baseHash(mBaseHash));
    return mFile != nullptr;
}

void Journal::append(const QByteArray &payload)
{
    mWriter->append(mSequence++, payload);
    if (!mSyncTimer.isActive())
        mSyncTimer.start(1000);
}

void Journal::sync()
{
    mSyncTimer.stop();
    if (mWriter)
        mWriter->syncNow();
}

void Journal::remove()
{
    mSyncTimer.stop();
    // Records still waiting are of no use any more.
    mWriter.reset();
    if (mFile) {
        // Removed while still open, the name goes at once; the close then
        // frees the blocks of a large journal, which takes a while and is
        // left to the background. Where an open file cannot be removed, it
        // is closed first.
        if (QFile::remove(mFile->fileName())) {
            mFile->moveToThread(nullptr);
            workerPool().start([file = std::shared_ptr<QFile>(std::move(mFile))] { file->close(); });
        } else {
            mFile->close();
            QFile::remove(mFile->fileName());
        }
        mFile.reset();
    }
    mLock.reset();
}

void Journal::fail(const QString &reason)
{
    remove();
    mFailed = true;
    if (std::exchange(mToldFailure, true))
        return;
    emit failed(QStringLiteral("Änderungen werden nicht aufgezeichnet: %1").arg(reason));
}

} // namespace Wordloom
