#include "document/keytextcodec.h"

#include "../support/testutil.h"

using namespace Wordloom;

namespace {

// Windows-1252 as Windows maps 0x80..0x9F; every other byte is its Latin-1 character.
constexpr char16_t kHigh[] = u"\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u008D\u017D\u008F"
                             u"\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A\u0153\u009D\u017E\u0178";

QString stored(QByteArrayView bytes)
{
    QString text;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text += QChar(b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : char16_t(b));
    }
    return text;
}

QString decoded(const QString &storedText)
{
    return decodeKeyTextUtf8(storedText.toUtf8());
}

} // namespace

TEST(KeyTextCodec, EveryByteIsItsWindows1252CharacterBothWays)
{
    for (int b = 0x80; b <= 0xFF; ++b) {
        SCOPED_TRACE(b);
        // The shortest UTF-8 sequence holding the byte.
        QByteArray bytes;
        if (b < 0xC0)
            bytes = "\xC2";
        bytes += char(b);
        if (b >= 0xC2 && b <= 0xF4)
            bytes += char(b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80);
        if (b >= 0xE0 && b <= 0xF4)
            bytes += QByteArray(b >= 0xF0 ? 2 : 1, '\x80');
        const QString text = QString::fromUtf8(bytes);
        if (b == 0xC0 || b == 0xC1 || b >= 0xF5) {
            EXPECT_EQ(decoded(stored(bytes + "\x80")), stored(bytes + "\x80")) << "never in UTF-8";
            continue;
        }
        EXPECT_EQ(encodeKeyText(text), stored(bytes));
        EXPECT_EQ(decoded(stored(bytes)), text);
    }
    EXPECT_EQ(encodeKeyText(QStringLiteral("plain ASCII <&>\t")), QStringLiteral("plain ASCII <&>\t"));
}

TEST(KeyTextCodec, BytesThatAreNotUtf8AreTakenAsTheyStand)
{
    const struct {
        const char *bytes;
        const char16_t *text; // nullptr: not UTF-8
    } table[] = {
        {"\xC2\x80", u"\u0080"}, {"\xC0\x80", nullptr}, {"\xC1\xBF", nullptr}, {"\xDF\xBF", u"\u07FF"},
        {"\xE0\x9F\xBF", nullptr}, {"\xE0\xA0\x80", u"\u0800"}, {"\xED\x9F\xBF", u"\uD7FF"},
        {"\xED\xA0\x80", nullptr}, {"\xED\xBF\xBF", nullptr}, {"\xEE\x80\x80", u"\uE000"},
        {"\xEF\xBF\xBF", u"\xFFFF"}, {"\xF0\x8F\xBF\xBF", nullptr}, {"\xF0\x90\x80\x80", u"\U00010000"},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"}, {"\xF4\x90\x80\x80", nullptr}, {"\xF5\x80\x80\x80", nullptr},
        {"\xC3", nullptr}, {"\xE2\x82", nullptr}, {"\xF0\x9F\x98", nullptr}, {"\xC3" "A", nullptr},
        {"\x80", nullptr}, {"Gr\xF6\xDF" "e", nullptr},
        // A leading byte order mark is a character like any other.
        {"\xEF\xBB\xBF" "x", u"\uFEFFx"}, {"\xEF\xBB\xBF\xEF\xBB\xBF", u"\uFEFF\uFEFF"},
    };
    for (const auto &row : table) {
        const QString stands = stored(row.bytes);
        SCOPED_TRACE(stands.toStdString());
        const QString text = row.text ? QStringView(row.text).toString() : stands;
        EXPECT_EQ(decoded(stands), text);
        if (row.text) {
            EXPECT_EQ(encodeKeyText(text), stands);
        }
    }
    // Characters outside the table, also after a byte order mark.
    for (const char16_t *text : {u"Ελληνικά", u"\uFEFFΕλληνικά", u""})
        EXPECT_EQ(decoded(QStringView(text).toString()), QStringView(text).toString());
}
