#include "document/error.h"
#include "document/languagepack.h"

#include "../support/testutil.h"

#include <QDir>
#include <QFileInfo>
#include <cstring>
#include <iostream>
#include <functional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace Wordloom {
namespace {

const QByteArray kOld = "<alt/>\n";

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void plant(const QString &path, const QByteArray &content = kOld)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

struct stat statusOf(const QString &path)
{
    struct stat status {};
    const QByteArray name = QFile::encodeName(path);
    EXPECT_EQ(::lstat(name, &status), 0) << name.constData();
    return status;
}

struct Target {
    const char *name;
    // Makes the target in the folder and returns its path, or an empty path
    // when this machine cannot make it.
    std::function<QString(const QDir &)> make;
    // Refused: the message names the reason, and nothing was written.
    const char *refusal;
    // Checks the target afterwards; `saved` is what a plain save writes.
    std::function<void(const QDir &, const QByteArray &saved)> check;
    // What the folder holds afterwards.
    QStringList files;
};

bool isRoot() { return ::geteuid() == 0; }

const Target kTargets[] = {
    {"device",
        [](const QDir &dir) {
            const QString path = dir.filePath(QStringLiteral("null"));
            return ::mknod(QFile::encodeName(path), S_IFCHR | 0666, makedev(1, 3)) == 0 ? path : QString();
        },
        "ein Gerät", [](const QDir &dir, const QByteArray &) { EXPECT_TRUE(S_ISCHR(statusOf(dir.filePath("null")).st_mode)); },
        {"null"}},
    {"FIFO",
        [](const QDir &dir) {
            const QString path = dir.filePath(QStringLiteral("fifo"));
            EXPECT_EQ(::mkfifo(QFile::encodeName(path), 0644), 0);
            return path;
        },
        "FIFO", [](const QDir &dir, const QByteArray &) { EXPECT_TRUE(S_ISFIFO(statusOf(dir.filePath("fifo")).st_mode)); },
        {"fifo"}},
    {"socket",
        [](const QDir &dir) {
            const QString path = dir.filePath(QStringLiteral("sock"));
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            const QByteArray name = QFile::encodeName(path);
            if (size_t(name.size()) >= sizeof(address.sun_path))
                return QString();
            std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
            const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
            const bool bound = ::bind(socket, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
            ::close(socket);
            return bound ? path : QString();
        },
        "Socket", [](const QDir &dir, const QByteArray &) { EXPECT_TRUE(S_ISSOCK(statusOf(dir.filePath("sock")).st_mode)); },
        {"sock"}},
    {"symlink loop",
        [](const QDir &dir) {
            EXPECT_TRUE(QFile::link(QStringLiteral("loop"), dir.filePath(QStringLiteral("loop"))));
            return dir.filePath(QStringLiteral("loop"));
        },
        "im Kreis", [](const QDir &dir, const QByteArray &) { EXPECT_TRUE(S_ISLNK(statusOf(dir.filePath("loop")).st_mode)); },
        {"loop"}},
    {"dangling symlink",
        [](const QDir &dir) {
            EXPECT_TRUE(QFile::link(QStringLiteral("missing.xml"), dir.filePath(QStringLiteral("link.xml"))));
            return dir.filePath(QStringLiteral("link.xml"));
        },
        "keine vorhandene Datei", [](const QDir &dir, const QByteArray &) { EXPECT_TRUE(S_ISLNK(statusOf(dir.filePath("link.xml")).st_mode)); },
        {"link.xml"}},
    {"symlink to a file",
        [](const QDir &dir) {
            plant(dir.filePath(QStringLiteral("real.xml")));
            EXPECT_TRUE(QFile::link(QStringLiteral("real.xml"), dir.filePath(QStringLiteral("link.xml"))));
            return dir.filePath(QStringLiteral("link.xml"));
        },
        nullptr,
        [](const QDir &dir, const QByteArray &saved) {
            EXPECT_TRUE(S_ISLNK(statusOf(dir.filePath("link.xml")).st_mode));
            EXPECT_EQ(contentOf(dir.filePath("real.xml")), saved);
        },
        {"link.xml", "real.xml"}},
    {"hard link",
        [](const QDir &dir) {
            plant(dir.filePath(QStringLiteral("a.xml")));
            EXPECT_EQ(::link(QFile::encodeName(dir.filePath("a.xml")), QFile::encodeName(dir.filePath("b.xml"))), 0);
            return dir.filePath(QStringLiteral("a.xml"));
        },
        nullptr,
        [](const QDir &dir, const QByteArray &saved) {
            EXPECT_EQ(statusOf(dir.filePath("a.xml")).st_nlink, 2u);
            EXPECT_EQ(statusOf(dir.filePath("a.xml")).st_ino, statusOf(dir.filePath("b.xml")).st_ino);
            EXPECT_EQ(contentOf(dir.filePath("b.xml")), saved);
        },
        {"a.xml", "b.xml"}},
    {"read-only file",
        [](const QDir &dir) {
            plant(dir.filePath(QStringLiteral("ro.xml")));
            EXPECT_EQ(::chmod(QFile::encodeName(dir.filePath("ro.xml")), 0444), 0);
            return dir.filePath(QStringLiteral("ro.xml"));
        },
        isRoot() ? nullptr : "Zugriff verweigert",
        [](const QDir &dir, const QByteArray &) { EXPECT_EQ(statusOf(dir.filePath("ro.xml")).st_mode & 07777, 0444u); },
        {"ro.xml"}},
    {"foreign owner and group",
        [](const QDir &dir) {
            const QString path = dir.filePath(QStringLiteral("theirs.xml"));
            plant(path);
            EXPECT_EQ(::chmod(QFile::encodeName(path), 0640), 0);
            return isRoot() && ::chown(QFile::encodeName(path), 4321, 8765) == 0 ? path : QString();
        },
        nullptr,
        [](const QDir &dir, const QByteArray &) {
            const struct stat status = statusOf(dir.filePath("theirs.xml"));
            EXPECT_EQ(status.st_uid, 4321u);
            EXPECT_EQ(status.st_gid, 8765u);
            EXPECT_EQ(status.st_mode & 07777, 0640u);
        },
        {"theirs.xml"}},
    {"extended attribute",
        [](const QDir &dir) {
            const QString path = dir.filePath(QStringLiteral("x.xml"));
            plant(path);
            return ::setxattr(QFile::encodeName(path), "user.wordloom", "Wert", 4, 0) == 0 ? path : QString();
        },
        nullptr,
        [](const QDir &dir, const QByteArray &) {
            char value[16] = {};
            EXPECT_EQ(::getxattr(QFile::encodeName(dir.filePath("x.xml")), "user.wordloom", value, sizeof(value)), 4);
            EXPECT_STREQ(value, "Wert");
        },
        {"x.xml"}},
    {"below a file",
        [](const QDir &dir) {
            plant(dir.filePath(QStringLiteral("f")));
            return dir.filePath(QStringLiteral("f/x.xml"));
        },
        "kein Ordner", [](const QDir &dir, const QByteArray &) { EXPECT_EQ(contentOf(dir.filePath("f")), kOld); },
        {"f"}},
};

TEST(PackFile, EachTargetIsSavedKeepingWhatItCarriesOrRefusedUntouched)
{
    LanguagePack pack;
    pack.load(QStringLiteral(WORDLOOM_TEST_DATA "/latin1.xml"));
    QTemporaryDir plainDir;
    pack.write(plainDir.filePath(QStringLiteral("plain.xml")), pack.info());
    const QByteArray saved = contentOf(plainDir.filePath(QStringLiteral("plain.xml")));
    ASSERT_FALSE(saved.isEmpty());

    for (const Target &target : kTargets) {
        SCOPED_TRACE(target.name);
        QTemporaryDir temporary;
        const QDir dir(temporary.path());
        const QString path = target.make(dir);
        if (path.isEmpty()) {
            std::cout << "skipped: " << target.name << '\n';
            continue;
        }
        const bool wasFile = QFileInfo(path).isFile();
        QString message;
        try {
            pack.write(path, pack.info());
        } catch (const Error &error) {
            message = error.message();
        }
        if (target.refusal) {
            EXPECT_TRUE(message.contains(QString::fromUtf8(target.refusal))) << message.toStdString();
            if (wasFile) {
                EXPECT_EQ(contentOf(path), kOld);
            }
        } else {
            EXPECT_EQ(message, QString());
            EXPECT_EQ(contentOf(path), saved);
        }
        target.check(dir, saved);
        EXPECT_EQ(dir.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
            target.files);
    }
}

} // namespace
} // namespace Wordloom
