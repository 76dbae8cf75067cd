// Speed of loading, saving, searching, key operations and checks, each next
// to the raw libxml2 work it is measured against.
//   build/bin/wordloom-bench                      10k and 100k keys
//   WORDLOOM_BENCH_MAX=1000000 build/bin/wordloom-bench   adds 1M keys
//   build/bin/wordloom-bench --generate 100000 pack.xml    writes a pack
#include "bench/packgenerator.h"
#include "bench/scriptedprompts.h"
#include "checks/keychecks.h"
#include "document/clock.h"
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

QByteArray packBytes(int keys)
{
    QFile file(packFile(keys));
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

QByteArrayView utf8(const xmlChar *s)
{
    return QByteArrayView(reinterpret_cast<const char *>(s));
}

// libxml2 parsing a pack and decoding every key's texts: the yardstick for loading.
void BM_LibxmlParseAndDecode(benchmark::State &state)
{
    const QByteArray bytes = packBytes(int(state.range(0)));
    for (auto _ : state) {
        xmlDocPtr doc = xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr, XML_PARSE_NONET);
        std::vector<QString> decoded;
        for (xmlNodePtr content = xmlDocGetRootElement(doc)->children; content; content = content->next) {
            for (xmlNodePtr key = content->children; key; key = key->next) {
                for (xmlAttrPtr a = key->properties; a; a = a->next)
                    decoded.push_back(decodeKeyTextUtf8(utf8(a->children->content)));
                for (xmlNodePtr child = key->children; child; child = child->next)
                    if (child->children)
                        decoded.push_back(decodeKeyTextUtf8(utf8(child->children->content)));
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

// libxml2 building and serializing a tree of the same keys: the yardstick for saving.
void BM_LibxmlBuildAndSerialize(benchmark::State &state)
{
    LanguagePack pack;
    pack.load(packFile(int(state.range(0))));
    for (auto _ : state) {
        xmlDocPtr doc = xmlNewDoc(BAD_CAST "1.0");
        xmlNodePtr root = xmlNewDocNode(doc, nullptr, BAD_CAST "languagepack", nullptr);
        xmlDocSetRootElement(doc, root);
        xmlNodePtr content = xmlNewChild(root, nullptr, BAD_CAST "content", nullptr);
        for (const QString &name : pack.keys().names()) {
            xmlNodePtr key = xmlNewChild(content, nullptr, BAD_CAST "key", nullptr);
            xmlSetProp(key, BAD_CAST "id", BAD_CAST encodeKeyText(name).toUtf8().constData());
            xmlSetProp(key, BAD_CAST "encodeHTML", BAD_CAST pack.data().hashlistHTML.value(name).toUtf8().constData());
            xmlSetProp(key, BAD_CAST "preserveLinebreaks", BAD_CAST pack.data().hashlistBreaks.value(name).toUtf8().constData());
            xmlSetProp(key, BAD_CAST "unixNewline", BAD_CAST pack.data().hashlistLinebreaks.value(name).toUtf8().constData());
            xmlNewTextChild(key, nullptr, BAD_CAST "value", BAD_CAST encodeKeyText(pack.data().hashlistKeys.value(name)).toUtf8().constData());
            xmlNewTextChild(key, nullptr, BAD_CAST "comment", BAD_CAST encodeKeyText(pack.data().hashlistComments.value(name)).toUtf8().constData());
        }
        xmlChar *out = nullptr;
        int size = 0;
        xmlDocDumpMemoryEnc(doc, &out, &size, "UTF-8");
        QFile file(folder().filePath(QStringLiteral("raw.xml")));
        file.open(QIODevice::WriteOnly);
        file.write(reinterpret_cast<const char *>(out), size);
        xmlFree(out);
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

void sizes(benchmark::internal::Benchmark *b)
{
    b->Arg(10000)->Arg(100000);
    if (qEnvironmentVariableIntValue("WORDLOOM_BENCH_MAX") >= 1000000)
        b->Arg(1000000);
    b->Unit(benchmark::kMillisecond);
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
