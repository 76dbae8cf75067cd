#include "atomicwrite.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace Wordloom::Export {

namespace {

// Removes the temporary file unless it was renamed into place.
class TempFile {
public:
    explicit TempFile(std::string path) : path_(std::move(path)) {}
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;
    ~TempFile()
    {
        if (fd >= 0)
            ::close(fd);
        if (created && !committed)
            ::unlink(path_.c_str());
    }
    char *path() { return path_.data(); }

    int fd = -1;
    bool created = false;
    bool committed = false;

private:
    std::string path_;
};

// The reason in the user's language; the system's text for the rare rest.
std::string reason(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT: return "Datenträger voll";
    case EFBIG: return "Datei zu groß";
    case EACCES:
    case EPERM: return "keine Berechtigung";
    case EROFS: return "Datenträger schreibgeschützt";
    case ENOENT: return "Ordner nicht gefunden";
    case ENOTDIR: return "ein Teil des Pfads ist kein Ordner";
    case EISDIR: return "das Ziel ist ein Ordner";
    default: return std::strerror(error);
    }
}

[[noreturn]] void fail(const char *what, const std::string &target, int error)
{
    throw Failure(std::string(what) + ": " + target + " (" + reason(error) + ")");
}

// The process's umask, read without changing it where the system allows.
mode_t currentUmask()
{
    if (FILE *status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status))
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found)
            return static_cast<mode_t>(mask);
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

} // namespace

void writeAtomically(const std::string &target, std::string_view bytes)
{
    const size_t slash = target.rfind('/');
    TempFile temp(
        (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + ".wordloom-export-XXXXXX");
    temp.fd = ::mkostemp(temp.path(), O_CLOEXEC);
    if (temp.fd < 0)
        fail("Datei kann nicht angelegt werden", target, errno);
    temp.created = true;
    if (::fchmod(temp.fd, 0666 & ~currentUmask()) != 0)
        fail("Datei kann nicht angelegt werden", target, errno);

    while (!bytes.empty()) {
        const ssize_t written = ::write(temp.fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            fail("Schreiben fehlgeschlagen", target, written < 0 ? errno : ENOSPC);
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    if (::fsync(temp.fd) != 0)
        fail("Schreiben fehlgeschlagen", target, errno);
    const int closed = ::close(temp.fd);
    temp.fd = -1;
    if (closed != 0)
        fail("Schreiben fehlgeschlagen", target, errno);
    if (::rename(temp.path(), target.c_str()) != 0)
        fail("Datei kann nicht ersetzt werden", target, errno);
    temp.committed = true;

    // Make the rename itself durable; the file is in place either way.
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace Wordloom::Export
