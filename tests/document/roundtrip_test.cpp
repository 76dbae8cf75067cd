#include "document/error.h"
#include "document/languagepack.h"

#include "../support/testutil.h"

#include <QDir>
#include <QStringDecoder>
#include <QStringEncoder>
#include <random>

using namespace Wordloom;

namespace {

// Whole code points, so astral characters never split.
const std::u32string kChars = U"abcXYZ äöüÄÖÜß éçñ Привет Ёё Ελληνικά Σσς 日本語한국어 😀🎉𝄞𠜎\U0010FFFF"
                              U"\u0081\u008D\u008F\u0090\u009D€‚ƒ„…ŠŒŽ \t\r\n\r\n= \"' <>&; \uFEFF\uFFFD\uE000\uD7FF";
const char32_t kUnwritable[] = {0x01, 0x0B, 0x1F, 0xFFFE, 0xFFFF, 0xD800, 0xDC00};
const QString kOptions[] = {QStringLiteral("1"), QStringLiteral("0"), QString(), QStringLiteral("yes"),
    QStringLiteral(" 1"), QStringLiteral("10"), QStringLiteral("\u00e4 \"<&>\t")};

struct Generator {
    std::mt19937 rng{20261206};

    unsigned below(unsigned n) { return unsigned(rng() % n); }
    QString text(unsigned maxLength)
    {
        std::u32string chars;
        for (unsigned i = below(maxLength + 1); i > 0; --i)
            chars += kChars[below(unsigned(kChars.size()))];
        return QString::fromStdU32String(chars);
    }
    // A new name, or an earlier one again, as it was or in another letter case.
    QString name(const QStringList &earlier)
    {
        if (!earlier.isEmpty() && below(5) == 0) {
            const QString &old = earlier[below(unsigned(earlier.size()))];
            return below(2) ? old : (old.toUpper() == old ? old.toLower() : old.toUpper());
        }
        QString name;
        while (name.isEmpty())
            name = text(12);
        return name;
    }
    QString option() { return kOptions[below(std::size(kOptions))]; }
    KeyEntry entry()
    {
        KeyEntry entry{text(30), text(10), option(), option(), option()};
        if (below(100) == 0)
            entry.translation = QString(100 * 1024, QChar(u'ü')) + QStringLiteral("\r\nEnde");
        return entry;
    }
};

// The model holds line breaks as CR LF; a lone CR or LF reads back so.
QString crlf(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n')).replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}

class RoundTrip : public ::testing::TestWithParam<const char *> {};

} // namespace

// Random models committed into a pack of each declared encoding, written
// with that declaration, and loaded back: every listed name shows the same
// entry, or the write is refused naming the key that holds what XML cannot
// carry.
TEST_P(RoundTrip, EveryWrittenModelReadsBackOrIsRefusedNamingTheKey)
{
    const char *encoding = GetParam();
    // Memory-backed where there is such a folder: every write syncs.
    const QString shm = QStringLiteral("/dev/shm");
    QTemporaryDir dir((QFileInfo(shm).isWritable() ? shm : QDir::tempPath()) + QStringLiteral("/wordloom-XXXXXX"));
    const QString start = dir.filePath(QStringLiteral("start.xml")), out = dir.filePath(QStringLiteral("out.xml"));
    QStringEncoder encoder(encoding);
    ASSERT_TRUE(encoder.isValid());
    const QString declaration = QStringLiteral("<?xml version=\"1.0\" encoding=\"%1\"?>").arg(QLatin1String(encoding));
    writeBytes(start, encoder(declaration + QStringLiteral("<languagepack><info>i</info><content/></languagepack>")));
    Generator random;
    int refused = 0;
    for (int round = 0; round < 1000; ++round) {
        SCOPED_TRACE(round);
        LanguagePack pack;
        pack.load(start);
        const InfoValues info{random.text(8), random.text(8), random.text(3), random.text(5), random.text(5)};
        QStringList names;
        for (unsigned i = random.below(7); i > 0; --i) {
            names << random.name(names);
            if (random.below(10) == 0)
                pack.addKey(names.last()); // listed twice
            pack.commit(names.last(), random.entry());
        }
        // Now and then a text holds a character XML cannot carry.
        const bool spoiled = random.below(20) == 0;
        if (spoiled) {
            KeyEntry entry = random.entry();
            QString *texts[] = {&entry.translation, &entry.comment, &entry.encodeHTML};
            QString &target = *texts[random.below(3)];
            target.insert(random.below(unsigned(target.size()) + 1), QString::fromStdU32String(std::u32string(1, kUnwritable[random.below(std::size(kUnwritable))])));
            pack.commit(QStringLiteral("kaputt"), entry);
            pack.addKey(QStringLiteral("kaputt"));
        }
        try {
            pack.write(out, info);
        } catch (const Error &error) {
            ++refused;
            EXPECT_TRUE(spoiled && error.message().contains(QStringLiteral("\"kaputt\""))) << error.message().toStdString();
            EXPECT_TRUE(pack.isModified());
            continue;
        }
        EXPECT_FALSE(spoiled) << "written although a text holds a character XML cannot carry";
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
        if (HasFailure())
            break;
    }
    EXPECT_GT(refused, 20);
}

INSTANTIATE_TEST_SUITE_P(Encodings, RoundTrip, ::testing::Values("UTF-8", "UTF-16", "ISO-8859-1", "windows-1252"),
    [](const auto &info) { return QString::fromLatin1(info.param).remove(QLatin1Char('-')).toStdString(); });
