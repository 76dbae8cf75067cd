// JSON: one UTF-8 object, a member per key in list order.
#include "exportcommon.h"

namespace Wordloom::Export {
namespace {

void appendString(std::string &out, std::string_view text)
{
    static constexpr char hex[] = "0123456789abcdef";
    out += '"';
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 0xf];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void begin(std::string &out)
{
    out += '{';
}

void line(std::string &out, std::string_view key, std::string_view text, size_t index)
{
    out += index == 0 ? "\n  " : ",\n  ";
    appendString(out, key);
    out += ": ";
    appendString(out, text);
}

void end(std::string &out, size_t count)
{
    out += count == 0 ? "}\n" : "\n}\n";
}

} // namespace

const Format format{"JSON", "json", "JSON (*.json)|*.json", begin, line, end};

} // namespace Wordloom::Export
