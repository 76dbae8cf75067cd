#include "checks/referencecounts.h"
#include "document/error.h"
#include "document/journal.h"
#include "document/languagepack.h"
#include "document/progress.h"
#include "document/recovery.h"
#include "plugins/exportrun.h"

#include "../support/coretest.h"

#include <QDir>
#include <QDirIterator>
#include <QSignalSpy>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryFile>
#include <csignal>
#include <functional>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Wordloom;

namespace {

const QByteArray kPack = "<languagepack name='app' lang='de' version='1' date='d' project='demo'><content>"
                         "<key id='a' encodeHTML='1' preserveLinebreaks='0' unixNewline='1'><value>A</value>"
                         "<comment>note</comment></key><key id='b'><value>B</value></key></content></languagepack>";

class LanguagePackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeBytes(dir.filePath(QStringLiteral("de.xml")), kPack);
        pack.load(dir.filePath(QStringLiteral("de.xml")));
    }
    QStringList lines() const { return listLines(pack.data()); }
    QStringList names() const { return QStringList(pack.keys().names().begin(), pack.keys().names().end()); }

    QTemporaryDir dir;
    LanguagePack pack;
};

// Every script, astral characters, what cp1252 leaves undefined, markup
// characters and the byte order mark.
const QString kHard
    = QStringLiteral("abc äöüß éçñ Привет Ελληνικά Σσς 日本語한국어 😀𝄞\U0010FFFF \u0081\u008D\u008F\u0090\u009D€‚ƒ„…ŠŒŽ"
                     " = \"' <>&; \uFEFF\uFFFD\uE000\uD7FF");

// The model holds line breaks as CR LF; a lone CR or LF reads back so.
QString crlf(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'))
        .replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}

class RoundTrip : public ::testing::TestWithParam<const char *> {};

const QByteArray kOld
    = "<languagepack name='alt'><content><key id='a'><value>alt</value></key></content></languagepack>";

// Runs the work in a forked child, so limits and signals set there stay
// there; returns what it reports, or why it did not finish.
std::string inChild(const std::function<std::string()> &work)
{
    QTemporaryFile report;
    EXPECT_TRUE(report.open());
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string text = work();
        _exit(::write(report.handle(), text.data(), text.size()) == ssize_t(text.size()) ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "child ended with status " + std::to_string(status);
    return readBytes(report.fileName()).toStdString();
}

// Saves a modified pack over the target, then exports it there; reports how
// the save failed wrongly, or else the export's message.
std::string failedSave(const QString &from, const QString &target, const std::function<void()> &before)
{
    return inChild([&] {
        LanguagePack pack;
        pack.load(from);
        pack.commit(QStringLiteral("a"), KeyEntry{QString(4000, QLatin1Char('n')), {}, {}, {}, {}});
        before();
        try {
            pack.write(target, pack.info());
            return std::string("saved");
        } catch (const Error &error) {
            const QString frame = QStringLiteral("Die Datei \"%1\" konnte nicht gespeichert werden: ").arg(target);
            if (!error.message().startsWith(frame))
                return "message: " + error.message().toStdString();
        }
        if (!pack.isModified() || pack.path() != from)
            return std::string("the pack counts as saved");
        try {
            runExport(QStringLiteral(WORDLOOM_JSON_PLUGIN), pack.data(), [&](const ExportOffer &) { return target; });
            return std::string("exported");
        } catch (const Error &error) {
            return error.message().toStdString();
        }
    });
}

} // namespace

TEST_F(LanguagePackTest, KeyOperationsKeepTheFiveListsAndTheKeyListInStep)
{
    QSignalSpy saved(&pack, &LanguagePack::modifiedChanged);
    EXPECT_TRUE(pack.isSaved());

    // Rename carries comment and options; a clash with another key is refused.
    EXPECT_EQ(pack.renameKey(QStringLiteral("a"), 0, QStringLiteral("B"), QStringLiteral("x")), -1);
    EXPECT_TRUE(pack.isSaved()) << "a refused rename changes nothing";
    EXPECT_EQ(pack.renameKey(QStringLiteral("a"), 0, QStringLiteral("c"), QStringLiteral("A2")), 1);
    EXPECT_EQ(names(), QStringList({u"b"_s, u"c"_s}));
    EXPECT_EQ(lines(), QStringList({u"k b=B"_s, u"k c=A2"_s, u"c c=note"_s, u"h c=1"_s, u"b c=0"_s, u"l c=1"_s}));
    EXPECT_EQ(saved.count(), 1);
    EXPECT_FALSE(pack.isSaved());

    // Drop removes all five lines and the row.
    pack.dropKey(QStringLiteral("C"), 1);
    EXPECT_EQ(names(), QStringList({u"b"_s}));
    EXPECT_EQ(lines(), QStringList({u"k b=B"_s}));

    // A commit under a name outside the list adds it when there is data.
    EXPECT_EQ(pack.commit(QStringLiteral("z"), KeyEntry()), -1);
    EXPECT_EQ(pack.commit(QStringLiteral("a"), KeyEntry{{}, {}, {}, QStringLiteral("1"), {}}), 0);
    EXPECT_EQ(pack.commit(QStringLiteral("A"), KeyEntry{QStringLiteral("t"), {}, QStringLiteral("0"), {}, {}}), -1);
    EXPECT_EQ(names(), QStringList({u"a"_s, u"b"_s}));
    EXPECT_EQ(pack.entry(QStringLiteral("a")).translation, QStringLiteral("t"));
    EXPECT_EQ(pack.entry(QStringLiteral("a")).preserveLinebreaks, QString());
    EXPECT_EQ(pack.addKey(QStringLiteral("0")), 0);

    pack.write(dir.filePath(QStringLiteral("out.xml")), pack.info());
    EXPECT_TRUE(pack.isSaved());
    EXPECT_EQ(pack.fileName(), QStringLiteral("out.xml"));
    EXPECT_EQ(saved.count(), 2);
    pack.close();
    EXPECT_EQ(pack.commit(QStringLiteral("q"), KeyEntry{QStringLiteral("t"), {}, {}, {}, {}}), -1)
        << "without a pack no name joins the list";
}

TEST_F(LanguagePackTest, ReadsAndWritesCountTheirBytesAndACancelledOneChangesNothing)
{
    const QString path = dir.filePath(QStringLiteral("de.xml"));
    Progress progress;
    const PackContent read = LanguagePack::read(path, &progress);
    EXPECT_EQ(read.keys.size(), 2u);
    EXPECT_EQ(progress.done, kPack.size());
    progress.cancelled = true;
    const QStringList before = lines();
    EXPECT_THROW(LanguagePack::read(path, &progress), Cancelled);
    EXPECT_EQ(lines(), before);

    // Counted on reading, in two halves for many keys, as after adopting.
    QByteArray many("<languagepack><content>");
    for (int i = 0; i < 9000; ++i)
        many += QByteArray("<key id='k") + QByteArray::number(i) + "'><value>" + (i % 3 ? "t" : "") + "</value></key>";
    PackContent content = readPackData(many + "</content></languagepack>");
    LanguagePack::countTranslations(content);
    EXPECT_EQ(content.translatedRows, 6000);
    pack.adopt(std::move(content), path);
    EXPECT_EQ(pack.untranslatedCount(), 3000);
    // Keys sharing an entry: the rows with a translation, as looked up.
    for (const char *keys : {"<key id='a'><value>t</value></key><key id='a'><value/></key>",
             "<key id='a'><value/></key><key id='a'><value>t</value></key>",
             "<key id='a'><value>t</value></key><key id='A'><value>u</value></key><key id='b'/>",
             "<key id='b' encodeHTML='1'/><key id='a'><value>t</value></key><key id='b'><value/></key>"}) {
        PackContent shared = readPackData(QByteArray("<languagepack><content>") + keys + "</content></languagepack>");
        LanguagePack::countTranslations(shared);
        EXPECT_EQ(shared.translatedRows, std::count_if(shared.keys.begin(), shared.keys.end(), [&](const QString &key) {
            return shared.data.hashlistKeys.contains(key);
        })) << keys;
    }

    pack.commit(QStringLiteral("a"), KeyEntry{QString(70000, QLatin1Char('x')), {}, {}, {}, {}});
    Progress writing;
    writing.cancelled = true;
    EXPECT_THROW(pack.writeFile(path, pack.info(), &writing), Cancelled);
    EXPECT_EQ(readBytes(path), kPack);
    EXPECT_TRUE(pack.isModified());
    writing.cancelled = false;
    pack.writeFile(path, pack.info(), &writing);
    EXPECT_EQ(writing.done, QFileInfo(path).size());
    EXPECT_TRUE(pack.isModified()) << "saved only when marked written";
    pack.markWritten(path);
    EXPECT_TRUE(pack.isSaved());
}

// A model of what is hard to carry, committed into a pack of each declared
// encoding, is written with that declaration and loads back the same; a text
// XML cannot carry is refused naming its key, and the pack stays unsaved.
TEST_P(RoundTrip, AModelReadsBackOrIsRefusedNamingTheKey)
{
    const char *encoding = GetParam();
    QTemporaryDir dir;
    const QString start = dir.filePath(QStringLiteral("start.xml")), out = dir.filePath(QStringLiteral("out.xml"));
    QStringEncoder encoder(encoding);
    ASSERT_TRUE(encoder.isValid());
    const QString declaration = QStringLiteral("<?xml version=\"1.0\" encoding=\"%1\"?>").arg(QLatin1String(encoding));
    writeBytes(start, encoder(declaration + QStringLiteral("<languagepack><info>i</info><content/></languagepack>")));
    LanguagePack pack;
    pack.load(start);
    // Odd option values, names in two letter cases, a name listed twice and a long text.
    pack.commit(kHard,
        KeyEntry{kHard, kHard, QStringLiteral("\u00e4 \"<&>\t\r\n"), QStringLiteral(" 1"), QStringLiteral("yes")});
    pack.commit(QStringLiteral("Größe"),
        KeyEntry{QStringLiteral("a\r\nb\rc\nd\n\re\t"), QStringLiteral("\n"), QStringLiteral("1"), QStringLiteral("0"),
            QStringLiteral("10")});
    pack.commit(QStringLiteral("GRÖSSE"),
        KeyEntry{QString(100 * 1024, QChar(u'ü')) + QStringLiteral("\r\nEnde"), {}, {}, {}, QStringLiteral("1")});
    pack.commit(QStringLiteral("title"), KeyEntry{QStringLiteral("t"), {}, {}, {}, {}});
    pack.addKey(QStringLiteral("Title"));
    pack.addKey(QStringLiteral("Title"));
    // And random mixes of the same characters.
    std::mt19937 random{unsigned(qHash(QByteArray(encoding)))};
    const std::u32string pool = (kHard + QStringLiteral("\r\n\t")).toStdU32String();
    const auto mix = [&](unsigned max) {
        std::u32string chars;
        for (unsigned n = random() % (max + 1); n > 0; --n)
            chars += pool[random() % pool.size()];
        return QString::fromStdU32String(chars);
    };
    const QString options[] = {QStringLiteral("1"), QStringLiteral("0"), QString(), QStringLiteral(" 1")};
    for (int i = 0; i < 500; ++i)
        pack.commit(QLatin1Char('k') + mix(12),
            KeyEntry{mix(60), mix(12), options[random() % 4], options[random() % 4], options[random() % 4]});
    const InfoValues info{kHard, kHard + QStringLiteral("\t"), QStringLiteral("de"), QStringLiteral("1.0.0"),
        QStringLiteral("\r\n")};
    pack.write(out, info);
    // Nothing stray, such as a second byte order mark, comes before the keys.
    const QString text = QStringDecoder(encoding)(readBytes(out));
    EXPECT_TRUE(text.startsWith(declaration) && text.contains(QStringLiteral("<content><key")))
        << text.left(300).toStdString();
    LanguagePack back;
    back.load(out);
    EXPECT_EQ(back.info(), info);
    ASSERT_EQ(back.keys().names(), pack.keys().names());
    for (const QString &name : pack.keys().names()) {
        const KeyEntry before = pack.entry(name), after = back.entry(name);
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(after.translation, crlf(before.translation));
        EXPECT_EQ(after.comment, crlf(before.comment));
        EXPECT_EQ(after.encodeHTML, before.encodeHTML);
        EXPECT_EQ(after.preserveLinebreaks, before.preserveLinebreaks);
        EXPECT_EQ(after.unixNewline, before.unixNewline);
    }

    pack.addKey(QStringLiteral("kaputt"));
    int field = 0;
    for (const char32_t c : {0x01, 0x0B, 0x1F, 0xFFFE, 0xFFFF, 0xD800, 0xDC00}) {
        SCOPED_TRACE(unsigned(c));
        KeyEntry entry;
        QString *texts[] = {&entry.translation, &entry.comment, &entry.encodeHTML};
        *texts[field++ % 3] = QStringLiteral("x") + QString::fromStdU32String(std::u32string(1, c));
        pack.commit(QStringLiteral("kaputt"), entry);
        try {
            pack.write(out, info);
            ADD_FAILURE() << "written";
        } catch (const Error &error) {
            EXPECT_TRUE(error.message().contains(QStringLiteral("\"kaputt\""))) << error.message().toStdString();
        }
        EXPECT_TRUE(pack.isModified());
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, RoundTrip, ::testing::Values("UTF-8", "UTF-16", "ISO-8859-1", "windows-1252"),
    [](const auto &info) { return QString::fromLatin1(info.param).remove(QLatin1Char('-')).toStdString(); });

// Each failed save or export keeps the old file byte for byte, leaves no
// temporary file, says what happened and leaves the pack unsaved.
TEST(FaultInjection, AFailedSaveOrExportKeepsTheOldFileAndTheWorkUnsaved)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("packs")), old = folder + QStringLiteral("/pack.xml");
    // Everything under the folder, temporary files included.
    const auto entries = [&] {
        QStringList all;
        for (QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                 QDirIterator::Subdirectories);
             it.hasNext();)
            all << QDir(folder).relativeFilePath(it.next());
        all.sort();
        return all;
    };
    const bool root = geteuid() == 0;
    const struct {
        const char *what;
        QString target, reason;
        std::function<void()> before = [] {};
    } rows[] = {
        {"disk full", old, u"Schreiben fehlgeschlagen: %1 (Datei zu groß)"_s,
            [] {
                signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{512, RLIM_INFINITY};
                setrlimit(RLIMIT_FSIZE, &limit);
            }},
        {"target is a folder", folder + QStringLiteral("/sub"),
            u"Datei kann nicht ersetzt werden: %1 (das Ziel ist ein Ordner)"_s},
        {"folder is a file", old + QStringLiteral("/inner.xml"),
            u"Datei kann nicht angelegt werden: %1 (ein Teil des Pfads ist kein Ordner)"_s},
        {"no such folder", folder + QStringLiteral("/none/new.xml"),
            u"Datei kann nicht angelegt werden: %1 (Ordner nicht gefunden)"_s},
        // Root writes into read-only folders, but not files into /proc.
        {"no files there", root ? QStringLiteral("/proc/self/pack.xml") : folder + QStringLiteral("/sub/x/pack.xml"),
            root ? u"Datei kann nicht angelegt werden: %1 (Ordner nicht gefunden)"_s
                 : u"Datei kann nicht angelegt werden: %1 (keine Berechtigung)"_s,
            [&] { QFile::setPermissions(folder + QStringLiteral("/sub/x"), QFile::ReadOwner | QFile::ExeOwner); }},
        // The folder goes away while the save dialog is open.
        {"folder removed", old, u"Datei kann nicht angelegt werden: %1 (Ordner nicht gefunden)"_s,
            [&] { QDir(folder).removeRecursively(); }},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        QDir().mkpath(folder + QStringLiteral("/sub/x"));
        writeBytes(old, kOld);
        EXPECT_EQ(failedSave(old, row.target, row.before),
            "Export fehlgeschlagen: " + row.reason.arg(row.target).toStdString());
        QFile::setPermissions(folder + QStringLiteral("/sub/x"),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (&row == &std::end(rows)[-1]) {
            EXPECT_FALSE(QFileInfo::exists(folder)) << "nothing made again";
            continue;
        }
        EXPECT_EQ(readBytes(old), kOld);
        EXPECT_EQ(entries(), QStringList({u"pack.xml"_s, u"sub"_s, u"sub/x"_s}));
    }
}

// Random steps on a random pack: each undone and redone gives the same
// file and the same lines in the same order that plug-ins see; undoing all
// gives the pack as loaded; the modified state follows the saved point.
// Random steps of every kind over a small pool of names, letter case
// variants included, as the window makes them.
struct RandomSteps {
    std::mt19937 random{7};
    int pick(int n) { return int(random() % unsigned(n)); }
    QString text() { return pick(3) == 0 ? QString() : kHard.mid(pick(20), pick(8) + 1); }
    QString option() { return QString::fromLatin1(pick(3) == 0 ? "" : pick(2) ? "1" : "0"); }
    QString name()
    {
        static const QString pool[] = {QStringLiteral("a"), QStringLiteral("A"), QStringLiteral("b"),
            QStringLiteral("c"), QStringLiteral("d.e"), QStringLiteral("Ä"), QStringLiteral("x=y")};
        return pool[pick(std::size(pool))];
    }
    KeyEntry entry() { return KeyEntry{text(), text(), option(), option(), option()}; }
    void operator()(LanguagePack &pack)
    {
        const int rows = int(pack.keys().count());
        const QString key = rows > 0 ? pack.keys().at(pick(rows)) : name();
        switch (pick(7)) {
        case 0: pack.commit(pick(4) ? key : name(), entry()); break;
        case 1:
            // As the window does, a key is only added when it is not there.
            if (const QString added = name(); pack.keys().find(added) < 0)
                pack.addKey(added);
            break;
        case 2: pack.dropKey(key, rows > 0 ? pack.keys().find(key) : -1); break;
        case 3:
            pack.renameKey(key, rows > 0 ? pack.keys().find(key) : -1, name() + QString::number(pick(3)), text());
            break;
        case 4: pack.editInfoValue(pick(5), text()); break;
        case 5: {
            // Enough names for the list to take them in one merge.
            std::vector<std::pair<QString, KeyEntry>> keys;
            for (int k = 0, n = pick(2) ? 3 : 90; k < n; ++k)
                keys.emplace_back(name() + QString::number(pick(120)), entry());
            pack.addKeys(QStringLiteral("viele Schlüssel"), keys);
            break;
        }
        default: {
            std::vector<FieldChange> changes;
            for (qsizetype row = 0; row < pack.keys().count(); row += 1 + pick(2))
                changes.push_back({pack.keys().at(row), kKeyFields[pick(5)], text()});
            pack.changeMany(QStringLiteral("viele"), changes);
        }
        }
    }
};

TEST_F(LanguagePackTest, UndoAndRedoOfAnyStepsAreExact)
{
    RandomSteps steps;
    // The comparison with a reference follows every step by the keys it
    // touched and stays what counting anew gives.
    LanguagePack reference;
    reference.adopt(readPackData("<languagepack><content><key id='A'><value>A</value></key><key id='b'><value/>"
                                 "</key><key id='c'><value>x</value></key><key id='C1'><value>y</value></key>"
                                 "<key id='q'><value>q</value></key></content></languagepack>"),
        QStringLiteral("en.xml"));
    ReferenceCounts counts = ReferenceCounts::of(pack, reference);
    QObject::connect(&pack, &LanguagePack::stepDone,
        [&](const PackStep &s) { counts.follow(pack, reference, s, true); });
    QObject::connect(&pack, &LanguagePack::stepRedone,
        [&](const PackStep &s) { counts.follow(pack, reference, s, true); });
    QObject::connect(&pack, &LanguagePack::stepUndone,
        [&](const PackStep &s) { counts.follow(pack, reference, s, false); });
    const QString out = dir.filePath(QStringLiteral("out.xml"));
    const auto snapshot = [&] {
        pack.writeFile(out, pack.info());
        return (QString::fromUtf8(readBytes(out)) + lines().join(u'|') + names().join(u'|')).toStdString();
    };
    std::vector<std::string> states{snapshot()};
    const auto check = [&](int step) {
        const std::string now = snapshot();
        if (pack.history().index() < int(states.size())) {
            ASSERT_EQ(now, states.back()) << "a change without a step, at " << step;
            return;
        }
        pack.undo();
        ASSERT_EQ(snapshot(), states.back()) << "undo of step " << step;
        pack.redo();
        ASSERT_EQ(snapshot(), now) << "redo of step " << step;
        states.push_back(now);
        qsizetype untranslated = 0;
        for (const QString &key : pack.keys().names())
            untranslated += !pack.data().hashlistKeys.contains(key);
        ASSERT_EQ(pack.untranslatedCount(), untranslated) << "after step " << step;
        // Sorted, and no step adds a name equal to another but for case.
        const std::vector<QString> &keys = pack.keys().names();
        ASSERT_TRUE(std::is_sorted(keys.begin(), keys.end(), KeyList::lessThan)) << "after step " << step;
        ASSERT_EQ(std::adjacent_find(keys.begin(), keys.end(), namesEqual), keys.end()) << "after step " << step;
        const ReferenceCounts anew = ReferenceCounts::of(pack, reference);
        ASSERT_EQ(std::tie(counts.missingHere, counts.onlyHere, counts.empty, counts.same),
            std::tie(anew.missingHere, anew.onlyHere, anew.empty, anew.same))
            << "after step " << step;
    };
    for (int i = 0; i < 20; ++i) {
        pack.commit(steps.name() + QString::number(i), steps.entry());
        check(-1);
    }
    int savedAt = 0;
    for (int step = 0; step < 300; ++step) {
        steps(pack);
        check(step);
        if (steps.pick(40) == 0) {
            pack.markWritten(pack.path());
            savedAt = pack.history().index();
        }
        EXPECT_EQ(pack.isModified(), pack.history().index() != savedAt);
    }
    while (pack.canUndo()) {
        pack.undo();
        EXPECT_EQ(pack.isModified(), pack.history().index() != savedAt);
    }
    EXPECT_EQ(snapshot(), states.front());
    EXPECT_TRUE(counts == ReferenceCounts::of(pack, reference));
    while (pack.canRedo())
        pack.redo();
    EXPECT_EQ(snapshot(), states.back());
    EXPECT_TRUE(counts == ReferenceCounts::of(pack, reference));

    // A new step after undo drops what could be redone; a budget drops the
    // oldest steps, and a saved point among them cannot be reached again.
    pack.undo();
    pack.addKey(QStringLiteral("neu"));
    EXPECT_FALSE(pack.canRedo());
    pack.setHistoryBudget(1);
    pack.addKey(QStringLiteral("neu2"));
    pack.undo();
    EXPECT_FALSE(pack.canUndo());
    EXPECT_TRUE(pack.isModified());
}

TEST_F(LanguagePackTest, AJournalReplayedOntoItsBaseGivesTheDocument)
{
    Journal journal(pack, dir.filePath(QStringLiteral("recovery")));
    RandomSteps steps;
    const QString base = pack.path();
    const QString out = dir.filePath(QStringLiteral("out.xml"));
    const auto written = [&](LanguagePack &from) {
        from.writeFile(out, from.info());
        return readBytes(out).toStdString();
    };
    for (int round = 0; round < 20; ++round) {
        for (int i = 0; i < 30; ++i) {
            const int what = steps.pick(10);
            if (what < 3) {
                pack.undo();
            } else if (what < 5) {
                pack.redo();
            } else if (what == 5 && steps.pick(3) == 0) {
                pack.writeFile(base, pack.info());
                pack.markWritten(base);
            } else {
                steps(pack);
            }
        }
        // The journal as a crash would leave it, replayed onto the file.
        const QString copy = dir.filePath(QStringLiteral("copy.journal"));
        QFile::remove(copy);
        ASSERT_EQ(journal.filePath().isEmpty(), pack.isSaved()) << "round " << round;
        LanguagePack recovered;
        recovered.load(base);
        if (!journal.filePath().isEmpty()) {
            journal.sync();
            ASSERT_TRUE(QFile::copy(journal.filePath(), copy));
            const RecoveryResult result = replayJournal(recovered, copy, false);
            EXPECT_EQ(result.end, JournalReading::End::Complete);
            EXPECT_TRUE(result.conflicts.isEmpty()) << result.conflicts.join(u',').toStdString();
        }
        ASSERT_EQ(written(recovered), written(pack)) << "round " << round;
        // The steps that came back undo to the file.
        while (recovered.canUndo())
            recovered.undo();
        LanguagePack file;
        file.load(base);
        ASSERT_EQ(written(recovered), written(file)) << "round " << round;
    }
}

TEST_F(LanguagePackTest, LargeStepsInTheJournalReplayAndACutOneIsLeftOut)
{
    // Steps of many changes go to the journal's writing thread and out in
    // pieces, small steps queue behind them; a cut anywhere keeps exactly
    // the records before it.
    Journal journal(pack, dir.filePath(QStringLiteral("recovery")));
    const QString out = dir.filePath(QStringLiteral("out.xml"));
    const auto written = [&](LanguagePack &from) {
        from.writeFile(out, from.info());
        return readBytes(out).toStdString();
    };
    std::vector<std::string> states{written(pack)};
    std::vector<std::pair<QString, KeyEntry>> keys;
    for (int i = 0; i < 3000; ++i)
        keys.push_back({QStringLiteral("k%1").arg(i), KeyEntry{kHard + QString::number(i), kHard, {}, {}, {}}});
    std::vector<FieldChange> changes;
    for (const auto &key : keys)
        changes.push_back({key.first, KeyField::Translation, key.first + kHard});
    const std::vector<std::function<void()>> steps{[&] { pack.addKeys(QStringLiteral("viele"), keys); },
        [&] {
            pack.commit(QStringLiteral("a"), KeyEntry{QStringLiteral("klein"), {}, {}, {}, {}});
        },
        [&] { pack.changeMany(QStringLiteral("alle"), changes); }, [&] { pack.undo(); }, [&] { pack.redo(); },
        [&] {
            pack.commit(QStringLiteral("b"), KeyEntry{QStringLiteral("zuletzt"), {}, {}, {}, {}});
        }};
    for (const auto &step : steps) {
        step();
        states.push_back(written(pack));
    }
    journal.sync();
    const QByteArray bytes = readBytes(journal.filePath());
    ASSERT_GT(bytes.size(), 2 * JournalCodec::kPiece);
    const QString copy = dir.filePath(QStringLiteral("copy.journal"));
    for (const qsizetype cut : {bytes.size(), bytes.size() - 1, bytes.size() / 2, bytes.size() / 5}) {
        SCOPED_TRACE(cut);
        writeBytes(copy, bytes.left(cut));
        LanguagePack recovered;
        recovered.load(pack.path());
        const RecoveryResult result = replayJournal(recovered, copy, false);
        EXPECT_EQ(result.end, cut == bytes.size() ? JournalReading::End::Complete : JournalReading::End::Cut);
        const auto at = std::find(states.begin(), states.end(), written(recovered));
        ASSERT_NE(at, states.end());
        EXPECT_EQ(*at == states.back(), cut == bytes.size());
        if (cut == bytes.size() - 1) {
            EXPECT_TRUE(*at == states[states.size() - 2]);
        }
    }
}

TEST_F(LanguagePackTest, LargeStepsLeaveTheSearchIndexAsABuildAnewWouldBe)
{
    // Texts of words with hard letters, some longer than a word of case
    // marks; the changes make them equal but for case, shorter and longer,
    // so the index is rewritten in place and appended to.
    std::mt19937 random(11);
    const QStringList words{QStringLiteral("Größe"), QStringLiteral("SS"), QStringLiteral("σς"), QStringLiteral("İx"),
        QStringLiteral("😀a"), QStringLiteral("e"), QStringLiteral("Äpfel")};
    const auto text = [&] {
        QString t;
        for (int n = 1 + int(random() % 24); n > 0; --n)
            t += words[qsizetype(random() % words.size())] + QLatin1Char(' ');
        return t;
    };
    std::vector<std::pair<QString, KeyEntry>> keys;
    for (int i = 0; i < 6000; ++i)
        keys.push_back({QStringLiteral("k%1").arg(i), KeyEntry{text(), text(), {}, {}, {}}});
    pack.addKeys(QStringLiteral("viele"), keys);
    const auto found = [](const Hashlist &list, const QString &needle) {
        QStringList names;
        for (const qint32 pos : list.linesContaining(needle))
            names << list.lineName(pos);
        names << QStringLiteral("| in case:");
        for (const qint32 pos : list.linesContainingInCase(needle))
            names << list.lineName(pos);
        return names;
    };
    const auto expectAsBuiltAnew = [&](const char *when) {
        for (const KeyField field : {KeyField::Translation, KeyField::Comment}) {
            const Hashlist &list = pack.data().list(field);
            Hashlist fresh;
            for (qsizetype i = 0; i < list.count(); ++i)
                fresh.setValue(list.nameAt(i), list.valueAt(i));
            for (const QString &needle : words + QStringList{QStringLiteral("größe s"), QStringLiteral("e e")})
                ASSERT_EQ(found(list, needle), found(fresh, needle)) << when << " " << needle.toStdString();
        }
    };
    expectAsBuiltAnew("after the keys came");
    std::vector<FieldChange> changes;
    for (int i = 0; i < 6000; ++i) {
        const QString &before = keys[size_t(i)].second.translation;
        const QString after[] = {before.toUpper(), before.left(3), before + text()};
        changes.push_back({keys[size_t(i)].first, KeyField::Translation, after[i % 3]});
        if (i % 2)
            changes.push_back({keys[size_t(i)].first, KeyField::Comment, text()});
    }
    pack.changeMany(QStringLiteral("alle"), changes);
    EXPECT_TRUE(pack.data().hashlistKeys.isSearchReady()) << "values alone changed: the index stays";
    expectAsBuiltAnew("after the change");
    pack.undo();
    expectAsBuiltAnew("after its undo");
    pack.redo();
    expectAsBuiltAnew("after its redo");
    // A key respelled and a text taken away among many.
    changes.front().name = changes.front().name.toUpper();
    changes.back().value.clear();
    pack.changeMany(QStringLiteral("neu geschrieben"), changes);
    expectAsBuiltAnew("after a step with a line respelled and one removed");
    pack.undo();
    expectAsBuiltAnew("after that step's undo");
}
