// gettext PO: a UTF-8 header entry, then msgctxt (the key), msgid and msgstr
// per key.
#include "exportcommon.h"

namespace Wordloom::Export {
namespace {

void appendEscaped(std::string &out, std::string_view text)
{
    for (const char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
}

// A text with a line break before its end goes on one quoted line per line.
void appendString(std::string &out, std::string_view keyword, std::string_view text)
{
    out += keyword;
    const size_t firstBreak = text.find('\n');
    const bool split = firstBreak != std::string_view::npos && firstBreak + 1 < text.size();
    out += split ? " \"\"\n\"" : " \"";
    for (size_t start = 0;;) {
        const size_t lineBreak = split ? text.find('\n', start) : std::string_view::npos;
        const size_t stop = lineBreak == std::string_view::npos ? text.size() : lineBreak + 1;
        appendEscaped(out, text.substr(start, stop - start));
        start = stop;
        if (start >= text.size())
            break;
        out += "\"\n\"";
    }
    out += "\"\n";
}

// gettext wants msgid and msgstr to agree on a leading and a trailing line
// break, so the key's own ones are replaced by those of the translation.
std::string messageId(std::string_view key, std::string_view text)
{
    const size_t first = key.find_first_not_of('\n');
    key = first == std::string_view::npos ? std::string_view() : key.substr(first, key.find_last_not_of('\n') + 1 - first);
    std::string id;
    if (!text.empty() && text.front() == '\n')
        id += '\n';
    id += key;
    if (!text.empty() && text.back() == '\n')
        id += '\n';
    return id;
}

void begin(std::string &out)
{
    out += "msgid \"\"\n"
           "msgstr \"\"\n"
           "\"Project-Id-Version: \\n\"\n"
           "\"PO-Revision-Date: \\n\"\n"
           "\"Last-Translator: \\n\"\n"
           "\"Language-Team: \\n\"\n"
           "\"Language: und\\n\"\n"
           "\"MIME-Version: 1.0\\n\"\n"
           "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
           "\"Content-Transfer-Encoding: 8bit\\n\"\n";
}

void line(std::string &out, std::string_view key, std::string_view text, size_t)
{
    out += '\n';
    appendString(out, "msgctxt", key);
    appendString(out, "msgid", messageId(key, text));
    appendString(out, "msgstr", text);
}

void end(std::string &, size_t) {}

} // namespace

const Format format{"PO", "po", "PO (*.po)|*.po", begin, line, end};

} // namespace Wordloom::Export
