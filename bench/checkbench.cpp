// Speed of the text checks: all checks over a pack with a reference (100k
// and 1M keys), and one key's checks as after "Übernehmen"; medians of five.
//   build-release/bin/wordloom-checkbench
#include "checks/checkregistry.h"
#include "checks/referencecounts.h"
#include "document/languagepack.h"

#include <benchmark/benchmark.h>
#include <ctime>
#include <map>
#include <memory>

using namespace Wordloom;

namespace {

struct Packs {
    std::vector<QString> names;
    KeyData mine, theirs;
};

const char16_t *const kSource[]
    = {u"%d files copied", u"Save \"%s\"?", u"<b>Warning:</b> %1 of %2 done.", u"&Open…", u"Line one\nline two",
        u"Delete {count} items from {folder}?", u"OK", u" Name: ", u"Could not open %s: %s\n", u"100%% complete"};
const char16_t *const kTranslation[]
    = {u"%d Dateien kopiert", u"„%s“ speichern?", u"<b>Warnung:</b> %1 von %2 erledigt.", u"Ö&ffnen…",
        u"Zeile eins\nZeile zwei", u"{count} Einträge aus {folder} löschen?", u"OK", u" Name:",
        u"%s kann nicht geöffnet werden: %s\n", u"100%% fertig"};

const Packs &packs(int keys)
{
    static std::map<int, std::unique_ptr<Packs>> made;
    auto &packs = made[keys];
    if (!packs) {
        packs = std::make_unique<Packs>();
        packs->names.reserve(size_t(keys));
        for (int i = 0; i < keys; ++i) {
            const QString name = QStringLiteral("key.%1").arg(i, 7, 10, QLatin1Char('0'));
            packs->names.push_back(name);
            const int kind = i % 10;
            // A tenth of the keys without a translation.
            if (i % 97 != 0)
                packs->mine.hashlistKeys.setValue(name,
                    QString::number(i) + QStringView(kTranslation[kind]).toString());
            packs->theirs.hashlistKeys.setValue(name, QString::number(i) + QStringView(kSource[kind]).toString());
            packs->mine.hashlistBreaks.setValue(name, QStringLiteral("1"));
        }
    }
    return *packs;
}

std::vector<const CheckDefinition *> allChecks()
{
    std::vector<const CheckDefinition *> all;
    for (const CheckDefinition &check : checkRegistry())
        all.push_back(&check);
    return all;
}

void allChecksOverThePack(benchmark::State &state)
{
    const Packs &p = packs(int(state.range(0)));
    const CheckedPack reference{&p.names, &p.theirs};
    const auto checks = allChecks();
    size_t findings = 0;
    // The CPU time of all threads, which a busy machine does not inflate
    // as it does the wall clock.
    const auto processCpu = [] {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
    };
    const double cpuBefore = processCpu();
    for (auto _ : state)
        findings = checkPack({&p.names, &p.mine}, &reference, checks).size();
    state.counters["findings"] = double(findings);
    state.counters["cpu_ms"] = (processCpu() - cpuBefore) / double(state.iterations());
}
BENCHMARK(allChecksOverThePack)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void oneKeyAfterSubmit(benchmark::State &state)
{
    const Packs &p = packs(1000000);
    const CheckedPack pack{&p.names, &p.mine}, reference{&p.names, &p.theirs};
    const auto checks = allChecks();
    const QString name = p.names[2345];
    std::vector<Finding> findings;
    for (auto _ : state) {
        findings.clear();
        const CheckedText mine = pack.text(name), theirs = reference.text(name);
        checkKey(name, mine, &theirs, checks, findings);
        benchmark::DoNotOptimize(findings.data());
    }
}
BENCHMARK(oneKeyAfterSubmit)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// "Fehlende Schlüssel hinzufügen" at 1M keys: the reference holds every key,
// the pack every other one; adding the half million missing, undoing and
// redoing it, with the reference counts following each step.
void addMissingKeys(benchmark::State &state)
{
    const int keys = int(state.range(0));
    QByteArray mine = "<languagepack><content>", theirs = mine;
    for (int i = 0; i < keys; ++i) {
        const QByteArray key
            = "<key id='key." + QByteArray::number(i) + "'><value>t" + QByteArray::number(i) + "</value></key>";
        theirs += key;
        if (i % 2 == 0)
            mine += key;
    }
    mine += "</content></languagepack>";
    theirs += "</content></languagepack>";
    LanguagePack pack, reference;
    pack.adopt(readPackData(mine), QStringLiteral("de.xml"));
    reference.adopt(readPackData(theirs), QStringLiteral("en.xml"));
    std::vector<std::pair<QString, KeyEntry>> missing;
    for (int i = 1; i < keys; i += 2)
        missing.emplace_back(QStringLiteral("key.%1").arg(i), KeyEntry{});
    ReferenceCounts counts = ReferenceCounts::of(pack, reference);
    QObject::connect(&pack, &LanguagePack::stepDone,
        [&](const PackStep &s) { counts.follow(pack, reference, s, true); });
    QObject::connect(&pack, &LanguagePack::stepUndone,
        [&](const PackStep &s) { counts.follow(pack, reference, s, false); });
    QObject::connect(&pack, &LanguagePack::stepRedone,
        [&](const PackStep &s) { counts.follow(pack, reference, s, true); });
    for (auto _ : state) {
        pack.addKeys(QStringLiteral("Fehlende Schlüssel hinzufügen"), missing);
        pack.undo();
        pack.redo();
        state.PauseTiming();
        pack.undo();
        state.ResumeTiming();
    }
    state.counters["missing"] = double(counts.missingHere);
}
BENCHMARK(addMissingKeys)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);

} // namespace

BENCHMARK_MAIN();
