#include "document/xmlprescan.h"

#include "../support/coretest.h"

using namespace Wordloom;

namespace {

// The refusal of the bytes fed in pieces of this size; 0 for all at once.
QString refusalOf(const QByteArray &bytes, qsizetype piece)
{
    XmlPrescan prescan;
    const qsizetype step = piece > 0 ? piece : std::max<qsizetype>(1, bytes.size());
    for (qsizetype i = 0; i < bytes.size(); i += step)
        if (!prescan.feed(bytes.constData() + i, std::min(step, bytes.size() - i)))
            break;
    return prescan.refusal();
}

} // namespace

TEST(XmlPrescan, BytesReadInBlocksAreJudgedAsCharactersOneByOne)
{
    // UTF-16 is read a character at a time; UTF-8 in blocks where it can.
    const auto attributes = [](int n, const char *value) {
        QByteArray all;
        for (int i = 0; i < n; ++i)
            all += " a" + QByteArray::number(i) + "=" + value;
        return all;
    };
    const std::pair<const char *, QByteArray> files[] = {
        {"10,000 attributes", "<l><k" + attributes(10000, "'x'") + "/></l>"},
        {"10,001 after lines everywhere",
            "<l\n a='1\n'\n>\n<c\n b=\"\n\"></c\n><!-- \n --><?p \n?><![CDATA[\n]]><k" + attributes(10001, "''")
                + "/></l>"},
        {"10,001 after a line break behind the sign", "<l>\n<k\n" + attributes(10001, "\n''") + "/></l>"},
        {"signs and other quotes in values", "<l><k" + attributes(10001, "\"'=>'\"") + "/></l>"},
        {"signs in a comment, a section and an instruction",
            "<l><!--<k" + attributes(10001, "''") + "--><![CDATA[<k" + attributes(10001, "''") + "]]><?k"
                + attributes(10001, "''") + "?></l>"},
        {"signs in text", "<l>" + attributes(10001, "''") + "<k a=''/></l>"},
        {"with a document type", "<!DOCTYPE l [<!ELEMENT l ANY>]><l><k" + attributes(10001, "''") + "/></l>"},
    };
    for (const auto &[what, xml] : files) {
        SCOPED_TRACE(what);
        const QString text = QString::fromLatin1(xml);
        const QByteArray utf16 = "\xff\xfe" + QByteArray(reinterpret_cast<const char *>(text.utf16()), 2 * text.size());
        const QString expected = refusalOf(utf16, 4000);
        for (const qsizetype piece : {0, 1, 15, 16, 17, 4000})
            EXPECT_EQ(refusalOf(xml, piece), expected) << piece;
        EXPECT_EQ(expected.isEmpty(), QByteArray(what).startsWith("10,000") || QByteArray(what).startsWith("signs in"))
            << expected.toStdString();
    }
}
