#include "exportcommon.h"

#include "plugins/genericExportInterface.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace Wordloom::Export {

std::string exportedText(std::string_view text, Options options)
{
    const std::string_view lineBreak = !options.preserveLinebreaks ? " "
        : options.encodeHTML                                       ? "<br>"
        : options.unixNewline                                      ? "\n"
                                                                   : "\r\n";
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
        case '\r':
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            [[fallthrough]];
        case '\n': out += lineBreak; break;
        case '&': out += options.encodeHTML ? "&amp;" : "&"; break;
        case '<': out += options.encodeHTML ? "&lt;" : "<"; break;
        case '>': out += options.encodeHTML ? "&gt;" : ">"; break;
        case '"': out += options.encodeHTML ? "&quot;" : "\""; break;
        default: out += c;
        }
    }
    return out;
}

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

namespace {

struct State {
    const ExportHashlist *keys = nullptr;
    const ExportHashlist *encodeHTML = nullptr;
    const ExportHashlist *preserveLinebreaks = nullptr;
    const ExportHashlist *unixNewline = nullptr;
    const ExportHashlist *info = nullptr;
    const ExportHashlist *comments = nullptr;
    std::string fileName;
    std::string error;
    bool outOfMemory = false; // stands for an error that could not be stored
};

State state;

constexpr std::string_view outOfMemoryMessage = "Nicht genug Arbeitsspeicher für den Export.";

void setError(std::string_view message) noexcept
{
    try {
        state.error = message;
    } catch (...) {
        state.outOfMemory = true;
    }
}

// Runs an entry point's work; whatever it throws becomes the last error.
template <typename Work> void guarded(Work work) noexcept
{
    try {
        work();
    } catch (const Failure &failure) {
        setError(failure.what());
    } catch (const std::bad_alloc &) {
        state.outOfMemory = true;
    } catch (const std::exception &exception) {
        try {
            setError(exception.what());
        } catch (...) {
            state.outOfMemory = true;
        }
    } catch (...) {
        setError("Unbekannter Fehler im Export-Plugin");
    }
}

std::string_view view(const char *text, size_t length)
{
    return text ? std::string_view(text, length) : std::string_view();
}

bool optionOn(const ExportHashlist *list, const char *key)
{
    if (!list)
        return false;
    size_t length = 0;
    const char *value = list->valueOf(list, key, &length);
    return view(value, length) == "1";
}

std::string_view valueIn(const ExportHashlist *list, const std::string &name)
{
    if (!list)
        return {};
    size_t length = 0;
    // Two statements: the length is set by the call.
    const char *value = list->valueOf(list, name.c_str(), &length);
    return view(value, length);
}

void assign(ExportText *text, std::string_view value)
{
    if (text && text->assign)
        text->assign(text, value.data(), value.size());
}

void run()
{
    if (state.fileName.empty())
        throw Failure("Kein Dateiname für den Export gesetzt.");
    const ExportHashlist *keys = state.keys;
    if (!keys)
        throw Failure("Keine Übersetzungsliste für den Export gesetzt.");

    std::string out;
    const size_t count = keys->count(keys);
    format.begin(out);
    for (size_t i = 0; i < count; ++i) {
        size_t keyLength = 0;
        size_t valueLength = 0;
        const char *key = keys->nameAt(keys, i, &keyLength);
        const char *value = keys->valueAt(keys, i, &valueLength);
        if (!key) {
            key = "";
            keyLength = 0;
        }
        const Options options{optionOn(state.encodeHTML, key), optionOn(state.preserveLinebreaks, key),
            optionOn(state.unixNewline, key)};
        format.line(out, view(key, keyLength), exportedText(view(value, valueLength), options), i);
    }
    format.end(out, count);
    writeAtomically(state.fileName, out);
}

} // namespace

std::string_view infoValue(const char *name)
{
    return valueIn(state.info, name);
}

std::string_view commentOf(std::string_view key)
{
    return valueIn(state.comments, std::string(key));
}

} // namespace Wordloom::Export

using namespace Wordloom::Export;

EXPORT_API int EXPORT_CALL Export_getInterfaceVersion(void) noexcept
{
    return EXPORT_INTERFACE_VERSION;
}

EXPORT_API void EXPORT_CALL Export_getExportName(ExportText *name) noexcept
{
    assign(name, format.name);
}

EXPORT_API void EXPORT_CALL Export_getDefaultExtension(ExportText *extension) noexcept
{
    assign(extension, format.extension);
}

EXPORT_API void EXPORT_CALL Export_getFilterMask(ExportText *filter) noexcept
{
    assign(filter, format.filter);
}

EXPORT_API void EXPORT_CALL Export_Init(void) noexcept
{
    state = State();
}

EXPORT_API void EXPORT_CALL Export_setHashlistKeys(const ExportHashlist *translations) noexcept
{
    state.keys = translations;
}

EXPORT_API void EXPORT_CALL Export_setHashlistHTML(const ExportHashlist *encodeHTML) noexcept
{
    state.encodeHTML = encodeHTML;
}

EXPORT_API void EXPORT_CALL Export_setHashlistBreaks(const ExportHashlist *preserveLinebreaks) noexcept
{
    state.preserveLinebreaks = preserveLinebreaks;
}

EXPORT_API void EXPORT_CALL Export_setHashlistLinebreaks(const ExportHashlist *unixNewline) noexcept
{
    state.unixNewline = unixNewline;
}

EXPORT_API void EXPORT_CALL Export_setInfo(const ExportHashlist *info) noexcept
{
    state.info = info;
}

EXPORT_API void EXPORT_CALL Export_setHashlistComments(const ExportHashlist *comments) noexcept
{
    state.comments = comments;
}

EXPORT_API void EXPORT_CALL Export_setFileName(const char *fileName) noexcept
{
    guarded([fileName] { state.fileName = fileName ? fileName : ""; });
}

EXPORT_API void EXPORT_CALL Export_startExport(void) noexcept
{
    // An error from setting up (no memory for the file name) stands.
    if (state.outOfMemory)
        return;
    state.error.clear();
    guarded(run);
}

EXPORT_API void EXPORT_CALL Export_getLastError(ExportText *message) noexcept
{
    assign(message, state.outOfMemory ? outOfMemoryMessage : std::string_view(state.error));
}

EXPORT_API void EXPORT_CALL Export_Free(void) noexcept
{
    state = State();
}
