#include "optionrule.h"

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

} // namespace Wordloom::Export
