#include "document/hashlist.h"

#include <gtest/gtest.h>

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

TEST(Hashlist, LoweredCopiesFollowEveryChangeAndSwap)
{
    Hashlist searched;
    searched.setKeepsLowered(true);
    searched.setValue(QStringLiteral("a"), QStringLiteral("ÄRGER Straße"));
    searched.setValue(QStringLiteral("b"), QStringLiteral("ΣΟΦΙΑ"));
    searched.setValue(QStringLiteral("a"), QStringLiteral("Übel"));

    QStringList seen;
    searched.forEachLowered([&](const QString &name, const QString &lowered) { seen << name + QLatin1Char(':') + lowered; });
    EXPECT_EQ(seen, (QStringList{QStringLiteral("a:übel"), QStringLiteral("b:σοφια")}));

    Hashlist plain;
    plain.setValue(QStringLiteral("c"), QStringLiteral("GROSS"));
    searched.swap(plain);
    seen.clear();
    searched.forEachLowered([&](const QString &name, const QString &lowered) { seen << name + QLatin1Char(':') + lowered; });
    EXPECT_EQ(seen, QStringList{QStringLiteral("c:gross")});
    const QString lower = QStringLiteral("already lower");
    EXPECT_EQ(lowerText(lower).constData(), lower.constData()) << "an unchanged text is shared, not copied";
}
