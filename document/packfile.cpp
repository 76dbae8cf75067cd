#include "document/packfile.h"

#include "document/error.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace Wordloom {

namespace {

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("ein Ordner");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("ein Gerät");
    if (S_ISFIFO(mode))
        return QStringLiteral("eine benannte Pipe (FIFO)");
    if (S_ISSOCK(mode))
        return QStringLiteral("ein Socket");
    return QStringLiteral("keine gewöhnliche Datei");
}

// Writes all of it; returns 0 or the error number.
int writeAll(int descriptor, const char *data, qint64 length)
{
    while (length > 0) {
        const ssize_t written = ::write(descriptor, data, size_t(length));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += written;
        length -= written;
    }
    return 0;
}

// Copies one open file's content onto another from the start; returns 0 or
// the error number.
int copyContent(int from, int to)
{
    std::vector<char> buffer(1 << 16);
    off_t offset = 0;
    for (;;) {
        const ssize_t got = ::pread(from, buffer.data(), buffer.size(), offset);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            return ::fsync(to) == 0 ? 0 : errno;
        if (const int error = writeAll(to, buffer.data(), got))
            return error;
        offset += got;
    }
}

// Namespaces an ordinary process may not be able to set; losing them is
// not the user's data.
bool isPrivileged(const char *name)
{
    return std::strncmp(name, "trusted.", 8) == 0 || std::strncmp(name, "security.", 9) == 0;
}

} // namespace

PackFile::PackFile(const QString &path) : mPath(path) {}

PackFile::~PackFile()
{
    if (mDescriptor >= 0 || !mTemporary.isEmpty())
        cancel();
    if (mOldDescriptor >= 0)
        ::close(mOldDescriptor);
}

QString PackFile::systemReason(int errorNumber)
{
    switch (errorNumber) {
    case EACCES:
    case EPERM: return QStringLiteral("Zugriff verweigert");
    case ENOSPC:
    case EDQUOT: return QStringLiteral("Auf dem Datenträger ist kein Platz mehr frei");
    case EFBIG: return QStringLiteral("Die Datei würde zu groß");
    case ENAMETOOLONG: return QStringLiteral("Der Dateiname ist zu lang");
    case EROFS: return QStringLiteral("Das Dateisystem ist schreibgeschützt");
    case ENOTDIR: return QStringLiteral("Ein Teil des Pfads ist kein Ordner");
    case ENOENT: return QStringLiteral("Der Ordner existiert nicht");
    case EISDIR: return QStringLiteral("Das Ziel ist ein Ordner");
    case ELOOP: return QStringLiteral("Der Pfad enthält eine Verknüpfung, die im Kreis führt");
    case EIO: return QStringLiteral("Ein-/Ausgabefehler");
    default:
        return QStringLiteral("Systemfehler %1 (%2)")
            .arg(errorNumber)
            .arg(QString::fromLocal8Bit(std::strerror(errorNumber)));
    }
}

Error PackFile::failure() const
{
    QString message = QStringLiteral("Die Datei \"%1\" konnte nicht gespeichert werden: %2")
                          .arg(QDir::toNativeSeparators(mPath), mReason);
    if (!mBackup.isEmpty())
        message += QStringLiteral(". Der alte Inhalt liegt in \"%1\".").arg(QDir::toNativeSeparators(mBackup));
    return Error(message);
}

void PackFile::fail(const QString &reason)
{
    mFailed = true;
    mReason = reason;
    // In place the target may be cut short: the backup stays for the user.
    closeDescriptor();
    if (!mTemporary.isEmpty()) {
        ::unlink(encoded(mTemporary).constData());
        mTemporary.clear();
    }
    if (isOpen())
        QIODevice::close();
    throw failure();
}

void PackFile::closeDescriptor()
{
    if (mDescriptor >= 0)
        ::close(mDescriptor);
    mDescriptor = -1;
}

void PackFile::start()
{
    struct stat status {};
    mTarget = mPath;
    if (::lstat(encoded(mPath).constData(), &status) != 0) {
        if (errno != ENOENT)
            failSystem(errno);
        openReplacement();
        QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        return;
    }
    if (S_ISLNK(status.st_mode)) {
        char resolved[PATH_MAX];
        if (!::realpath(encoded(mPath).constData(), resolved)) {
            if (errno == ELOOP)
                fail(QStringLiteral("Die Verknüpfung führt im Kreis"));
            if (errno == ENOENT)
                fail(QStringLiteral("Die Verknüpfung zeigt auf keine vorhandene Datei"));
            failSystem(errno);
        }
        mTarget = QFile::decodeName(resolved);
    }
    mOldDescriptor = ::open(encoded(mTarget).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    const int openError = mOldDescriptor < 0 ? errno : 0;
    if (mOldDescriptor >= 0 ? ::fstat(mOldDescriptor, &status) != 0
                            : ::stat(encoded(mTarget).constData(), &status) != 0)
        failSystem(errno);
    if (!S_ISREG(status.st_mode))
        fail(QStringLiteral("Das Ziel ist %1, keine gewöhnliche Datei").arg(kindOf(status.st_mode)));
    if (mOldDescriptor < 0)
        failSystem(openError);
    // Renaming a new file into place would split hard links or give away
    // an owner that only root can give back.
    mInPlace = status.st_nlink > 1 || (::geteuid() != 0 && status.st_uid != ::geteuid());
    if (mInPlace)
        openInPlace();
    else
        openReplacement();
    QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

void PackFile::openReplacement()
{
    const QFileInfo target(mTarget);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = QStringLiteral("%1/%2.%3")
                                 .arg(target.absolutePath(), target.fileName())
                                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        mDescriptor = ::open(encoded(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (mDescriptor >= 0) {
            mTemporary = name;
            return;
        }
        if (errno != EEXIST)
            failSystem(errno);
    }
    failSystem(EEXIST);
}

void PackFile::openInPlace()
{
    mDescriptor = ::open(encoded(mTarget).constData(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (mDescriptor < 0)
        failSystem(errno);
    int backup = -1;
    for (int attempt = 0; attempt < 100 && backup < 0; ++attempt) {
        const QString name
            = attempt == 0 ? mTarget + QLatin1Char('~') : QStringLiteral("%1~%2").arg(mTarget).arg(attempt);
        backup = ::open(encoded(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (backup >= 0)
            mBackup = name;
        else if (errno != EEXIST)
            failSystem(errno);
    }
    if (backup < 0)
        failSystem(EEXIST);
    const int error = copyContent(mOldDescriptor, backup);
    ::close(backup);
    if (error) {
        ::unlink(encoded(mBackup).constData());
        mBackup.clear();
        failSystem(error);
    }
    if (::ftruncate(mDescriptor, 0) != 0)
        failSystem(errno);
}

qint64 PackFile::writeData(const char *data, qint64 length)
{
    if (mFailed || mDescriptor < 0)
        return -1;
    if (const int error = writeAll(mDescriptor, data, length)) {
        mFailed = true;
        mReason = systemReason(error);
        setErrorString(mReason);
        return -1;
    }
    // Only a file written in place is read back and compared.
    if (mInPlace)
        mHash.addData(QByteArrayView(data, length));
    return length;
}

void PackFile::keepMetadata()
{
    struct stat status {};
    if (::fstat(mOldDescriptor, &status) != 0)
        failSystem(errno);
    // Owner first: changing it clears the set-id bits that the mode restores.
    if (::fchown(mDescriptor, status.st_uid, status.st_gid) != 0)
        (void)::fchown(mDescriptor, uid_t(-1), status.st_gid);
    ssize_t size = ::flistxattr(mOldDescriptor, nullptr, 0);
    if (size < 0 && errno != ENOTSUP)
        failSystem(errno);
    std::vector<char> names(size_t(std::max<ssize_t>(size, 0)));
    if (size > 0 && (size = ::flistxattr(mOldDescriptor, names.data(), names.size())) < 0)
        failSystem(errno);
    std::vector<char> value;
    for (ssize_t at = 0; at < size; at += ssize_t(std::strlen(names.data() + at)) + 1) {
        const char *name = names.data() + at;
        const ssize_t length = ::fgetxattr(mOldDescriptor, name, nullptr, 0);
        value.resize(size_t(std::max<ssize_t>(length, 0)));
        const ssize_t got = length > 0 ? ::fgetxattr(mOldDescriptor, name, value.data(), value.size()) : length;
        if (got < 0 || ::fsetxattr(mDescriptor, name, value.data(), size_t(got), 0) != 0) {
            if (errno == ENOTSUP || (errno == EPERM && isPrivileged(name)))
                continue;
            fail(QStringLiteral("Das erweiterte Attribut \"%1\" konnte nicht übernommen werden: %2")
                     .arg(QString::fromUtf8(name), systemReason(errno)));
        }
    }
    // The mode last, after the access list that also carries it.
    if (::fchmod(mDescriptor, status.st_mode & 07777) != 0)
        failSystem(errno);
}

void PackFile::commit()
{
    if (mFailed)
        fail(mReason);
    if (::fsync(mDescriptor) != 0)
        failSystem(errno);
    if (mInPlace) {
        // Read back what the file now holds before the backup goes.
        QCryptographicHash check(QCryptographicHash::Sha256);
        std::vector<char> buffer(1 << 16);
        off_t offset = 0;
        for (ssize_t got; (got = ::pread(mOldDescriptor, buffer.data(), buffer.size(), offset)) != 0; offset += got) {
            if (got < 0)
                failSystem(errno);
            check.addData(QByteArrayView(buffer.data(), got));
        }
        if (check.result() != mHash.result())
            fail(QStringLiteral("Der gelesene Inhalt stimmt nicht mit dem geschriebenen überein"));
        closeDescriptor();
        ::unlink(encoded(mBackup).constData());
        mBackup.clear();
    } else {
        if (mOldDescriptor >= 0)
            keepMetadata();
        if (::rename(encoded(mTemporary).constData(), encoded(mTarget).constData()) != 0)
            failSystem(errno);
        mTemporary.clear();
        closeDescriptor();
    }
    QIODevice::close();
}

void PackFile::cancel()
{
    if (mInPlace && !mFailed && !mBackup.isEmpty() && mDescriptor >= 0) {
        // Nothing went wrong with the file: it gets its old content back.
        const int backup = ::open(encoded(mBackup).constData(), O_RDONLY | O_CLOEXEC);
        if (backup >= 0 && ::ftruncate(mDescriptor, 0) == 0 && ::lseek(mDescriptor, 0, SEEK_SET) == 0
            && copyContent(backup, mDescriptor) == 0) {
            ::unlink(encoded(mBackup).constData());
            mBackup.clear();
        }
        if (backup >= 0)
            ::close(backup);
    }
    closeDescriptor();
    if (!mTemporary.isEmpty()) {
        ::unlink(encoded(mTemporary).constData());
        mTemporary.clear();
    }
    if (isOpen())
        QIODevice::close();
}

bool isSameFile(const QString &first, const QString &second)
{
    struct stat a = {};
    struct stat b = {};
    return ::stat(QFile::encodeName(first).constData(), &a) == 0
        && ::stat(QFile::encodeName(second).constData(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

QString exportOntoPackRefusal(const QString &packPath)
{
    return QStringLiteral(
        "Der Export würde das Languagepack \"%1\" selbst überschreiben; bitte eine andere Datei wählen.")
        .arg(QDir::toNativeSeparators(packPath));
}

} // namespace Wordloom
