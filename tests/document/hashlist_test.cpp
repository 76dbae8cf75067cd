#include "document/hashlist.h"
#include "document/keylist.h"

#include <gtest/gtest.h>
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

} // namespace

TEST(Hashlist, LooksUpIgnoringCaseInEveryScriptAndKeepsNamesWithEquals)
{
    Hashlist list;
    list.setValue(QStringLiteral("title"), QStringLiteral("Titel"));
    list.setValue(QStringLiteral("größe"), QStringLiteral("Size"));
    list.setValue(QStringLiteral("Ελληνικά"), QStringLiteral("Greek"));
    list.setValue(QStringLiteral("привет"), QStringLiteral("Hello"));
    list.setValue(QStringLiteral("a=b"), QStringLiteral("x=y\r\nz"));

    EXPECT_EQ(list.value(QStringLiteral("TITLE")), QStringLiteral("Titel"));
    EXPECT_EQ(list.value(QStringLiteral("GRÖSSE")), QString()) << "ß has no simple upper-case partner";
    EXPECT_EQ(list.value(QStringLiteral("GRÖßE")), QStringLiteral("Size"));
    EXPECT_EQ(list.value(QStringLiteral("ΕΛΛΗΝΙΚΆ")), QStringLiteral("Greek"));
    EXPECT_EQ(list.value(QStringLiteral("ПРИВЕТ")), QStringLiteral("Hello"));
    EXPECT_EQ(list.value(QStringLiteral("A=B")), QStringLiteral("x=y\r\nz"));
    EXPECT_EQ(list.value(QStringLiteral("a")), QString()) << "a name is never cut at its '='";
    EXPECT_EQ(list.value(QStringLiteral("missing")), QString());
    // Hash and comparison fold alike, also where folding is not plain
    // upper/lower pairing: Kelvin sign, long s, final sigma, outside the BMP.
    Hashlist folded;
    folded.setValue(QString::fromUtf16(u"\u212Aelvin"), QStringLiteral("1"));
    folded.setValue(QString::fromUtf16(u"\u017Fchon"), QStringLiteral("2"));
    folded.setValue(QString::fromUtf16(u"\u03A3\u03BF\u03C6\u03B9\u03B1\u03C2"), QStringLiteral("3"));
    folded.setValue(QString::fromUtf16(u"\U00010400"), QStringLiteral("4"));
    EXPECT_EQ(folded.value(QStringLiteral("kelvin")), QStringLiteral("1"));
    EXPECT_EQ(folded.value(QStringLiteral("SCHON")), QStringLiteral("2"));
    EXPECT_EQ(folded.value(QString::fromUtf16(u"\u03C3\u03BF\u03C6\u03B9\u03B1\u03C3")), QStringLiteral("3"));
    EXPECT_EQ(folded.value(QString::fromUtf16(u"\U00010428")), QStringLiteral("4"));
    EXPECT_FALSE(list.contains(QStringLiteral("missing")));

    // Lines stay in the order they were added; the plug-in form joins with "=".
    EXPECT_EQ(lines(list), (QStringList{QStringLiteral("title=Titel"), QStringLiteral("größe=Size"),
                               QStringLiteral("Ελληνικά=Greek"), QStringLiteral("привет=Hello"),
                               QStringLiteral("a=b=x=y\r\nz")}));
    EXPECT_EQ(list.nameAt(4), QStringLiteral("a=b"));
    EXPECT_EQ(list.valueAt(4), QStringLiteral("x=y\r\nz"));
}

TEST(Hashlist, AssignmentReplacesInPlaceWithTheNameAsNowGivenAndEmptyRemoves)
{
    Hashlist list;
    list.setValue(QStringLiteral("one"), QStringLiteral("1"));
    list.setValue(QStringLiteral("two"), QStringLiteral("2"));
    list.setValue(QStringLiteral("three"), QStringLiteral("3"));

    list.setValue(QStringLiteral("TWO"), QStringLiteral("zwei"));
    EXPECT_EQ(lines(list), (QStringList{QStringLiteral("one=1"), QStringLiteral("TWO=zwei"), QStringLiteral("three=3")}));
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

TEST(Hashlist, ManyRemovalsKeepOrderAndIndexConsistent)
{
    Hashlist list;
    for (int i = 0; i < 1000; ++i)
        list.setValue(QStringLiteral("k%1").arg(i), QString::number(i));
    for (int i = 0; i < 1000; i += 3)
        list.remove(QStringLiteral("K%1").arg(i));
    ASSERT_EQ(list.count(), 666);
    qsizetype pos = 0;
    for (int i = 0; i < 1000; ++i) {
        if (i % 3 == 0) {
            EXPECT_FALSE(list.contains(QStringLiteral("k%1").arg(i)));
            continue;
        }
        EXPECT_EQ(list.nameAt(pos), QStringLiteral("k%1").arg(i));
        EXPECT_EQ(list.value(QStringLiteral("k%1").arg(i)), QString::number(i));
        ++pos;
    }
}

TEST(Hashlist, SearchIndexMatchesThePlainWalkThroughEveryChange)
{
    // What a search must find: every line whose lowered value holds the
    // needle, by name ignoring case.
    const auto plainWalk = [](const Hashlist &list, const QString &needle) {
        std::vector<QString> found;
        for (qsizetype i = 0; i < list.count(); ++i)
            if (list.valueAt(i).toLower().contains(needle.toLower()))
                found.push_back(list.nameAt(i));
        std::sort(found.begin(), found.end(), KeyList::lessThan);
        return found;
    };
    const auto indexed = [](const Hashlist &list, const QString &needle) {
        const QStringList found = list.namesContaining(needle);
        return std::vector<QString>(found.begin(), found.end());
    };

    std::mt19937 rng(7);
    const QString words[] = {QStringLiteral("Größe"), QStringLiteral("ÄRGER"), QStringLiteral("Straße"),
        QStringLiteral("ΣΟΦΙΑ"), QStringLiteral("привет"), QStringLiteral("日本"), QStringLiteral("plain")};
    const QString needles[] = {QStringLiteral("GRÖ"), QStringLiteral("ärg"), QStringLiteral("σοφ"), QStringLiteral("ПРИ"),
        QStringLiteral("日"), QStringLiteral("e p")};
    Hashlist list;
    for (int round = 0; round < 3000; ++round) {
        const QString name = QStringLiteral("Key%1").arg(rng() % 300);
        const QString spelled = rng() % 2 ? name : name.toUpper();
        const int what = int(rng() % 10);
        if (what < 6)
            list.setValue(spelled, words[rng() % 7] + QLatin1Char(' ') + words[rng() % 7]);
        else
            list.remove(spelled);
        if (round % 97 == 0) {
            for (const QString &needle : needles) {
                SCOPED_TRACE(round);
                EXPECT_EQ(indexed(list, needle), plainWalk(list, needle));
            }
        }
        if (round == 1500) {
            Hashlist other;
            other.swap(list);
            list.swap(other);
        }
    }
    const QString lower = QStringLiteral("already lower");
    EXPECT_EQ(lowerText(lower).constData(), lower.constData()) << "an unchanged text is shared, not copied";
    EXPECT_TRUE(list.namesContaining(QString()).isEmpty()) << "the empty text finds nothing";
    list.clear();
    EXPECT_TRUE(indexed(list, QStringLiteral("e")).empty());
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
    for (size_t i = 1; i < names.size(); ++i)
        EXPECT_FALSE(KeyList::lessThan(names[i], names[i - 1])) << i;

    KeyList list;
    list.assign(names);
    EXPECT_EQ(list.at(list.find(QStringLiteral("ÄRGER"))).compare(QStringLiteral("ärger"), Qt::CaseInsensitive), 0);
    EXPECT_EQ(list.find(QStringLiteral("ωMEGA")), list.find(QStringLiteral("Ωmega")));
    EXPECT_EQ(list.find(QStringLiteral("missing")), -1);
    EXPECT_EQ(list.at(list.insert(QStringLiteral("BETA"))), QStringLiteral("BETA"));
    EXPECT_EQ(list.names(), [&] {
        std::vector<QString> sorted = list.names();
        std::stable_sort(sorted.begin(), sorted.end(), KeyList::lessThan);
        return sorted;
    }());
}
