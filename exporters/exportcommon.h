#pragma once

// What the three export plug-ins share: the entry points, the option rules,
// the per-run state and the atomic writer. A plug-in only defines `format`.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace Wordloom::Export {

struct Options {
    bool encodeHTML = false;
    bool preserveLinebreaks = false;
    bool unixNewline = false;
};

// The translation as exported under the given options.
std::string exportedText(std::string_view text, Options options);

// What a host of version 2 or later handed over besides the lists: an info
// value by its name ("project", "name", "lang", "version", "date") and a
// key's comment; "" when there is none.
std::string_view infoValue(const char *name);
std::string_view commentOf(std::string_view key);

// One output format. `begin` and `end` frame the file; `line` appends the
// line with the given index (keys in list order, texts already exported).
struct Format {
    const char *name;
    const char *extension;
    const char *filter;
    void (*begin)(std::string &out);
    void (*line)(std::string &out, std::string_view key, std::string_view text, size_t index);
    void (*end)(std::string &out, size_t count);
};

// Defined once in each plug-in.
extern const Format format;

// A failure whose message is shown to the user as it stands.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Writes the bytes to a temporary file beside the target and renames it over
// the target; on failure throws Failure and leaves no file behind.
void writeAtomically(const std::string &target, std::string_view bytes);

} // namespace Wordloom::Export
