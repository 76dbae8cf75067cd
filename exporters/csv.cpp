// CSV: UTF-8 with a byte order mark, RFC 4180 quoting, CR LF after each record.
#include "exportcommon.h"

namespace Wordloom::Export {
namespace {

void appendField(std::string &out, std::string_view field)
{
    const bool quoted = field.find_first_of(",\"\r\n") != std::string_view::npos
        || (!field.empty() && (field.front() == ' ' || field.back() == ' '));
    if (!quoted) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void begin(std::string &out)
{
    out += "\xEF\xBB\xBFkey,translation\r\n";
}

void line(std::string &out, std::string_view key, std::string_view text, size_t)
{
    appendField(out, key);
    out += ',';
    appendField(out, text);
    out += "\r\n";
}

void end(std::string &, size_t) {}

} // namespace

const Format format{"CSV", "csv", "CSV (*.csv)|*.csv", begin, line, end};

} // namespace Wordloom::Export
