#include "document/error.h"
#include "document/keylist.h"
#include "document/keytextcodec.h"
#include "document/languagepack.h"

#include "../support/testutil.h"

#include <QFile>
#include <gtest/gtest.h>
#include <random>

using namespace Wordloom;

namespace {

struct Model {
    std::vector<QString> keys;
    KeyData data;
};

QString written(XmlDocument &xml, const InfoValues &info, const Model &model)
{
    writePack(xml, info, model.keys, model.data);
    return QString::fromUtf8(xml.serialize());
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
    model.keys = {QString(), QStringLiteral("a"), QStringLiteral("dup"), QStringLiteral("dup"), QStringLiteral("z")};
    model.data.hashlistKeys.setValue(QStringLiteral("a"), QStringLiteral("Zeile 1\r\nZeile 2 & <b>"));
    model.data.hashlistComments.setValue(QStringLiteral("A"), QStringLiteral("Kommentar"));
    model.data.hashlistHTML.setValue(QStringLiteral("a"), QStringLiteral("1"));
    model.data.hashlistBreaks.setValue(QStringLiteral("a"), QStringLiteral("0"));
    model.data.hashlistKeys.setValue(QStringLiteral("dup"), QStringLiteral("twice"));
    model.data.hashlistKeys.setValue(QStringLiteral("not listed"), QStringLiteral("never written"));

    const QString out = written(xml, kInfo, model);
    EXPECT_EQ(out,
        QStringLiteral("<languagepack lang=\"de\" extra=\"x\" name=\"Name\" project=\"Proj\" version=\"1.0.4\" "
                       "date=\"2026-01-05 09:05\"><info>Beschreibung</info><unknown a=\"1\">kept</unknown><content>"
                       "<key id=\"a\" encodeHTML=\"1\" preserveLinebreaks=\"0\" unixNewline=\"\">"
                       "<value>Zeile 1&#13;\nZeile 2 &amp; &lt;b&gt;</value><comment>Kommentar</comment></key>"
                       "<key id=\"dup\" encodeHTML=\"\" preserveLinebreaks=\"\" unixNewline=\"\"><value>twice</value><comment/></key>"
                       "<key id=\"dup\" encodeHTML=\"\" preserveLinebreaks=\"\" unixNewline=\"\"><value>twice</value><comment/></key>"
                       "<key id=\"z\" encodeHTML=\"\" preserveLinebreaks=\"\" unixNewline=\"\"><value/><comment/></key>"
                       "</content><!-- trailing comment --></languagepack>\n"));

    // A pack without content gets one at the end.
    XmlDocument bare = XmlDocument::parseText(QStringLiteral("<pack><info/></pack>"));
    EXPECT_TRUE(written(bare, kInfo, Model{}).endsWith(QStringLiteral("<info/><content/></pack>\n")));
}

TEST(PackWriter, KeepsTheDeclarationAndWritesItsEncoding)
{
    for (const char *name : {"utf16.xml", "latin1.xml", "cp1252.xml"}) {
        SCOPED_TRACE(name);
        QTemporaryDir dir;
        const QString copy = dir.filePath(QLatin1String(name));
        QFile::copy(testData(QLatin1String(name)), copy);
        LanguagePack pack;
        pack.load(copy);
        pack.data.hashlistKeys.setValue(QStringLiteral("größe"), QStringLiteral("日本語 ÿ Œ"));
        pack.write(copy, pack.infoValues());
        const QByteArray bytes = readBytes(copy);
        if (QByteArray(name) == "latin1.xml") {
            EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"));
            EXPECT_TRUE(bytes.contains("&#")) << "characters Latin-1 cannot hold become references";
        } else if (QByteArray(name) == "utf16.xml") {
            EXPECT_TRUE(bytes.startsWith("\xFF\xFE") || bytes.startsWith(QByteArray("<\0?\0", 4)));
        } else {
            EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"windows-1252\"?>"));
        }
        EXPECT_TRUE(bytes.contains(QStringLiteral("Info äöü").toUtf8()) == (QByteArray(name) == "utf8"));
        const PackContent back = readPackFile(copy);
        EXPECT_EQ(back.data.hashlistKeys.value(QStringLiteral("größe")), QStringLiteral("日本語 ÿ Œ"));
        EXPECT_EQ(back.info.name, QStringLiteral("Menü"));
    }
}

TEST(PackWriter, RefusesCharactersXmlCannotCarryAndLeavesTheTreeAlone)
{
    XmlDocument xml = XmlDocument::parseText(QStringLiteral("<languagepack name='keep'><content/></languagepack>"));
    const QString before = QString::fromUtf8(xml.serialize());
    const std::pair<const char *, QString> bad[] = {
        {"control character in a translation", QStringLiteral("bell\a")},
        {"lone surrogate in a translation", QString(QChar(0xD800))},
        {"noncharacter in a translation", QString(QChar(0xFFFF))},
    };
    for (const auto &[what, text] : bad) {
        SCOPED_TRACE(what);
        Model model;
        model.keys = {QStringLiteral("ok"), QStringLiteral("broken")};
        model.data.hashlistKeys.setValue(QStringLiteral("broken"), text);
        try {
            writePack(xml, kInfo, model.keys, model.data);
            ADD_FAILURE() << "written";
        } catch (const Error &error) {
            EXPECT_TRUE(error.message().contains(QStringLiteral("\"broken\""))) << error.message().toStdString();
        }
        EXPECT_EQ(QString::fromUtf8(xml.serialize()), before);
    }
    Model badName;
    badName.keys = {QStringLiteral("tab\tand\x01")};
    EXPECT_THROW(writePack(xml, kInfo, badName.keys, badName.data), Error);
    EXPECT_THROW(writePack(xml, InfoValues{QStringLiteral("\x02"), {}, {}, {}, {}}, {}, KeyData()), Error);
}

TEST(PackWriter, RandomModelsRoundTrip)
{
    std::mt19937 rng(20261206);
    const QString alphabet = QStringLiteral("abcXYZ äöüßÄ€ Ελλη Прив 日本 😀 <>&\"'=\t\r\n");
    const auto randomText = [&](int maxLength) {
        QString text;
        const int length = int(rng() % (maxLength + 1));
        for (int i = 0; i < length; ++i) {
            const QChar c = alphabet.at(rng() % alphabet.size());
            if (c.isSurrogate()) // keep pairs together
                continue;
            text += c;
        }
        return text;
    };
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("random.xml"));
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        LanguagePack pack;
        pack.create(InfoValues{randomText(8), randomText(8), randomText(4), QStringLiteral("1.0.0"), QStringLiteral("d")});
        const int count = int(rng() % 30);
        std::vector<QString> names;
        for (int i = 0; i < count; ++i) {
            QString name = randomText(10).remove(QLatin1Char('\r')).remove(QLatin1Char('\n')).remove(QLatin1Char('\t'));
            if (name.isEmpty() || std::any_of(names.begin(), names.end(), [&](const QString &n) { return namesEqual(n, name); }))
                continue;
            names.push_back(name);
            pack.keys().insert(name);
            pack.data.hashlistKeys.setValue(name, normalizeLineBreaks(randomText(20)));
            pack.data.hashlistComments.setValue(name, normalizeLineBreaks(randomText(10)));
            pack.data.hashlistHTML.setValue(name, QString::number(rng() % 2));
            pack.data.hashlistBreaks.setValue(name, QString::number(rng() % 2));
            pack.data.hashlistLinebreaks.setValue(name, QString::number(rng() % 2));
        }
        pack.write(file, pack.infoValues());

        LanguagePack back;
        back.load(file);
        EXPECT_EQ(back.infoValues(), pack.infoValues());
        EXPECT_EQ(back.keys().names(), pack.keys().names());
        for (const QString &name : names) {
            EXPECT_EQ(back.data.hashlistKeys.value(name), pack.data.hashlistKeys.value(name));
            EXPECT_EQ(back.data.hashlistComments.value(name), pack.data.hashlistComments.value(name));
            EXPECT_EQ(back.data.hashlistHTML.value(name), pack.data.hashlistHTML.value(name));
            EXPECT_EQ(back.data.hashlistBreaks.value(name), pack.data.hashlistBreaks.value(name));
            EXPECT_EQ(back.data.hashlistLinebreaks.value(name), pack.data.hashlistLinebreaks.value(name));
        }
    }
}
