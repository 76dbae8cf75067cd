// Speed of loading, saving, searching, key operations and checks, medians
// of three runs. Plain libxml2, the yardstick, is timed by the referee in
// ../shared/perf, not here.
//   build/bin/wordloom-bench                      10k and 100k keys
//   WORDLOOM_BENCH_MAX=1000000 build/bin/wordloom-bench   adds 1M keys
//   build/bin/wordloom-bench --generate 100000 pack.xml    writes a pack
#include "bench/packgenerator.h"
#include "bench/scriptedprompts.h"
#include "checks/keychecks.h"
#include "document/clock.h"
#include "document/error.h"
#include "document/languagepack.h"
#include "editor/mainwindow.h"
#include "editor/newkeydialog.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

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

BENCHMARK(BM_LoadDocument)->Apply(sizes);
BENCHMARK(BM_LoadWindow)->Apply(sizes);
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
