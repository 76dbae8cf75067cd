#include "exportcommon.h"

#include "atomicwrite.h"
#include "optionrule.h"

#include "plugins/genericExportInterface.h"

#include <new>

namespace Wordloom::Export {

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
