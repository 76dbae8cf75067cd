// gettext PO: a UTF-8 header entry naming the project, version and language,
// then per key its comment as "#.", msgctxt (the key), msgid and msgstr.
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
    key = first == std::string_view::npos ? std::string_view()
                                          : key.substr(first, key.find_last_not_of('\n') + 1 - first);
    std::string id;
    if (!text.empty() && text.front() == '\n')
        id += '\n';
    id += key;
    if (!text.empty() && text.back() == '\n')
        id += '\n';
    return id;
}

// A header value on one line: line breaks become spaces.
void appendHeaderValue(std::string &out, std::string_view text)
{
    for (const char c : text)
        out += c == '\r' || c == '\n' ? ' ' : c;
}

void begin(std::string &out)
{
    const std::string_view project = infoValue("project");
    const std::string_view version = infoValue("version");
    const std::string_view language = infoValue("lang");
    std::string header = "Project-Id-Version: ";
    appendHeaderValue(header, project);
    if (!project.empty() && !version.empty())
        header += ' ';
    appendHeaderValue(header, version);
    header += "\nPO-Revision-Date: \nLast-Translator: \nLanguage-Team: \nLanguage: ";
    appendHeaderValue(header, language.empty() ? std::string_view("und") : language);
    header += "\nMIME-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n";
    out += "msgid \"\"\nmsgstr \"\"\n";
    // One quoted line per header line, as before.
    for (size_t start = 0; start < header.size();) {
        const size_t stop = header.find('\n', start) + 1;
        out += '"';
        appendEscaped(out, std::string_view(header).substr(start, stop - 1 - start));
        out += "\\n\"\n";
        start = stop;
    }
}

// The key's comment as an extracted comment, one "#." line per line.
void appendComment(std::string &out, std::string_view comment)
{
    while (!comment.empty()) {
        const size_t lineBreak = comment.find('\n');
        std::string_view part = comment.substr(0, lineBreak);
        if (!part.empty() && part.back() == '\r')
            part.remove_suffix(1);
        out += part.empty() ? "#." : "#. ";
        out += part;
        out += '\n';
        comment = lineBreak == std::string_view::npos ? std::string_view() : comment.substr(lineBreak + 1);
    }
}

void line(std::string &out, std::string_view key, std::string_view text, size_t)
{
    out += '\n';
    appendComment(out, commentOf(key));
    appendString(out, "msgctxt", key);
    appendString(out, "msgid", messageId(key, text));
    appendString(out, "msgstr", text);
}

void end(std::string &, size_t) {}

} // namespace

const Format format{"PO", "po", "PO (*.po)|*.po", begin, line, end};

} // namespace Wordloom::Export
