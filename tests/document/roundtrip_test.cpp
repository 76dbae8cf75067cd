#include "document/error.h"
#include "document/languagepack.h"

#include "../support/testutil.h"

#include <QStringDecoder>
#include <QStringEncoder>

using namespace Wordloom;

namespace {

// Every script, astral characters, what cp1252 leaves undefined, markup
// characters and the byte order mark.
const QString kHard = QStringLiteral("abc äöüß éçñ Привет Ελληνικά Σσς 日本語한국어 😀𝄞\U0010FFFF \u0081\u008D\u008F\u0090\u009D€‚ƒ„…ŠŒŽ"
                                     " = \"' <>&; \uFEFF\uFFFD\uE000\uD7FF");

// The model holds line breaks as CR LF; a lone CR or LF reads back so.
QString crlf(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n')).replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}

class RoundTrip : public ::testing::TestWithParam<const char *> {};

} // namespace

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
    pack.commit(kHard, KeyEntry{kHard, kHard, QStringLiteral("\u00e4 \"<&>\t\r\n"), QStringLiteral(" 1"), QStringLiteral("yes")});
    pack.commit(QStringLiteral("Größe"), KeyEntry{QStringLiteral("a\r\nb\rc\nd\n\re\t"), QStringLiteral("\n"), QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("10")});
    pack.commit(QStringLiteral("GRÖSSE"), KeyEntry{QString(100 * 1024, QChar(u'ü')) + QStringLiteral("\r\nEnde"), {}, {}, {}, QStringLiteral("1")});
    pack.commit(QStringLiteral("title"), KeyEntry{QStringLiteral("t"), {}, {}, {}, {}});
    pack.addKey(QStringLiteral("Title"));
    pack.addKey(QStringLiteral("Title"));
    const InfoValues info{kHard, kHard + QStringLiteral("\t"), QStringLiteral("de"), QStringLiteral("1.0.0"), QStringLiteral("\r\n")};
    pack.write(out, info);
    EXPECT_TRUE(QString(QStringDecoder(encoding)(readBytes(out))).startsWith(declaration));
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
