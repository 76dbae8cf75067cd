#pragma once

#include <QCryptographicHash>
#include <QIODevice>
#include <QString>

namespace Wordloom {

class Error;

// Whether both paths name one existing file (the same device and inode),
// also through symbolic or hard links.
bool isSameFile(const QString &first, const QString &second);
// The refusal of an export whose target is the pack being exported.
QString exportOntoPackRefusal(const QString &packPath);

// Writes a pack file so that a failure leaves the old file whole and a
// success keeps what the old file carried: its mode, owner, group and
// extended attributes (the ACL among them). Targets that are no regular file
// are refused. A hard-linked file, or one whose owner could not be restored,
// is written in place, with a backup copy beside it until the new content is
// verified.
class PackFile : public QIODevice {
public:
    explicit PackFile(const QString &path);
    ~PackFile() override;

    // Both throw an Error with the German message.
    void start();
    void commit();
    // Drops what was written; the old file stays (in place: is restored).
    void cancel();

    bool hasFailed() const { return mFailed; }
    Error failure() const;

    // The German reason for a system error number.
    static QString systemReason(int errorNumber);

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 length) override;

private:
    [[noreturn]] void fail(const QString &reason);
    [[noreturn]] void failSystem(int errorNumber) { fail(systemReason(errorNumber)); }
    void openReplacement();
    void openInPlace();
    void keepMetadata();
    void closeDescriptor();

    QString mPath;
    QString mTarget;
    QString mTemporary;
    QString mBackup;
    QString mReason;
    QCryptographicHash mHash{QCryptographicHash::Sha256};
    int mDescriptor = -1;
    int mOldDescriptor = -1;
    bool mInPlace = false;
    bool mFailed = false;
};

} // namespace Wordloom
