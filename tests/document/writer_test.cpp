#include "document/error.h"
#include "document/keytextcodec.h"
#include "document/packformat.h"

#include "../support/testutil.h"

#include <QBuffer>
#include <QStringDecoder>
#include <gtest/gtest.h>

using namespace Wordloom;

namespace {

struct Model {
    std::vector<QString> keys;
    KeyData data;
};

QByteArray bytesWritten(XmlDocument &xml, const InfoValues &info, const std::vector<QString> &keys, const KeyData &data)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    writePack(buffer, xml, info, keys, data);
    return buffer.data();
}

QString written(XmlDocument &xml, const InfoValues &info, const Model &model)
{
    return QString::fromUtf8(bytesWritten(xml, info, model.keys, model.data));
}

// Writes the model into a new pack and reads the result.
PackContent writtenAndRead(const InfoValues &info, const Model &model)
{
    XmlDocument xml = XmlDocument::parseText(newPackTemplate(info));
    return readPackData((written(xml, info, model)).toUtf8());
}

const InfoValues kInfo{QStringLiteral("Proj"), QStringLiteral("Name"), QStringLiteral("de"),
    QStringLiteral("1.0.4"), QStringLiteral("2026-01-05 09:05")};

} // namespace

TEST(PackWriter, UpdatesTheTreeInPlaceAndRebuildsTheContent)
{
    XmlDocument xml = XmlDocument::parseText(QStringLiteral(
        "<languagepack lang='en' extra='x' name='old'><info>Beschreibung</info>"
        "<unknown a='1'>kept</unknown><content><key id='stale'><value>dropped</value></key></content>"
        "<!-- trailing comment --></languagepack>"));
    Model model;
    model.keys = {QString(), QStringLiteral("a"), QStringLiteral("dup"), QStringLiteral("dup"), QStringLiteral("zä")};
    model.data.hashlistKeys.setValue(QStringLiteral("a"), QStringLiteral("Zeile 1\r\nZeile 2 & <b> €"));
    model.data.hashlistComments.setValue(QStringLiteral("A"), QStringLiteral("Kommentar ö"));
    model.data.hashlistHTML.setValue(QStringLiteral("a"), QStringLiteral("1"));
    model.data.hashlistBreaks.setValue(QStringLiteral("a"), QStringLiteral("0"));
    model.data.hashlistKeys.setValue(QStringLiteral("dup"), QStringLiteral("twice"));
    model.data.hashlistKeys.setValue(QStringLiteral("not listed"), QStringLiteral("never written"));

    const QString out = written(xml, kInfo, model);
    EXPECT_EQ(out,
        QStringLiteral("<languagepack lang=\"de\" extra=\"x\" name=\"Name\" project=\"Proj\" version=\"1.0.4\" "
                       "date=\"2026-01-05 09:05\"><info>Beschreibung</info><unknown a=\"1\">kept</unknown><content>"
                       "<key id=\"a\" encodeHTML=\"1\" preserveLinebreaks=\"0\" unixNewline=\"\">"
                       "<value>Zeile 1&#13;\nZeile 2 &amp; &lt;b&gt; â‚¬</value><comment>Kommentar Ã¶</comment></key>"
                       "<key id=\"dup\" encodeHTML=\"\" preserveLinebreaks=\"\" unixNewline=\"\"><value>twice</value><comment/></key>"
                       "<key id=\"dup\" encodeHTML=\"\" preserveLinebreaks=\"\" unixNewline=\"\"><value>twice</value><comment/></key>"
                       "<key id=\"zÃ¤\" encodeHTML=\"\" preserveLinebreaks=\"\" unixNewline=\"\"><value/><comment/></key>"
                       "</content><!-- trailing comment --></languagepack>\n"));

    // A pack without content gets one at the end.
    XmlDocument bare = XmlDocument::parseText(QStringLiteral("<pack><info/></pack>"));
    EXPECT_TRUE(written(bare, kInfo, Model{}).endsWith(QStringLiteral("<info/><content/></pack>\n")));
}

TEST(PackWriter, EachDeclaredEncodingIsReadAndWrittenBackWithItsDeclaration)
{
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("copy.xml"));
    const std::pair<const char *, const char *> files[] = {
        {"utf16.xml", "UTF-16"}, {"latin1.xml", "ISO-8859-1"}, {"cp1252.xml", "windows-1252"}};
    for (const auto &[name, encoding] : files) {
        SCOPED_TRACE(name);
        PackContent pack = readPackFile(testData(QLatin1String(name)));
        for (int pass = 0; pass < 2; ++pass) {
            EXPECT_EQ(pack.info.name, QStringLiteral("Menü"));
            EXPECT_EQ(pack.info.project, QStringLiteral("Prüfung"));
            ASSERT_EQ(pack.keys, std::vector<QString>{QStringLiteral("größe")});
            EXPECT_EQ(pack.data.hashlistKeys.value(QStringLiteral("größe")),
                pass ? QStringLiteral("日本語 Á") : QStringLiteral("Größe € Ελληνικά"));
            EXPECT_EQ(pack.data.hashlistComments.value(QStringLiteral("größe")), QStringLiteral("Kommentar"));
            if (pass)
                break;
            pack.data.hashlistKeys.setValue(QStringLiteral("größe"), QStringLiteral("日本語 Á"));
            const QByteArray bytes = bytesWritten(pack.xml, pack.info, pack.keys, pack.data);
            const bool utf16 = QByteArray(encoding) == "UTF-16";
            const QString text = utf16 ? QStringDecoder(QStringDecoder::Utf16)(bytes) : QString::fromLatin1(bytes);
            EXPECT_TRUE(text.startsWith(QStringLiteral("<?xml version=\"1.0\" encoding=\"%1\"?>").arg(QLatin1String(encoding))))
                << text.left(60).toStdString();
            // What the encoding cannot hold (U+2014, U+0081) becomes a character reference.
            EXPECT_EQ(bytes.contains("&#"), !utf16);
            writeBytes(copy, bytes);
            pack = readPackFile(copy);
        }
    }
}

TEST(PackWriter, RefusesWhatXmlCannotCarryNamingTheKeyAndLeavesTheTreeAlone)
{
    XmlDocument xml = XmlDocument::parseText(QStringLiteral("<languagepack name='keep'><content/></languagepack>"));
    const QString before = QString::fromUtf8(xml.serialize());
    const std::pair<const char16_t *, bool> table[] = {{u"tab\t CR LF\r\n", true}, {u"\uD7FF\uE000\uFFFD", true},
        {u"\U0001F600 \U0010FFFF", true}, {u"\x01", false}, {u"\x08", false}, {u"\x0B\x0C", false}, {u"\x1F", false},
        {u"\xFFFE", false}, {u"\xFFFF", false}, {u"\xD800", false}, {u"\xD800 ", false}, {u"\xDBFF\xDBFF", false},
        {u"\xDC00", false}, {u"\xDFFF\xD800", false}};
    for (const auto &[chars, writable] : table) {
        const QString text = QStringView(chars).toString();
        SCOPED_TRACE(text.toStdString());
        Model model;
        model.keys = {QStringLiteral("ok"), QStringLiteral("broken")};
        model.data.hashlistKeys.setValue(QStringLiteral("broken"), text);
        model.data.hashlistComments.setValue(QStringLiteral("broken"), text);
        if (writable) {
            const PackContent back = writtenAndRead(kInfo, model);
            EXPECT_EQ(back.data.hashlistKeys.value(QStringLiteral("broken")), text);
            EXPECT_EQ(back.data.hashlistComments.value(QStringLiteral("broken")), text);
            continue;
        }
        try {
            bytesWritten(xml, kInfo, model.keys, model.data);
            ADD_FAILURE() << "written";
        } catch (const Error &error) {
            EXPECT_TRUE(error.message().startsWith(QStringLiteral("Der Schlüssel \"broken\" enthält ein Zeichen")))
                << error.message().toStdString();
        }
        EXPECT_EQ(QString::fromUtf8(xml.serialize()), before);
    }
    try {
        bytesWritten(xml, kInfo, {QStringLiteral("tab\tand\x01\U0001F600\xD800")}, KeyData());
        ADD_FAILURE() << "written";
    } catch (const Error &error) {
        EXPECT_TRUE(error.message().startsWith(QStringLiteral("Der Schlüssel \"tab\\u0009and\\u0001\U0001F600\\ud800\"")))
            << error.message().toStdString();
    }
    EXPECT_THROW(bytesWritten(xml, InfoValues{QStringLiteral("\x02"), {}, {}, {}, {}}, {}, KeyData()), Error);
    EXPECT_EQ(QString::fromUtf8(xml.serialize()), before);
}
