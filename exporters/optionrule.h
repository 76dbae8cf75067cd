#pragma once

// How the three options turn a translation into the exported text. Pure, so
// it can be tested without loading a plug-in.

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

} // namespace Wordloom::Export
