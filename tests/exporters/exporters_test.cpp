#include "document/error.h"
#include "plugins/exportrun.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/stat.h>

using namespace Wordloom;
using namespace Qt::StringLiterals;
namespace fs = std::filesystem;
using Entries = std::map<std::string, std::string>;

namespace {

QString q(const std::string &text)
{
    return QString::fromStdString(text);
}

// A key with its translation and options; `exported` is what a test expects.
struct Line {
    std::string key, text, html = {}, breaks = {}, lf = {}, exported = {};
};

// The option lines go in reverse order, as options are looked up by name.
KeyData pack(const std::vector<Line> &lines)
{
    KeyData data;
    for (const Line &line : lines)
        data.hashlistKeys.setValue(q(line.key), q(line.text));
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        data.hashlistHTML.setValue(q(line->key), q(line->html));
        data.hashlistBreaks.setValue(q(line->key), q(line->breaks));
        data.hashlistLinebreaks.setValue(q(line->key), q(line->lf));
    }
    return data;
}

// One export through the editor's host; the failure it reports, or "".
std::string run(const std::string &format, const KeyData &data, const fs::path &file, ExportOffer *offer = nullptr,
    const InfoValues &info = {})
{
    try {
        return runExport(
                   QStringLiteral(PLUGIN).arg(q(format)), data,
                   [&](const ExportOffer &asked) {
                       if (offer)
                           *offer = asked;
                       return q(file.string());
                   },
                   info)
                == ExportOutcome::Exported
            ? ""
            : "not loaded";
    } catch (const Error &error) {
        return error.message().toStdString();
    }
}

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Key and translation of each entry a real consumer reads (see readback.py).
Entries readBack(const std::string &format, const fs::path &file)
{
    FILE *pipe = popen((READBACK " " + format + " '" + file.string() + "' 2>&1").c_str(), "r");
    static char buffer[1 << 16];
    const QByteArray out(buffer, qsizetype(fread(buffer, 1, sizeof buffer, pipe)));
    EXPECT_EQ(pclose(pipe), 0) << out.toStdString();
    Entries entries;
    for (const QJsonValue row : QJsonDocument::fromJson(out).array())
        entries[row[0].toString().toStdString()] = row[1].toString().toStdString();
    return entries;
}

struct Exporters : ::testing::Test {
    QTemporaryDir tmp;
    const fs::path dir = tmp.path().toStdString();
};

TEST_F(Exporters, ConsumersReadWhatTheOptionsMake)
{
    const std::string text = "&<>\"\r\nA\rB\nC\n\rΩ😀", spaced = "&<>\" A B C  Ω😀", html = "&amp;&lt;&gt;&quot;";
    const std::vector<Line> lines = {
        {"plain", text, "0", "0", "0", spaced},
        {"crlf", text, "0", "1", "0", "&<>\"\r\nA\r\nB\r\nC\r\n\r\nΩ😀"},
        {"lf", text, "", "1", "1", "&<>\"\nA\nB\nC\n\nΩ😀"},
        {"html", text, "1", "", "1", html + " A B C  Ω😀"},
        {"br", text, "1", "1", "1", html + "<br>A<br>B<br>C<br><br>Ω😀"},
        {"almost", text, "10", "1 ", "11", spaced},
        {"lead", "\nx\r\n", "0", "1", "1", "\nx\n"},
        {"\nkey \"q\",=\n", " ,\"\\\t\x01 ", "", "", "", " ,\"\\\t\x01 "},
    };
    Entries expected;
    for (const Line &line : lines)
        expected[line.key] = line.exported;
    for (const std::string format : {"json", "csv", "po"}) {
        ASSERT_EQ(run(format, pack(lines), dir / ("all." + format)), "");
        EXPECT_EQ(readBack(format, dir / ("all." + format)), expected) << format;
    }
}

// The info block and the comments reach a catalogue that gettext reads.
TEST_F(Exporters, PoCarriesTheInfoBlockAndTheComments)
{
    KeyData data = pack({{"a", "A"}, {"b", "B"}});
    data.hashlistComments.setValue(q("a"), q("Zeile 1\r\n\r\nZeile \"3\""));
    const fs::path file = dir / "de.po";
    ASSERT_EQ(run("po", data, file, nullptr, {q("Demo"), q("app"), q("de_DE"), q("1.2"), q("2026-12-07 10:00")}), "");
    const Entries header = readBack("po-header", file);
    EXPECT_EQ(header.at("language"), "de_DE");
    EXPECT_EQ(header.at("project-id-version"), "Demo 1.2");
    EXPECT_EQ(readBack("po", file), (Entries{{"a", "A"}, {"b", "B"}}));
    const std::string bytes = readFile(file);
    EXPECT_NE(bytes.find("\n#. Zeile 1\n#.\n#. Zeile \"3\"\nmsgctxt \"a\"\n"), std::string::npos) << bytes;
    EXPECT_EQ(bytes.find("#.", bytes.find("msgctxt \"b\"") - 4), bytes.npos) << "b has no comment";
}

TEST_F(Exporters, BytesOfEachFormat)
{
    const KeyData data = pack({{"greeting", "Hallo Welt "}, {"say \"hi\"", " a,\"b\"\\\t\x01\nc\r", "", "1"}});
    const struct {
        std::string format, name, bytes;
    } rows[] = {
        {"json", "JSON", R"({
  "greeting": "Hallo Welt ",
  "say \"hi\"": " a,\"b\"\\\t\u0001\r\nc\r\n"
}
)"},
        {"csv", "CSV",
            "\xEF\xBB\xBFkey,translation\r\ngreeting,\"Hallo Welt \"\r\n"
            "\"say \"\"hi\"\"\",\" a,\"\"b\"\"\\\t\x01\r\nc\r\n\"\r\n"},
        {"po", "PO",
            "msgid \"\"\nmsgstr \"\"\n\"Project-Id-Version: \\n\"\n\"PO-Revision-Date: \\n\"\n"
            "\"Last-Translator: \\n\"\n\"Language-Team: \\n\"\n\"Language: und\\n\"\n\"MIME-Version: 1.0\\n\"\n"
            "\"Content-Type: text/plain; charset=UTF-8\\n\"\n\"Content-Transfer-Encoding: 8bit\\n\"\n"
            R"(
msgctxt "greeting"
msgid "greeting"
msgstr "Hallo Welt "

msgctxt "say \"hi\""
msgid "say \"hi\"\n"
msgstr ""
" a,\"b\"\\\t)"
            "\x01"
            R"(\r\n"
"c\r\n"
)"},
    };
    // A run after a failed one starts afresh; the file gets a new file's permissions.
    EXPECT_EQ(run("json", data, dir / "none/out"),
        "Export fehlgeschlagen: Datei kann nicht angelegt werden: " + (dir / "none/out").string()
            + " (Ordner nicht gefunden)");
    const mode_t mask = umask(027);
    for (const auto &row : rows) {
        ExportOffer offer;
        ASSERT_EQ(run(row.format, data, dir / "out", &offer), "");
        EXPECT_EQ(readFile(dir / "out"), row.bytes) << row.format;
        EXPECT_EQ(fs::status(dir / "out").permissions(), fs::perms(0640));
        EXPECT_EQ(offer.extension.toStdString(), row.format);
        EXPECT_EQ(offer.exportName.value_or(QString()).toStdString(), row.name);
        EXPECT_EQ(offer.filterMask.toStdString(), row.name + " (*." + row.format + ")|*." + row.format);
    }
    umask(mask);
}

} // namespace
