#include "document/hashlist.h"
#include "document/keylist.h"
#include "document/searchresults.h"

#include <gtest/gtest.h>
#include <map>
#include <random>

using namespace Wordloom;

namespace {

QStringList lines(const Hashlist &list)
{
    QStringList result;
    for (qsizetype i = 0; i < list.count(); ++i)
        result.append(list.lineAt(i));
    return result;
}

QStringList namesContaining(const Hashlist &list, const QString &text)
{
    QStringList result;
    for (const qint32 pos : list.linesContaining(text))
        result.append(list.lineName(pos));
    return result;
}

} // namespace

TEST(Hashlist, LooksUpByUpperCaseInEveryScriptAndKeepsNamesWithEquals)
{
    // Names are equal when upper-cased character by character: the dotless
    // i and the long s are their Latin letters, the Kelvin sign and capital
    // sharp s stay apart from k and ß, outside the BMP too.
    struct Row {
        const char16_t *name;
        const char16_t *other;
        bool equal;
    };
    const Row table[] = {{u"title", u"TITLE", true}, {u"größe", u"GRÖßE", true}, {u"Ελληνικά", u"ΕΛΛΗΝΙΚΆ", true},
        {u"привет", u"ПРИВЕТ", true}, {u"a=b", u"A=B", true}, {u"\u212Aelvin", u"kelvin", false},
        {u"\u017Fchon", u"SCHON", true}, {u"Σοφιας", u"σοφιασ", true}, {u"\U00010400", u"\U00010428", true},
        {u"d\u0131ff", u"DIFF", true}, {u"ma\u00DF", u"MA\u1E9E", false}, {u"\u2126hm", u"\u03C9hm", false}};
    Hashlist list;
    for (const Row &row : table)
        list.setValue(QStringView(row.name).toString(), QStringLiteral("x=%1").arg(list.count()));
    for (qsizetype i = 0; i < qsizetype(std::size(table)); ++i) {
        const QString other = QStringView(table[i].other).toString();
        EXPECT_EQ(list.value(other), table[i].equal ? QStringLiteral("x=%1").arg(i) : QString()) << i;
        EXPECT_EQ(namesEqual(table[i].name, other), table[i].equal) << i;
        EXPECT_EQ(list.nameAt(i), QStringView(table[i].name).toString()) << "lines stay in the order they were added";
    }
    // ß has no simple upper-case partner; a name is never cut at its "=".
    for (const char *missing : {"GRÖSSE", "a", "missing"})
        EXPECT_FALSE(list.contains(QString::fromUtf8(missing))) << missing;
    EXPECT_EQ(list.valueAt(4), QStringLiteral("x=4"));
    EXPECT_EQ(list.lineAt(4), QStringLiteral("a=b=x=4"));
}

TEST(KeyNames, OrderKeysAndEqualityAgreeOnHardLetters)
{
    // Random names of letters whose folding and upper case disagree.
    const QString alphabet = QStringLiteral(u"aAiI\u0131\u0130kK\u212AsS\u017F\u00DF\u1E9E\u03C9\u03A9\u2126_z\uE000")
        + QStringLiteral(u"\U00010400\U00010428");
    const QList<uint> letters = alphabet.toUcs4();
    std::mt19937 random(7);
    std::vector<QString> names;
    for (int n = 0; n < 200; ++n) {
        QList<uint> name;
        for (int i = int(random() % 4); i >= 0; --i)
            name.append(letters[qsizetype(random() % letters.size())]);
        names.push_back(QString::fromUcs4(reinterpret_cast<const char32_t *>(name.constData()), name.size()));
    }
    const auto upper = [](const QString &name) {
        QList<uint> ucs4 = name.toUcs4();
        for (uint &c : ucs4)
            c = QChar::toUpper(c);
        return ucs4;
    };
    const auto sign = [](int c) { return (c > 0) - (c < 0); };
    for (const QString &a : names) {
        for (const QString &b : names) {
            const int order = compareNames(a, b);
            ASSERT_EQ(order == 0, upper(a) == upper(b)) << qPrintable(a) << " " << qPrintable(b);
            ASSERT_EQ(namesEqual(a, b), order == 0) << qPrintable(a) << " " << qPrintable(b);
            ASSERT_EQ(sign(order), sign(nameKey(a).compare(nameKey(b)))) << qPrintable(a) << " " << qPrintable(b);
            ASSERT_EQ(sign(order), -sign(compareNames(b, a)));
            // Without the dotless i, names that fold apart keep the order of their folding.
            const QString fa = a.toCaseFolded();
            const QString fb = b.toCaseFolded();
            if (!a.contains(QChar(0x131)) && !b.contains(QChar(0x131)) && fa != fb) {
                ASSERT_EQ(sign(order), sign(fa.compare(fb))) << qPrintable(a) << " " << qPrintable(b);
            }
        }
    }
    // Sorted, the names equal to one another stand together, and find()
    // gives the first of them.
    KeyList::sort(names);
    ASSERT_TRUE(std::is_sorted(names.begin(), names.end(), KeyList::lessThan));
    KeyList list;
    list.assign(names);
    for (qsizetype row = 0; row < list.count(); ++row) {
        const qsizetype first = list.find(list.at(row));
        ASSERT_LE(first, row);
        ASSERT_GE(first + list.equalRows(list.at(row)), row + 1);
        ASSERT_TRUE(first == 0 || !namesEqual(list.at(first - 1), list.at(row)));
    }
}

TEST(Hashlist, AssignmentReplacesInPlaceWithTheNameAsNowGivenAndEmptyRemoves)
{
    Hashlist list;
    list.setValue(QStringLiteral("one"), QStringLiteral("1"));
    list.setValue(QStringLiteral("two"), QStringLiteral("2"));
    list.setValue(QStringLiteral("three"), QStringLiteral("3"));

    list.setValue(QStringLiteral("TWO"), QStringLiteral("zwei"));
    EXPECT_EQ(lines(list),
        (QStringList{QStringLiteral("one=1"), QStringLiteral("TWO=zwei"), QStringLiteral("three=3")}));
    EXPECT_EQ(list.value(QStringLiteral("two")), QStringLiteral("zwei"));

    list.setValue(QStringLiteral("Two"), QString());
    EXPECT_EQ(lines(list), (QStringList{QStringLiteral("one=1"), QStringLiteral("three=3")}));
    list.remove(QStringLiteral("nothing"));
    list.setValue(QStringLiteral("nothing"), QString());
    EXPECT_EQ(list.count(), 2);

    list.setValue(QStringLiteral("two"), QStringLiteral("again"));
    EXPECT_EQ(lines(list).last(), QStringLiteral("two=again")) << "a removed name comes back at the end";

    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.value(QStringLiteral("one")), QString());
}

TEST(Hashlist, ManyRemovalsKeepOrderAndIndexesConsistent)
{
    Hashlist list;
    for (int i = 0; i < 1000; ++i)
        list.setValue(QStringLiteral("k%1").arg(i), QString::number(i));
    list.linesContaining(QStringLiteral("x"));
    // Two thirds go, so the slots are compacted on the way.
    for (int i = 0; i < 1000; ++i)
        if (i % 3)
            list.remove(QStringLiteral("K%1").arg(i));
    EXPECT_EQ(namesContaining(list, QStringLiteral("99")),
        QStringLiteral("k399 k699 k99 k990 k993 k996 k999").split(QLatin1Char(' ')));
    ASSERT_EQ(list.count(), 334);
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(list.contains(QStringLiteral("k%1").arg(i)), i % 3 == 0);
        if (i % 3 == 0) {
            EXPECT_EQ(list.lineAt(i / 3), QStringLiteral("k%1=%1").arg(i));
        }
    }
}

TEST(Hashlist, FewSharedValuesReadBackAsTextsDoBeforeAndAfterANinthValue)
{
    // A list of few distinct values keeps a byte a line until a ninth value
    // comes in; every step reads back as it would with one text a line.
    struct Step {
        const char *name;
        const char *value;
        bool restore = false;
    };
    const Step steps[] = {{"a", "1"}, {"b", "0"}, {"c", "1"}, {"B", "1"}, {"a", ""}, {"d", "0"}, {"a", "0", true},
        {"c", ""}, {"e", "x2"}, {"f", "x3"}, {"g", "x4"}, {"h", "x5"}, {"i", "x6"}, {"j", "x7"}, {"k", "x8"},
        {"d", "x9"}, {"c", "1", true}, {"e", "0"}};
    for (const bool keepRemoved : {false, true}) {
        SCOPED_TRACE(keepRemoved);
        Hashlist list;
        list.setKeepRemoved(keepRemoved);
        // The lines by position, a removed one with an empty value.
        std::vector<std::pair<QString, QString>> model;
        std::map<QString, qsizetype> removedAt;
        for (const Step &step : steps) {
            SCOPED_TRACE(step.name);
            const QString name = QString::fromUtf8(step.name);
            const QString value = QString::fromUtf8(step.value);
            const auto at = std::find_if(model.begin(), model.end(),
                [&](const auto &line) { return !line.second.isEmpty() && namesEqual(line.first, name); });
            if (step.restore) {
                list.restore(removedAt[name], name, value, nameHash(name));
                if (keepRemoved)
                    model[size_t(removedAt[name])].second = value;
                else
                    model.emplace_back(name, value);
            } else if (value.isEmpty()) {
                removedAt[name] = list.setValue(name, value);
                if (keepRemoved)
                    at->second.clear();
                else
                    model.erase(at);
            } else if (at != model.end()) {
                list.setValue(name, value);
                *at = {name, value};
            } else {
                list.setValue(name, value);
                model.emplace_back(name, value);
            }
            QStringList expected;
            for (const auto &[lineName, lineValue] : model)
                if (!lineValue.isEmpty())
                    expected.append(lineName + QLatin1Char('=') + lineValue);
            EXPECT_EQ(lines(list), expected);
            EXPECT_EQ(list.value(name), value);
        }
    }
    // Compacting moves the bytes along with the names.
    Hashlist options;
    for (int i = 0; i < 300; ++i)
        options.setValue(QStringLiteral("k%1").arg(i), QString::number(i % 2));
    for (int i = 0; i < 300; ++i)
        if (i % 3)
            options.remove(QStringLiteral("k%1").arg(i));
    ASSERT_EQ(options.count(), 100);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(options.lineAt(i), QStringLiteral("k%1=%2").arg(3 * i).arg(3 * i % 2));
}

TEST(Hashlist, SearchFollowsEveryChangeOfTheIndexedLines)
{
    const auto search
        = [](const Hashlist &list, const char *text) { return namesContaining(list, QString::fromUtf8(text)); };
    Hashlist list;
    list.setValue(QStringLiteral("Beta"), QStringLiteral("Größe ändern"));
    list.setValue(QStringLiteral("alpha"), QStringLiteral("GRÖSSE"));
    list.setValue(QStringLiteral("gamma"), QStringLiteral("Straße"));
    // Lines no search here finds, so a few hits are narrowed down.
    for (int i = 0; i < 20; ++i)
        list.setValue(QStringLiteral("z%1").arg(i), QStringLiteral("0"));
    // An index built apart is taken only while the list is unchanged.
    const std::shared_ptr<Hashlist::IndexBuild> stale = list.prepareSearchIndex();
    ASSERT_TRUE(list.takeSnapshot(*stale));
    stale->run();
    list.setValue(QStringLiteral("gamma"), QStringLiteral("Straße"));
    EXPECT_FALSE(list.adoptSearchIndex(*stale));
    // A snapshot taken in parts starts over when the list changes between
    // them.
    const std::shared_ptr<Hashlist::IndexBuild> fresh = list.prepareSearchIndex();
    EXPECT_FALSE(list.takeSnapshot(*fresh, 5));
    list.setValue(QStringLiteral("z0"), QStringLiteral("Grölen"));
    EXPECT_FALSE(list.takeSnapshot(*fresh, 20));
    EXPECT_TRUE(list.takeSnapshot(*fresh, 5));
    fresh->run();
    EXPECT_TRUE(list.adoptSearchIndex(*fresh));
    ASSERT_TRUE(list.isSearchReady());
    EXPECT_EQ(search(list, "GRÖl"), QStringList{QStringLiteral("z0")});
    list.setValue(QStringLiteral("z0"), QStringLiteral("0"));
    EXPECT_EQ(search(list, "GRÖ"), (QStringList{QStringLiteral("alpha"), QStringLiteral("Beta")}));
    // A longer text looks only at the last hits, until a change.
    EXPECT_EQ(search(list, "GRÖß"), QStringList{QStringLiteral("Beta")});
    list.setValue(QStringLiteral("delta"), QStringLiteral("größer"));
    EXPECT_EQ(search(list, "GRÖße"), (QStringList{QStringLiteral("Beta"), QStringLiteral("delta")}));
    list.remove(QStringLiteral("delta"));

    list.setValue(QStringLiteral("gamma"), QStringLiteral("Straße und Weg")); // longer: appended
    list.setValue(QStringLiteral("beta"), QStringLiteral("Ärger")); // new value, new spelling (shorter: in place)
    list.setValue(QStringLiteral("ALPHA"), QStringLiteral("GRÖSSE")); // new spelling only
    list.setValue(QStringLiteral("Delta"), QStringLiteral("ärgerlich"));
    list.remove(QStringLiteral("GAMMA"));
    EXPECT_EQ(search(list, "grö"), QStringList{QStringLiteral("ALPHA")});
    EXPECT_EQ(search(list, "ÄRG"), (QStringList{QStringLiteral("beta"), QStringLiteral("Delta")}));
    EXPECT_EQ(search(list, "straß"), QStringList());
    EXPECT_EQ(search(list, "e"),
        (QStringList{QStringLiteral("ALPHA"), QStringLiteral("beta"), QStringLiteral("Delta")}));
    EXPECT_EQ(search(list, ""), QStringList()) << "the empty text finds nothing";
    // In its case, kept through a change of case alone.
    const auto inCase = [&](const char *text) {
        QStringList names;
        for (const qint32 pos : list.linesContainingInCase(QString::fromUtf8(text)))
            names << list.lineName(pos);
        return names;
    };
    list.setValue(QStringLiteral("beta"), QStringLiteral("ÄRGER"));
    EXPECT_EQ(inCase("g"), QStringList{QStringLiteral("Delta")});
    EXPECT_EQ(inCase("G"), (QStringList{QStringLiteral("ALPHA"), QStringLiteral("beta")}));
    EXPECT_EQ(inCase("RG"), (QStringList{QStringLiteral("beta")}));
    EXPECT_EQ(inCase("rg"), (QStringList{QStringLiteral("Delta")}));
    // Half a pair typed first holds no whole one.
    list.setValue(QStringLiteral("smile"), QStringLiteral("😀 x"));
    EXPECT_EQ(inCase("😀"), QStringList{QStringLiteral("smile")});
    EXPECT_EQ(list.linesContainingInCase(QStringLiteral("😀").left(1)).size(), 0u);
    EXPECT_EQ(inCase("😀 x"), QStringList{QStringLiteral("smile")});
}

TEST(KeyList, SortsIgnoringCaseWithExactTiesAndFindsIgnoringCase)
{
    std::vector<QString> names;
    for (const char *name : {"beta", "Alpha", "alpha", "ALPHA", "Ärger", "zeta", "äRGER", "Ωmega", "ωmega", "Straße",
             "STRASSE", "日本", "a=b", "", "Zeta", "𝐀x", "_under", "10", "9"})
        names.push_back(QString::fromUtf8(name));
    std::vector<QString> expected = names;
    std::stable_sort(expected.begin(), expected.end(), KeyList::lessThan);
    KeyList::sort(names);
    EXPECT_EQ(names, expected);

    KeyList list;
    list.assign(names);
    EXPECT_TRUE(namesEqual(list.at(list.find(QStringLiteral("ÄRGER"))), QStringLiteral("ärger")));
    EXPECT_EQ(list.find(QStringLiteral("ωMEGA")), list.find(QStringLiteral("Ωmega")));
    EXPECT_EQ(list.find(QStringLiteral("missing")), -1);
    EXPECT_EQ(list.at(list.insert(QStringLiteral("BETA"))), QStringLiteral("BETA"));
    const std::vector<QString> after = list.names();
    EXPECT_TRUE(std::is_sorted(after.begin(), after.end(), KeyList::lessThan));

    // A renamed row goes where dropping it and adding the new name would.
    for (size_t row = 0; row < after.size(); ++row) {
        for (const QString &name : {QString(), QStringLiteral("alpha"), QStringLiteral("BETA"), QStringLiteral("zz")}) {
            std::vector<QString> expected = after;
            expected.erase(expected.begin() + qsizetype(row));
            expected.insert(std::upper_bound(expected.begin(), expected.end(), name, KeyList::lessThan), name);
            list.assign(after);
            EXPECT_EQ(list.at(list.rename(qsizetype(row), name)), name);
            EXPECT_EQ(list.names(), expected) << row << " " << name.toStdString();
        }
    }
}

TEST(Hashlist, SearchResultsKeepTheNamesFoundWhenPositionsChange)
{
    const std::function<void(Hashlist &)> relayouts[] = {
        [](Hashlist &list) {
            for (int i = 0; i < 80; ++i)
                list.remove(QStringLiteral("k%1").arg(i));
        },
        [](Hashlist &list) { list.clear(); },
        [](Hashlist &list) {
            Hashlist other;
            list.swap(other);
        },
        [](Hashlist &list) { list = Hashlist(); },
        [](Hashlist &list) { Hashlist taken(std::move(list)); },
    };
    for (const auto &relayout : relayouts) {
        Hashlist list;
        for (int i = 0; i < 100; ++i)
            list.setValue(QStringLiteral("k%1").arg(i), QStringLiteral("v%1").arg(i));
        SearchResults results(list);
        list.setBeforeRelayout([&] { results.keepNames(); });
        const auto shown = [&] {
            QStringList names;
            for (int row = 0; row < results.rowCount(); ++row)
                names.append(results.index(row).data().toString());
            return names.join(QLatin1Char(' '));
        };
        results.show(list.linesContaining(QStringLiteral("V9")));
        const QString found = QStringLiteral("k9 k90 k91 k92 k93 k94 k95 k96 k97 k98 k99");
        EXPECT_EQ(shown(), found);
        list.remove(QStringLiteral("k95"));
        relayout(list);
        for (int i = 0; i < 100; ++i)
            list.setValue(QStringLiteral("new%1").arg(i), QStringLiteral("x"));
        EXPECT_EQ(shown(), found);
    }
}

TEST(Hashlist, SearchFindsWhatAPlainSubstringTestFinds)
{
    // Few letters make many near misses for the byte filter; extending
    // needles go through the narrowing of the last hits; a large list is
    // searched in two halves at once.
    struct Row {
        int lines, maxLength, minNeedle, rounds;
    };
    for (const Row row : {Row{300, 60, 1, 200}, Row{70000, 300, 6, 12}}) {
        SCOPED_TRACE(row.lines);
        std::mt19937 random(7);
        const auto text = [&](int length) {
            QString t;
            for (int i = 0; i < length; ++i)
                t.append(QLatin1Char("abc"[random() % 3]));
            return t;
        };
        Hashlist list;
        std::vector<QString> names;
        for (int i = 0; i < row.lines; ++i) {
            names.push_back(QStringLiteral("k%1").arg(i, 5, 10, QLatin1Char('0')));
            list.setValue(names.back(), text(1 + int(random() % row.maxLength)));
        }
        for (int round = 0; round < row.rounds; ++round) {
            const QString needle = text(row.minNeedle + round % 5);
            QStringList expected;
            for (const QString &name : names)
                if (list.value(name).contains(needle))
                    expected.append(name);
            EXPECT_EQ(namesContaining(list, needle), expected) << needle.toStdString();
        }
    }
}
