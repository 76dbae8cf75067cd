#include "document/error.h"
#include "document/languagepack.h"

#include "../support/coretest.h"

#include <QDir>
#include <QFileInfo>
#include <cstring>
#include <functional>
#include <iostream>
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

// An old file at the path, then `prepare`; the path, or an empty one when
// `prepare` cannot be done here.
QString planted(const QString &path, const std::function<bool()> &prepare = nullptr)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(kOld) == kOld.size());
    file.close();
    return !prepare || prepare() ? path : QString();
}

QString socketAt(const QString &path)
{
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
}

struct stat statusOf(const QString &path)
{
    struct stat status {};
    EXPECT_EQ(::lstat(QFile::encodeName(path), &status), 0) << path.toStdString();
    return status;
}

QByteArray encoded(const QDir &dir, const char *name)
{
    return QFile::encodeName(dir.filePath(QString::fromUtf8(name)));
}

struct Target {
    const char *name;
    // Makes the target in the folder; an empty path when this machine cannot.
    std::function<QString(const QDir &)> make;
    // A refusal names the reason, and the target keeps its kind.
    const char *refusal;
    mode_t kind;
    // Checks a saved target's metadata.
    std::function<void(const QDir &)> check;
    // What the folder holds afterwards: no temporary file or backup is left.
    std::vector<const char *> files;
};

const bool kRoot = ::geteuid() == 0;

const Target kTargets[] = {
    {"device",
        [](const QDir &dir) {
            return ::mknod(encoded(dir, "null"), S_IFCHR | 0666, makedev(1, 3)) == 0 ? dir.filePath(u"null"_s)
                                                                                     : QString();
        },
        "ein Gerät", S_IFCHR, nullptr, {"null"}},
    {"FIFO",
        [](const QDir &dir) { return ::mkfifo(encoded(dir, "fifo"), 0644) == 0 ? dir.filePath(u"fifo"_s) : QString(); },
        "FIFO", S_IFIFO, nullptr, {"fifo"}},
    {"socket", [](const QDir &dir) { return socketAt(dir.filePath(u"sock"_s)); }, "Socket", S_IFSOCK, nullptr,
        {"sock"}},
    {"symlink loop",
        [](const QDir &dir) {
            return QFile::link(u"loop"_s, dir.filePath(u"loop"_s)) ? dir.filePath(u"loop"_s) : QString();
        },
        "im Kreis", S_IFLNK, nullptr, {"loop"}},
    {"dangling symlink",
        [](const QDir &dir) {
            return QFile::link(u"gone.xml"_s, dir.filePath(u"l.xml"_s)) ? dir.filePath(u"l.xml"_s) : QString();
        },
        "keine vorhandene Datei", S_IFLNK, nullptr, {"l.xml"}},
    {"below a file", [](const QDir &dir) { return planted(dir.filePath(u"f"_s)) + u"/x.xml"_s; }, "kein Ordner", 0,
        nullptr, {"f"}},
    {"symlink to a file",
        [](const QDir &dir) {
            return QFile::link(planted(dir.filePath(u"real.xml"_s)), dir.filePath(u"l.xml"_s))
                ? dir.filePath(u"l.xml"_s)
                : QString();
        },
        nullptr, S_IFLNK,
        [](const QDir &dir) { EXPECT_EQ(contentOf(dir.filePath(u"real.xml"_s)), contentOf(dir.filePath(u"l.xml"_s))); },
        {"l.xml", "real.xml"}},
    {"hard link",
        [](const QDir &dir) {
            return planted(dir.filePath(u"a.xml"_s),
                [&] { return ::link(encoded(dir, "a.xml"), encoded(dir, "b.xml")) == 0; });
        },
        nullptr, S_IFREG,
        [](const QDir &dir) {
            EXPECT_EQ(statusOf(dir.filePath(u"a.xml"_s)).st_ino, statusOf(dir.filePath(u"b.xml"_s)).st_ino);
            EXPECT_EQ(statusOf(dir.filePath(u"a.xml"_s)).st_nlink, 2u);
        },
        {"a.xml", "b.xml"}},
    {"read-only file",
        [](const QDir &dir) {
            return planted(dir.filePath(u"ro.xml"_s), [&] { return ::chmod(encoded(dir, "ro.xml"), 0444) == 0; });
        },
        kRoot ? nullptr : "Zugriff verweigert", S_IFREG,
        [](const QDir &dir) { EXPECT_EQ(statusOf(dir.filePath(u"ro.xml"_s)).st_mode & 07777, 0444u); }, {"ro.xml"}},
    {"foreign owner and group",
        [](const QDir &dir) {
            return planted(dir.filePath(u"t.xml"_s), [&] {
                return kRoot && ::chown(encoded(dir, "t.xml"), 4321, 8765) == 0
                    && ::chmod(encoded(dir, "t.xml"), 0640) == 0;
            });
        },
        nullptr, S_IFREG,
        [](const QDir &dir) {
            const struct stat status = statusOf(dir.filePath(u"t.xml"_s));
            EXPECT_EQ(status.st_uid, 4321u);
            EXPECT_EQ(status.st_gid, 8765u);
            EXPECT_EQ(status.st_mode & 07777, 0640u);
        },
        {"t.xml"}},
    {"extended attribute",
        [](const QDir &dir) {
            return planted(dir.filePath(u"x.xml"_s),
                [&] { return ::setxattr(encoded(dir, "x.xml"), "user.wl", "Wert", 4, 0) == 0; });
        },
        nullptr, S_IFREG,
        [](const QDir &dir) {
            char value[8] = {};
            EXPECT_EQ(::getxattr(encoded(dir, "x.xml"), "user.wl", value, sizeof(value)), 4);
            EXPECT_STREQ(value, "Wert");
        },
        {"x.xml"}},
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
            std::cout << "skipped on this machine: " << target.name << '\n';
            continue;
        }
        const bool wasFile = QFileInfo(path).isFile();
        QString message;
        try {
            pack.write(path, pack.info());
        } catch (const Error &error) {
            message = error.message();
        }
        EXPECT_EQ(message.contains(QString::fromUtf8(target.refusal ? target.refusal : "")), true)
            << message.toStdString();
        EXPECT_EQ(message.isEmpty(), !target.refusal);
        if (wasFile || !target.refusal) {
            EXPECT_EQ(contentOf(path), target.refusal ? kOld : saved);
        }
        if (target.kind) {
            EXPECT_EQ(statusOf(path).st_mode & S_IFMT, target.kind);
        }
        if (target.check)
            target.check(dir);
        QStringList files;
        for (const char *name : target.files)
            files << QString::fromUtf8(name);
        EXPECT_EQ(dir.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot), files);
    }
}

} // namespace
} // namespace Wordloom
