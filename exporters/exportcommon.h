#pragma once

// What a shipped export plug-in defines and may ask for. The entry points
// (entrypoints.cpp) run the export with the option rule (optionrule.h) and
// write the file atomically (atomicwrite.h); a plug-in only defines `format`.

#include <cstddef>
#include <string>
#include <string_view>

namespace Wordloom::Export {

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

} // namespace Wordloom::Export
