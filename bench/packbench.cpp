// Speed of loading, saving, searching, key operations and checks; loading
// and saving next to plain libxml2 doing the work the referee
// (../shared/perf) measures them against, medians of three runs.
//   build/bin/wordloom-bench                      10k and 100k keys
//   WORDLOOM_BENCH_MAX=1000000 build/bin/wordloom-bench   adds 1M keys
//   build/bin/wordloom-bench --generate 100000 pack.xml    writes a pack
#include "bench/packgenerator.h"
#include "bench/scriptedprompts.h"
#include "checks/keychecks.h"
#include "document/clock.h"
#include "document/error.h"
#include "document/keytextcodec.h"
#include "document/languagepack.h"
#include "editor/mainwindow.h"
#include "editor/newkeydialog.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>

#include <map>

using namespace Wordloom;

namespace {

QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    return dir;
}

// The generated pack of a size, written once.
QString packFile(int keys)
{
    static std::map<int, QString> files;
    auto it = files.find(keys);
    if (it == files.end()) {
        const QString path = folder().filePath(QStringLiteral("pack%1.xml").arg(keys));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(generatePack(keys));
        it = files.emplace(keys, path).first;
    }
    return it->second;
}

QByteArrayView utf8(const xmlChar *s)
{
    return QByteArrayView(reinterpret_cast<const char *>(s));
}

// The yardstick for loading, as the referee does it: libxml2 reads the file
// and every key's id, value and comment is decoded by the byte table, line
// breaks made CR LF; options are taken as they stand.
void BM_LibxmlParseAndDecode(benchmark::State &state)
{
    const QByteArray path = QFile::encodeName(packFile(int(state.range(0))));
    for (auto _ : state) {
        xmlDocPtr doc = xmlReadFile(path.constData(), nullptr, XML_PARSE_NONET);
        std::vector<QString> decoded;
        for (xmlNodePtr content = xmlDocGetRootElement(doc)->children; content; content = content->next) {
            for (xmlNodePtr key = content->children; key; key = key->next) {
                for (xmlAttrPtr a = key->properties; a; a = a->next)
                    decoded.push_back(qstrcmp(reinterpret_cast<const char *>(a->name), "id") == 0
                            ? decodeKeyText(utf8(a->children->content), true)
                            : QString::fromUtf8(utf8(a->children->content)));
                for (xmlNodePtr child = key->children; child; child = child->next)
                    if (child->children)
                        decoded.push_back(decodeKeyText(utf8(child->children->content), true));
            }
        }
        benchmark::DoNotOptimize(decoded.data());
        xmlFreeDoc(doc);
    }
}

void BM_LoadDocument(benchmark::State &state)
{
    const QString path = packFile(int(state.range(0)));
    LanguagePack pack;
    for (auto _ : state)
        pack.load(path);
}

// A main window whose open dialog answers with the generated pack.
struct BenchWindow {
    explicit BenchWindow(int keys) { prompts.path = packFile(keys); }
    void load() { window.findChild<QAction *>(QStringLiteral("loadAction"))->trigger(); }
    ScriptedPrompts prompts;
    Clock clock;
    MainWindow window{prompts, clock, QString()};
};

void BM_LoadWindow(benchmark::State &state)
{
    BenchWindow bench(int(state.range(0)));
    for (auto _ : state)
        bench.load();
}

// The yardstick for saving, as the referee does it: the file's tree with
// content emptied and one key element per entry appended, texts encoded back
// by the byte table, serialized to a file. The entries come from a plain
// vector, not from the document's lists.
void BM_LibxmlBuildAndSerialize(benchmark::State &state)
{
    struct Entry {
        QByteArray id, html, breaks, unixNewline, value, comment;
    };
    std::vector<Entry> entries;
    {
        LanguagePack pack;
        pack.load(packFile(int(state.range(0))));
        const KeyData &data = pack.data();
        for (const QString &name : pack.keys().names())
            entries.push_back(Entry{name.toUtf8(), data.hashlistHTML.value(name).toUtf8(),
                data.hashlistBreaks.value(name).toUtf8(), data.hashlistLinebreaks.value(name).toUtf8(),
                data.hashlistKeys.value(name).toUtf8(), data.hashlistComments.value(name).toUtf8()});
    }
    const QByteArray in = QFile::encodeName(packFile(int(state.range(0))));
    const QByteArray out = QFile::encodeName(folder().filePath(QStringLiteral("raw.xml")));
    for (auto _ : state) {
        xmlDocPtr doc = xmlReadFile(in.constData(), nullptr, XML_PARSE_NONET);
        xmlNodePtr content = xmlDocGetRootElement(doc)->children;
        while (content && xmlStrcmp(content->name, BAD_CAST "content") != 0)
            content = content->next;
        for (xmlNodePtr child = content->children, next; child; child = next) {
            next = child->next;
            xmlUnlinkNode(child);
            xmlFreeNode(child);
        }
        const auto encoded = [](const QByteArray &text) { return encodeKeyText(QString::fromUtf8(text)).toUtf8(); };
        for (const Entry &e : entries) {
            xmlNodePtr key = xmlNewChild(content, nullptr, BAD_CAST "key", nullptr);
            xmlNewProp(key, BAD_CAST "id", BAD_CAST encoded(e.id).constData());
            xmlNewProp(key, BAD_CAST "encodeHTML", BAD_CAST e.html.constData());
            xmlNewProp(key, BAD_CAST "preserveLinebreaks", BAD_CAST e.breaks.constData());
            xmlNewProp(key, BAD_CAST "unixNewline", BAD_CAST e.unixNewline.constData());
            xmlNewTextChild(key, nullptr, BAD_CAST "value", BAD_CAST encoded(e.value).constData());
            xmlNewTextChild(key, nullptr, BAD_CAST "comment", BAD_CAST encoded(e.comment).constData());
        }
        xmlSaveCtxtPtr save = xmlSaveToFilename(out.constData(), "UTF-8", XML_SAVE_NO_DECL);
        xmlSaveDoc(save, doc);
        xmlSaveClose(save);
        xmlFreeDoc(doc);
    }
}

void BM_Save(benchmark::State &state)
{
    LanguagePack pack;
    pack.load(packFile(int(state.range(0))));
    const QString target = folder().filePath(QStringLiteral("saved.xml"));
    for (auto _ : state)
        pack.write(target, pack.info());
}

// One keystroke of search-on-type: the whole search and the result list.
void BM_SearchKeystroke(benchmark::State &state)
{
    BenchWindow bench(int(state.range(0)));
    bench.load();
    QLineEdit *field = bench.window.findChild<QLineEdit *>(QStringLiteral("suchbegriff"));
    const QString texts[] = {QStringLiteral("straß"), QStringLiteral("größe"), QStringLiteral("привет w")};
    // The first search builds the search index; keystrokes after it are measured.
    field->setText(QStringLiteral("x"));
    int i = 0;
    for (auto _ : state)
        field->setText(texts[i++ % 3]);
}

void BM_KeyOperations(benchmark::State &state)
{
    BenchWindow bench(int(state.range(0)));
    bench.load();
    MainWindow &window = bench.window;
    int i = 0;
    for (auto _ : state) {
        // Add, show, rename and drop one key: four operations.
        const QString name = QStringLiteral("section50.bench%1").arg(i++);
        window.newKeyDialog()->setKeyName(name);
        window.newKeyRequestExecute();
        window.lpKeyChange();
        window.renameKeyDialog()->setKeyName(name + QStringLiteral("x"));
        window.renameKeyRequestExecute();
        window.dropActionExecute();
    }
    state.SetItemsProcessed(state.iterations() * 4);
}

void BM_Checks(benchmark::State &state)
{
    LanguagePack pack;
    pack.load(packFile(int(state.range(0))));
    for (auto _ : state) {
        benchmark::DoNotOptimize(checkForDuplicates(pack.keys().names()));
        benchmark::DoNotOptimize(checkKeySyntax(pack.keys().names()));
    }
}

// Files shaped to make loading slow; each must load or be refused quickly.
enum Hostile { kCaseVariants, kKeyAttributes, kRootAttributes, kAttributeDefaults };

QByteArray hostilePack(int shape)
{
    QByteArray text = "<languagepack project=\"p\" name=\"n\" lang=\"de\" version=\"1\" date=\"d\"";
    QByteArray doctype;
    if (shape == kAttributeDefaults) {
        doctype = "<!DOCTYPE languagepack [";
        for (int i = 0; i < 5000; ++i)
            doctype += "<!ATTLIST key a" + QByteArray::number(i) + " CDATA \"x\">";
        doctype += "]>";
    }
    if (shape == kRootAttributes)
        for (int i = 0; i < 100000; ++i)
            text += " a" + QByteArray::number(i) + "=\"x\"";
    text += "><content>";
    if (shape == kCaseVariants || shape == kAttributeDefaults) {
        // Every key spelled in upper and lower case: 100,000 variants.
        for (int i = 0; i < 50000; ++i) {
            const QByteArray name = "Key" + QByteArray::number(i);
            for (const QByteArray &spelling : {name, name.toLower()})
                text += "<key id=\"" + spelling + "\"><value>v</value><comment/></key>";
        }
    }
    if (shape == kKeyAttributes) {
        text += "<key id=\"k\"";
        for (int i = 0; i < 400000; ++i)
            text += " a" + QByteArray::number(i) + "=\"x\"";
        text += "><value>v</value></key>";
    }
    return doctype + text + "</content></languagepack>";
}

// Loading or refusing a hostile file; a refusal counts as done.
void BM_LoadHostile(benchmark::State &state)
{
    const QString path = folder().filePath(QStringLiteral("hostile%1.xml").arg(state.range(0)));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(hostilePack(int(state.range(0))));
    file.close();
    LanguagePack pack;
    for (auto _ : state) {
        try {
            pack.load(path);
        } catch (const Error &) {
        }
    }
}

void sizes(benchmark::internal::Benchmark *b)
{
    b->Arg(10000)->Arg(100000);
    if (qEnvironmentVariableIntValue("WORDLOOM_BENCH_MAX") >= 1000000)
        b->Arg(1000000);
    // Medians of repeated runs; one run on a shared machine says little.
    b->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);
}

} // namespace

BENCHMARK(BM_LibxmlParseAndDecode)->Apply(sizes);
BENCHMARK(BM_LoadDocument)->Apply(sizes);
BENCHMARK(BM_LoadWindow)->Apply(sizes);
BENCHMARK(BM_LibxmlBuildAndSerialize)->Apply(sizes);
BENCHMARK(BM_Save)->Apply(sizes);
BENCHMARK(BM_SearchKeystroke)->Apply(sizes);
BENCHMARK(BM_KeyOperations)->Apply(sizes);
BENCHMARK(BM_Checks)->Apply(sizes);
BENCHMARK(BM_LoadHostile)
    ->Arg(kCaseVariants)
    ->Arg(kKeyAttributes)
    ->Arg(kRootAttributes)
    ->Arg(kAttributeDefaults)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

int main(int argc, char **argv)
{
    // wordloom-bench --generate KEYS FILE writes a generated pack for trying by hand.
    if (argc == 4 && qstrcmp(argv[1], "--generate") == 0) {
        QFile file(QString::fromLocal8Bit(argv[3]));
        return file.open(QIODevice::WriteOnly) && file.write(generatePack(atoi(argv[2]))) > 0 ? 0 : 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
