#include "document/keytextcodec.h"

#include <gtest/gtest.h>

using namespace Wordloom;

TEST(KeyTextCodec, EncodesUtf8BytesAsWindows1252Characters)
{
    EXPECT_EQ(encodeKeyText(QStringLiteral("plain ASCII <&>")), QStringLiteral("plain ASCII <&>"));
    EXPECT_EQ(encodeKeyText(QStringLiteral("ä")), QStringLiteral("Ã¤"));
    EXPECT_EQ(encodeKeyText(QStringLiteral("€")), QStringLiteral("â‚¬"));
    // The five bytes Windows leaves undefined map to the C1 controls.
    EXPECT_EQ(encodeKeyText(QStringLiteral("Á")), QString::fromUtf16(u"Ã\u0081"));
    EXPECT_EQ(encodeKeyText(QStringLiteral("Ý")), QString::fromUtf16(u"Ã\u009D"));
    EXPECT_EQ(encodeKeyText(QStringLiteral("ō")), QString::fromUtf16(u"Å\u008D"));
    EXPECT_EQ(encodeKeyText(QString::fromUtf16(u"\u03CF")), QString::fromUtf16(u"Ï\u008F"));
    EXPECT_EQ(encodeKeyText(QString::fromUtf16(u"\u0450")), QString::fromUtf16(u"Ñ\u0090"));
}

TEST(KeyTextCodec, RoundTripsEveryScript)
{
    const QString samples[] = {
        QStringLiteral("Größe ändern, Übersicht, Straße"),
        QStringLiteral("Preis: 5 € – „Zitat“ … ‰ ™ Œ š"),
        QStringLiteral("Á É Í Ó Ú Ý á ý ō ϏА ѐ"),
        QStringLiteral("Ελληνικά κείμενα"),
        QStringLiteral("Привет, мир"),
        QStringLiteral("日本語のテキスト 中文 한국어"),
        QStringLiteral("Emoji 😀🎉 and 𝄞"),
        QString::fromUtf16(u"C1 \u0080\u0081\u008D\u009F controls"),
        QStringLiteral("Zeile 1\r\nZeile 2"),
    };
    for (const QString &text : samples) {
        SCOPED_TRACE(text.toStdString());
        const QString encoded = encodeKeyText(text);
        EXPECT_EQ(decodeKeyText(encoded), text);
        const QByteArray utf8 = encoded.toUtf8();
        EXPECT_EQ(decodeKeyTextUtf8(utf8), text);
    }
}

TEST(KeyTextCodec, TextThatDoesNotDecodeIsTakenAsItStands)
{
    // An umlaut written directly is not valid UTF-8 in the key text encoding.
    EXPECT_EQ(decodeKeyText(QStringLiteral("Größe")), QStringLiteral("Größe"));
    // A character outside the Windows-1252 table.
    EXPECT_EQ(decodeKeyText(QStringLiteral("Ελληνικά")), QStringLiteral("Ελληνικά"));
    // A truncated sequence, an overlong form and an encoded surrogate.
    EXPECT_EQ(decodeKeyText(QStringLiteral("Ã")), QStringLiteral("Ã"));
    EXPECT_EQ(decodeKeyText(QString::fromUtf16(u"\u00C0\u00AF")), QString::fromUtf16(u"\u00C0\u00AF"));
    EXPECT_EQ(decodeKeyText(QString::fromUtf16(u"í\u00A0\u0080")), QString::fromUtf16(u"í\u00A0\u0080"));
    EXPECT_EQ(decodeKeyText(QString()), QString());
    for (const QString &text : {QStringLiteral("Größe"), QStringLiteral("Ελληνικά"), QStringLiteral("Ã"), QString::fromUtf16(u"\u00C0\u00AF")}) {
        const QByteArray utf8 = text.toUtf8();
        EXPECT_EQ(decodeKeyTextUtf8(utf8), text);
    }
}

TEST(KeyTextCodec, LineBreaksBecomeCrLf)
{
    EXPECT_EQ(normalizeLineBreaks(QStringLiteral("a\nb\rc\r\nd\n\re")), QStringLiteral("a\r\nb\r\nc\r\nd\r\n\r\ne"));
    EXPECT_EQ(normalizeLineBreaks(QStringLiteral("none")), QStringLiteral("none"));
}
