#include "document/error.h"
#include "plugins/exportrun.h"
#include "plugins/genericExportInterface.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QLibrary>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Wordloom;
namespace fs = std::filesystem;
using Entries = std::map<std::string, std::string>;

namespace {

QString q(const std::string &text) { return QString::fromStdString(text); }

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
std::string run(const std::string &format, const KeyData &data, const fs::path &file, ExportOffer *offer = nullptr)
{
    try {
        return runExport(QString(PLUGIN).arg(q(format)), data, [&](const ExportOffer &asked) {
            if (offer)
                *offer = asked;
            return q(file.string());
        }) == ExportOutcome::Exported ? "" : "not loaded";
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
        {"csv", "CSV", "\xEF\xBB\xBFkey,translation\r\ngreeting,\"Hallo Welt \"\r\n"
                       "\"say \"\"hi\"\"\",\" a,\"\"b\"\"\\\t\x01\r\nc\r\n\"\r\n"},
        {"po", "PO", "msgid \"\"\nmsgstr \"\"\n\"Project-Id-Version: \\n\"\n\"PO-Revision-Date: \\n\"\n"
                     "\"Last-Translator: \\n\"\n\"Language-Team: \\n\"\n\"Language: und\\n\"\n\"MIME-Version: 1.0\\n\"\n"
                     "\"Content-Type: text/plain; charset=UTF-8\\n\"\n\"Content-Transfer-Encoding: 8bit\\n\"\n" R"(
msgctxt "greeting"
msgid "greeting"
msgstr "Hallo Welt "

msgctxt "say \"hi\""
msgid "say \"hi\"\n"
msgstr ""
" a,\"b\"\\\t)" "\x01" R"(\r\n"
"c\r\n"
)"},
    };
    for (const auto &row : rows) {
        ExportOffer offer;
        ASSERT_EQ(run(row.format, data, dir / "out", &offer), "");
        EXPECT_EQ(readFile(dir / "out"), row.bytes) << row.format;
        EXPECT_EQ(offer.extension.toStdString(), row.format);
        EXPECT_EQ(offer.exportName.value_or("").toStdString(), row.name);
        EXPECT_EQ(offer.filterMask.toStdString(), row.name + " (*." + row.format + ")|*." + row.format);
        const auto version = QLibrary::resolve(QString(PLUGIN).arg(q(row.format)), "Export_getInterfaceVersion");
        EXPECT_TRUE(version && reinterpret_cast<Export_getInterfaceVersion_t>(version)() == EXPORT_INTERFACE_VERSION);
    }
}

TEST_F(Exporters, FailuresLeaveTheFolderAsItWas)
{
    fs::create_directory(dir / "folder");
    std::ofstream(dir / "old") << "alt";
    const KeyData data = pack({{"k", std::string(100, 'x')}});
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const bool root = geteuid() == 0;
    // A file size limit makes the write fail half way; its signal is ignored.
    const struct {
        fs::path target;
        std::string message;
        rlim_t limit = RLIM_INFINITY;
        std::function<void()> chosen = {};
    } rows[] = {
        {dir / "none/new", "Datei kann nicht angelegt werden: %1 (Ordner nicht gefunden)"},
        {dir / "folder", "Datei kann nicht ersetzt werden: %1 (das Ziel ist ein Ordner)"},
        {dir / "old", "Schreiben fehlgeschlagen: %1 (Datei zu groß)", 10},
        {dir / "old/x", "Datei kann nicht angelegt werden: %1 (ein Teil des Pfads ist kein Ordner)"},
        // The folder goes away while the save dialog is open.
        {dir / "gone/out", "Datei kann nicht angelegt werden: %1 (Ordner nicht gefunden)", RLIM_INFINITY,
            [&] { fs::remove_all(dir / "gone"); }},
        // Root writes into read-only folders, but not files into /proc.
        {root ? fs::path("/proc/self/out") : dir / "folder/out",
            root ? "Datei kann nicht angelegt werden: %1 (Ordner nicht gefunden)"
                 : "Datei kann nicht angelegt werden: %1 (keine Berechtigung)",
            RLIM_INFINITY, [&] { fs::permissions(dir / "folder", fs::perms::owner_read | fs::perms::owner_exec); }},
    };
    signal(SIGXFSZ, SIG_IGN);
    fs::create_directory(dir / "gone");
    for (const auto &row : rows) {
        SCOPED_TRACE(row.target);
        const rlimit limit{std::min(row.limit, saved.rlim_cur), saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        try {
            runExport(QString(PLUGIN).arg("json"), data, [&](const ExportOffer &) {
                if (row.chosen)
                    row.chosen();
                return q(row.target.string());
            });
        } catch (const Error &failure) {
            error = failure.message().toStdString();
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        fs::permissions(dir / "folder", fs::perms::owner_all);
        EXPECT_EQ(error, "Export fehlgeschlagen: " + q(row.message).arg(q(row.target.string())).toStdString());
    }
    EXPECT_EQ(readFile(dir / "old"), "alt");
    EXPECT_TRUE(fs::is_empty(dir / "folder"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 2); // folder and old, no temporary file
    // A new run starts afresh; the file gets a new file's permissions.
    const mode_t mask = umask(027);
    EXPECT_EQ(run("json", data, dir / "old"), "");
    umask(mask);
    EXPECT_EQ(fs::status(dir / "old").permissions(), fs::perms(0640));
}

} // namespace
