#include "exporthost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace Wordloom::ExportTest;
namespace fs = std::filesystem;
using Rows = std::vector<std::vector<std::string>>;

namespace {

const Plugin &plugin(const std::string &format)
{
    static const Plugin csv(CSV_PLUGIN), json(JSON_PLUGIN), po(PO_PLUGIN);
    return format == "csv" ? csv : format == "json" ? json : po;
}

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Runs a shell command; its output (stdout and stderr) and exit status.
std::pair<std::string, int> shell(const std::string &command)
{
    FILE *pipe = popen((command + " 2>&1").c_str(), "r");
    std::string out;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    return {out, pclose(pipe)};
}

// The entries a real consumer reads from the file (see readback.py).
Rows readBack(const char *kind, const fs::path &file)
{
    const auto [out, status] = shell(std::string(PYTHON3 " " READBACK " ") + kind + " '" + file.string() + "'");
    if (status != 0) {
        ADD_FAILURE() << out;
        return {};
    }
    Rows rows(1);
    std::string field;
    for (size_t i = 0; i < out.size(); i += 2) {
        if (out[i] == ' ' || out[i] == '\n') {
            rows.back().push_back(std::exchange(field, {}));
            if (out[i] == '\n')
                rows.emplace_back();
            --i;
        } else {
            field += static_cast<char>(std::stoi(out.substr(i, 2), nullptr, 16));
        }
    }
    rows.pop_back();
    return rows;
}

class Exporters : public ::testing::Test {
protected:
    Exporters()
    {
        std::string name = (fs::temp_directory_path() / "wordloom-exporters-XXXXXX").string();
        dir = mkdtemp(name.data());
    }
    ~Exporters() override { fs::remove_all(dir); }
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path dir;
};

TEST_F(Exporters, OptionRules)
{
    const std::string text = "&<>\"\r\nA\rB\nC\n\rD";
    const std::string plain = "&<>\" A B C  D";
    const std::string html = "&amp;&lt;&gt;&quot;";
    const struct {
        std::string text, html, breaks, lf, expected;
    } rows[] = {
        {text, "0", "0", "0", plain},
        {text, "0", "0", "1", plain},
        {text, "0", "1", "0", "&<>\"\r\nA\r\nB\r\nC\r\n\r\nD"},
        {text, "0", "1", "1", "&<>\"\nA\nB\nC\n\nD"},
        {text, "1", "0", "0", html + " A B C  D"},
        {text, "1", "0", "1", html + " A B C  D"},
        {text, "1", "1", "0", html + "<br>A<br>B<br>C<br><br>D"},
        {text, "1", "1", "1", html + "<br>A<br>B<br>C<br><br>D"},
        {text, "true", "1 ", "11", plain},
        {"Ελληνικά, עברית, 中文\r\n😀𝄞", "1", "1", "1", "Ελληνικά, עברית, 中文<br>😀𝄞"},
        {"😀\r𝄞\n", "0", "1", "1", "😀\n𝄞\n"},
        {"", "1", "1", "1", ""},
    };
    Pack pack;
    for (const auto &row : rows)
        pack.add("r" + std::to_string(pack.keys.size()), row.text, row.html, row.breaks, row.lf);
    // Options are looked up by name, not by position.
    for (Lines *options : {&pack.html, &pack.breaks, &pack.lf})
        std::reverse(options->begin(), options->end());
    const fs::path file = dir / "rules.json";
    ASSERT_EQ(plugin("json").run(file, pack), "");
    const Rows back = readBack("json", file);
    ASSERT_EQ(back.size(), std::size(rows));
    for (size_t i = 0; i < back.size(); ++i)
        EXPECT_EQ(back[i], (std::vector<std::string>{pack.keys[i].first, rows[i].expected})) << i;

    // Lists that were never set count as off.
    const List keys({{"k", text}});
    ASSERT_EQ(plugin("json").run(file.c_str(), &keys), "");
    EXPECT_EQ(readBack("json", file), (Rows{{"k", plain}}));
}

const std::string poHeader = R"(msgid ""
msgstr ""
"Project-Id-Version: \n"
"PO-Revision-Date: \n"
"Last-Translator: \n"
"Language-Team: \n"
"Language: und\n"
"MIME-Version: 1.0\n"
"Content-Type: text/plain; charset=UTF-8\n"
"Content-Transfer-Encoding: 8bit\n"
)";

TEST_F(Exporters, NamesAndEncodingOfEachFormat)
{
    Pack pack;
    pack.add("greeting", "Hallo <Welt>", "1", "1", "0")
        .add("bye", "Tschüss\r\nbis bald")
        .add("say \"hi\"=x", " a,\"b\"\\\t\x01\nc\r", "0", "1", "0")
        .add("tail", "x ");
    const struct {
        const char *format, *name, *filter;
        std::string empty, full;
    } rows[] = {
        {"json", "JSON", "JSON (*.json)|*.json", "{}\n", R"({
  "greeting": "Hallo &lt;Welt&gt;",
  "bye": "Tschüss bis bald",
  "say \"hi\"=x": " a,\"b\"\\\t\u0001\r\nc\r\n",
  "tail": "x "
}
)"},
        {"csv", "CSV", "CSV (*.csv)|*.csv", "\xEF\xBB\xBFkey,translation\r\n",
         "\xEF\xBB\xBFkey,translation\r\ngreeting,Hallo &lt;Welt&gt;\r\nbye,Tschüss bis bald\r\n"
         "\"say \"\"hi\"\"=x\",\" a,\"\"b\"\"\\\t\x01\r\nc\r\n\"\r\ntail,\"x \"\r\n"},
        {"po", "PO", "PO (*.po)|*.po", poHeader, poHeader + R"(
msgctxt "greeting"
msgid "greeting"
msgstr "Hallo &lt;Welt&gt;"

msgctxt "bye"
msgid "bye"
msgstr "Tschüss bis bald"

msgctxt "say \"hi\"=x"
msgid "say \"hi\"=x\n"
msgstr ""
" a,\"b\"\\\t)" "\x01" R"(\r\n"
"c\r\n"

msgctxt "tail"
msgid "tail"
msgstr "x "
)"},
    };
    for (const auto &row : rows) {
        const Plugin &p = plugin(row.format);
        EXPECT_EQ(p.text("Export_getExportName"), row.name);
        EXPECT_EQ(p.text("Export_getDefaultExtension"), row.format);
        EXPECT_EQ(p.text("Export_getFilterMask"), row.filter);
        EXPECT_EQ(p.entry<Export_getInterfaceVersion_t>("Export_getInterfaceVersion")(), EXPORT_INTERFACE_VERSION);
        const fs::path file = dir / (std::string("out.") + row.format);
        ASSERT_EQ(p.run(file, Pack()), "");
        EXPECT_EQ(readFile(file), row.empty) << row.format;
        ASSERT_EQ(p.run(file, pack), "");
        EXPECT_EQ(readFile(file), row.full) << row.format;
    }
}

TEST_F(Exporters, ConsumersReadBackEveryKey)
{
    const struct {
        std::string key, text, html, breaks, lf, exported;
    } rows[] = {
        {"a=b \"q\"\r\nzwei\n", "x", "0", "0", "0", "x"},
        {"\nlead", "\ntext", "0", "1", "1", "\ntext"},
        {"", "leer", "0", "0", "0", "leer"},
        {"\n", "nur Umbruch", "0", "0", "0", "nur Umbruch"},
        {"tab\tkey", " , \"\\\t\x01 ", "0", "0", "0", " , \"\\\t\x01 "},
        {"multi", "eins\r\nzwei\r\ndrei\r\n", "0", "1", "1", "eins\nzwei\ndrei\n"},
        {"crlf", "a\r\nb", "0", "1", "0", "a\r\nb"},
        {"Ωmega", "😀 中文 <&>", "1", "0", "0", "😀 中文 &lt;&amp;&gt;"},
    };
    Pack pack;
    Rows expected;
    for (const auto &row : rows) {
        pack.add(row.key, row.text, row.html, row.breaks, row.lf);
        expected.push_back({row.key, row.exported});
    }
    const fs::path json = dir / "a.json", csv = dir / "a.csv", po = dir / "a.po", mo = dir / "a.mo";
    ASSERT_EQ(plugin("json").run(json, pack), "");
    EXPECT_EQ(readBack("json", json), expected);
    ASSERT_EQ(plugin("csv").run(csv, pack), "");
    Rows csvRows = readBack("csv", csv);
    ASSERT_FALSE(csvRows.empty());
    EXPECT_EQ(csvRows.front(), (std::vector<std::string>{"key", "translation"}));
    EXPECT_EQ(Rows(csvRows.begin() + 1, csvRows.end()), expected);

    ASSERT_EQ(plugin("po").run(po, pack), "");
    EXPECT_EQ(shell(MSGFMT " --check -o '" + mo.string() + "' '" + po.string() + "'"),
              std::make_pair(std::string(), 0));
    Rows catalog = readBack("mo", mo);
    std::sort(catalog.begin(), catalog.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(catalog, expected);
}

TEST_F(Exporters, FailuresLeaveTheFolderAsItWas)
{
    const Plugin &json = plugin("json");
    Pack pack;
    pack.add("k", std::string(100, 'x'));
    const std::string missing = (dir / "none" / "x.json").string();
    const std::string folder = (dir / "folder.json").string();
    const std::string old = (dir / "old.json").string();
    fs::create_directory(folder);
    std::ofstream(old) << "alt";

    EXPECT_EQ(json.run(missing, pack), "Datei kann nicht angelegt werden: " + missing + " (No such file or directory)");
    EXPECT_EQ(json.run(folder, pack), "Datei kann nicht ersetzt werden: " + folder + " (Is a directory)");
    // The file size limit makes the write fail half way.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 10;
    const auto handler = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const std::string error = json.run(old, pack);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, handler);
    EXPECT_EQ(error, "Schreiben fehlgeschlagen: " + old + " (File too large)");

    EXPECT_EQ(readFile(old), "alt");
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(entries(), (std::vector<std::string>{"folder.json", "old.json"}));

    const List keys(pack.keys);
    EXPECT_EQ(json.run(nullptr, &keys), "Kein Dateiname für den Export gesetzt.");
    EXPECT_EQ(json.run(old.c_str(), nullptr), "Keine Übersetzungsliste für den Export gesetzt.");
    // A new run starts afresh; the file gets a new file's permissions.
    const mode_t mask = umask(027);
    EXPECT_EQ(json.run(old, pack), "");
    umask(mask);
    EXPECT_EQ(fs::status(old).permissions(), static_cast<fs::perms>(0640));
}

} // namespace
