#include "document/error.h"
#include "document/faultinjection.h"
#include "document/keytextcodec.h"
#include "document/packformat.h"
#include "fuzz/packcheck.h"

#include "../support/coretest.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QUrl>
#include <random>
#include <variant>

using namespace Wordloom;

namespace {

// The listed keys, the case variants, then the lines of the five lists.
QString dump(const PackContent &pack)
{
    return (QStringList{QStringList(pack.keys.begin(), pack.keys.end()).join(u'|'), pack.caseVariants.join(u'|')}
        + listLines(pack.data))
        .join(u'\n');
}

// Without a document type the keys are read from the parser's events, with
// one from nodes libxml2 builds; each read on its own must give the same
// model or the same error.
PackContent read(const QString &content, const QString &rootAttributes = QString())
{
    const QString text = QStringLiteral("<languagepack%1>%2</languagepack>").arg(rootAttributes, content);
    const auto attempt = [](const QString &xml) -> std::variant<PackContent, QString> {
        try {
            return readPackData(xml.toUtf8());
        } catch (const Error &error) {
            return error.message();
        }
    };
    std::variant<PackContent, QString> plain = attempt(text);
    const std::variant<PackContent, QString> typed = attempt(QStringLiteral("<!DOCTYPE languagepack []>") + text);
    const auto shown = [](const std::variant<PackContent, QString> &result) {
        return result.index() == 0 ? dump(std::get<0>(result)) : QStringLiteral("error: ") + std::get<1>(result);
    };
    EXPECT_EQ(shown(typed), shown(plain)) << "the streaming and the tree read differ";
    if (plain.index() == 1)
        throw Error(std::get<1>(plain));
    return std::move(std::get<0>(plain));
}

QString written(XmlDocument &xml, const InfoValues &info, const std::vector<QString> &keys, const KeyData &data)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    writePack(buffer, xml, info, keys, data);
    return QString::fromUtf8(buffer.data());
}

const InfoValues kInfo{QStringLiteral("Proj"), QStringLiteral("Name"), QStringLiteral("de"), QStringLiteral("1.0.4"),
    QStringLiteral("2026-01-05 09:05")};

// The message of the error that reading the file raises, or "" without one.
QString readError(const QString &path)
{
    try {
        readPackFile(path);
    } catch (const Error &error) {
        return error.message();
    }
    return QString();
}

// Windows-1252 as Windows maps 0x80..0x9F; every other byte is its Latin-1 character.
constexpr char16_t kHigh[]
    = u"\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u008D\u017D\u008F"
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

TEST(PackReader, ReadsTextsOptionsAndInfoByTheFormatRules)
{
    const PackContent pack
        = read(QStringLiteral("<info>ignored</info><content>"
                              "<note id='before'>nodes before the first key are not looked at</note>"
                              "<key id='zeta' encodeHTML='1' preserveLinebreaks='0' unixNewline='yes'>"
                              "<value>Tom &amp; Jerry</value></key>"
                              "<key id='cdata'><value><![CDATA[<b>bold</b> & more]]></value><comment>c</comment></key>"
                              "<key id='breaks'><value>a&#10;b&#13;c&#13;&#10;d\ne</value></key>"
                              "<key id='joined'>\n<value><![CDATA[a]]><![CDATA[b]]></value><!-- c "
                              "--><?pi?><comment>x&amp;y&#65;z</comment></key>"
                              "<key id='options-only' encodeHTML='1'/>"
                              "<key id='' encodeHTML='1'><value>no id</value></key>"
                              "<key encodeHTML='1'><value>missing id</value></key>"
                              "<key id='no-value'><comment>only a comment</comment></key>"
                              "<key id='empty-value'><value/><comment></comment></key>"
                              "<other id='Alpha'><value>any element name after the first key counts</value></other>"
                              "text between"
                              "</content>"),
            QStringLiteral(" name='n' lang='de' version='1.0.3' project='p' extra='kept'"));

    EXPECT_EQ(pack.info,
        (InfoValues{QStringLiteral("p"), QStringLiteral("n"), QStringLiteral("de"), QStringLiteral("1.0.3"),
            QString()}));
    // Odd option values are kept; adjacent CDATA sections join.
    EXPECT_EQ(dump(pack),
        QStringLiteral("Alpha|breaks|cdata|empty-value|joined|no-value|zeta\n\n"
                       "k zeta=Tom & Jerry\nk cdata=<b>bold</b> & more\nk breaks=a\r\nb\r\nc\r\nd\r\ne\n"
                       "k joined=ab\nk Alpha=any element name after the first key counts\n"
                       "c cdata=c\nc joined=x&yAz\nc no-value=only a comment\n"
                       "h zeta=1\nh options-only=1\nb zeta=0\nl zeta=yes"));
}

TEST(PackReader, RepeatedAndCaseVariantIdsShareOneEntryAndAreReported)
{
    const PackContent pack
        = read(QStringLiteral("<content>"
                              "<key id='dup' encodeHTML='1'><value>first</value><comment>kept</comment></key>"
                              "<key id='dup' encodeHTML=''><value>second</value></key>"
                              "<key id='Title'><value>Titel</value></key>"
                              "<key id='title'><value>title text</value></key>"
                              "<key id='gone'><value>x</value></key>"
                              "<key id='gone'><value></value></key>"
                              "<key id='opt' preserveLinebreaks='1'><value>x</value></key>"
                              "<key id='opt'><value>y</value></key>"
                              "</content>"));
    // The later text, comment and option replace, an empty one removes; an
    // option the later element lacks keeps the earlier value.
    EXPECT_EQ(dump(pack),
        QStringLiteral("dup|dup|gone|gone|opt|opt|Title|title\nTitle|title\nk dup=second\nk title=title text\n"
                       "k opt=y\nb opt=1"));

    // Twins whose first difference is not ASCII (the dotless i upper-cases
    // to I; the Kelvin sign stays apart from k), read in order as a written
    // file has them and in reverse.
    QStringList twins
        = {QStringLiteral("diff"), QStringLiteral("d\u0131ff"), QStringLiteral("kelvin"), QStringLiteral("\u212Aelvin"),
            QStringLiteral("zeta"), QStringLiteral("\u00C4rger"), QStringLiteral("\u00E4RGER")};
    for (int order = 0; order < 2; ++order) {
        QString content;
        for (const QString &id : twins)
            content += QStringLiteral("<key id='%1'><value>v</value></key>").arg(id);
        EXPECT_EQ(read(QStringLiteral("<content>%1</content>").arg(content)).caseVariants.join(u'|'),
            QStringLiteral("diff|d\u0131ff|\u00C4rger|\u00E4RGER"))
            << order;
        std::reverse(twins.begin(), twins.end());
    }

    // Entities a document type declares keep their texts wherever they are
    // used, before the content too.
    const PackContent typed
        = readPackData("<!DOCTYPE languagepack [<!ENTITY who 'Welt'>]><languagepack project='P &who;'>"
                       "<info>&who;</info><content><key id='k'><value>Hallo &who;</value></key>"
                       "</content></languagepack>");
    EXPECT_EQ(typed.info.project + typed.data.hashlistKeys.value(QStringLiteral("k")),
        QStringLiteral("P WeltHallo Welt"));
}

TEST(PackReader, ValueOrCommentWithMoreThanOneNodeFails)
{
    for (const char *content :
        {"<value>text<!-- note --></value>", "<value>a<b/>c</value>", "<value>a<![CDATA[b]]></value>",
            "<value><![CDATA[a]]>b</value>", "<comment><b/></comment>", "<comment>a<?pi?></comment>"}) {
        SCOPED_TRACE(content);
        try {
            read(QStringLiteral("<content>\n<key id='k'>%1</key></content>").arg(QLatin1String(content)));
            ADD_FAILURE() << "no error";
        } catch (const Error &error) {
            EXPECT_EQ(error.message(),
                QStringLiteral("Zeile 2, Schlüssel \"k\": Element enthält keinen einzelnen Textknoten."));
        }
    }
}

TEST(PackFormat, VersionRaiseFollowsTheConversionRules)
{
    const std::pair<const char *, const char *> table[] = {{"1.0.0", "1.0.1"}, {"1.2.9", "1.2.10"}, {"1.0", "1.0.1"},
        {"2", "0.0.1"}, {"", "0.0.1"}, {"1.2.3.4", "1.2.1"}, {"1.0.3 ", "1.0.1"}, {"v1.2.3", "0.2.4"},
        {"01.002.3", "1.2.4"}, {" 1. +2.-3", "1.2.-2"}, {"$10.0x1F.x0A", "16.31.11"}, {"1.2.$FFFFFFFF", "1.2.0"},
        {"1.2.2147483647", "1.2.2147483648"}, {"1.2.2147483648", "1.2.1"}, {"-2147483648.0.0", "-2147483648.0.1"},
        {"1.2.$100000000", "1.2.1"}, {"1.2.0x", "1.2.1"}, {"1.2.３", "1.2.1"}};
    for (const auto &[before, after] : table) {
        SCOPED_TRACE(before);
        EXPECT_EQ(bumpVersion(QString::fromUtf8(before)), QString::fromUtf8(after));
    }
}

// Each tree under tests/data/writer, written with the info values and (for
// "update") the keys below, gives its expected file: known elements in place,
// the content rebuilt, or added at the end when there was none.
TEST(PackWriter, UpdatesTheTreeInPlaceAndRebuildsTheContent)
{
    KeyData data;
    data.hashlistKeys.setValue(QStringLiteral("a"), QStringLiteral("Zeile 1\r\nZeile 2 & <b> €"));
    data.hashlistComments.setValue(QStringLiteral("A"), QStringLiteral("Kommentar ö"));
    data.hashlistHTML.setValue(QStringLiteral("a"), QStringLiteral("1"));
    data.hashlistBreaks.setValue(QStringLiteral("a"), QStringLiteral("0"));
    data.hashlistKeys.setValue(QStringLiteral("dup"), QStringLiteral("twice"));
    data.hashlistKeys.setValue(QStringLiteral("not listed"), QStringLiteral("never written"));
    const std::vector<QString> keys
        = {QString(), QStringLiteral("a"), QStringLiteral("dup"), QStringLiteral("dup"), QStringLiteral("zä")};
    const KeyData none;
    for (const char *name : {"update", "bare"}) {
        SCOPED_TRACE(name);
        const QString file = testData(QStringLiteral("writer/") + QLatin1String(name));
        XmlDocument xml = XmlDocument::parseText(QString::fromUtf8(readBytes(file + QStringLiteral(".in.xml"))));
        const bool withKeys = qstrcmp(name, "update") == 0;
        EXPECT_EQ(written(xml, kInfo, withKeys ? keys : std::vector<QString>(), withKeys ? data : none),
            QString::fromUtf8(readBytes(file + QStringLiteral(".out.xml"))));
    }
}

// What XML cannot carry is refused, naming the key, and leaves the tree alone.
TEST(PackWriter, RefusesWhatXmlCannotCarryNamingTheKeyAndLeavesTheTreeAlone)
{
    XmlDocument xml = XmlDocument::parseText(QStringLiteral("<languagepack name='keep'/>"));
    const QString before = QString::fromUtf8(xml.serialize());
    const auto refused = [&](const InfoValues &info, const QString &name, const QString &text) {
        KeyData data;
        data.hashlistComments.setValue(name, text);
        try {
            written(xml, info, {QStringLiteral("ok"), name}, data);
            ADD_FAILURE() << "written";
        } catch (const Error &error) {
            EXPECT_EQ(QString::fromUtf8(xml.serialize()), before);
            return error.message();
        }
        return QString();
    };
    for (const char16_t *text : {u"\x01", u"\x08", u"\x0B\x0C", u"\x1F", u"\xFFFE", u"\xFFFF", u"\xD800", u"\xD800 ",
             u"\xDBFF\xDBFF", u"\xDC00", u"\xDFFF\xD800"}) {
        SCOPED_TRACE(QStringView(text).toString().toStdString());
        EXPECT_TRUE(refused(kInfo, QStringLiteral("broken"), QStringView(text).toString())
                        .startsWith(QStringLiteral("Der Schlüssel \"broken\" enthält ein Zeichen")));
    }
    EXPECT_TRUE(refused(kInfo, QStringLiteral("tab\tand\x01\U0001F600\xD800x\xDC00"), QString())
                    .startsWith(QStringLiteral("Der Schlüssel \"tab\\u0009and\\u0001\U0001F600\\ud800x\\udc00\"")));
    EXPECT_TRUE(refused(kInfo, QString(100000, u'n') + u'\x01', QString())
                    .startsWith(QStringLiteral("Der Schlüssel \"%1…\" enthält").arg(QString(200, u'n'))));
    EXPECT_TRUE(refused(InfoValues{QStringLiteral("\x02"), {}, {}, {}, {}}, QStringLiteral("k"), QString())
                    .startsWith(QStringLiteral("Der Wert \"project\"")));
}

// Whatever saves must load: the save refuses past the limit of the read,
// naming the field, and the read holds one limit on every path.
TEST(PackWriter, SizesUpToTheLimitReadBackAndBeyondItAreRefusedNamingTheField)
{
    const qsizetype limit = XmlDocument::kMaxTextSize;
    const QString atLimit(limit, u'a');
    const QString beyond(11 << 20, u'a');
    // A text of this many bytes stands for one of gigabytes, past where an
    // int or a 32-bit length would wrap.
    const QString stand = QStringLiteral("dreizehn Byte");
    static qsizetype pretended = 0;
    FaultInjection::textSize = [](qsizetype size) { return size == 13 ? size + pretended : size; };
    const auto unhook = qScopeGuard([] { FaultInjection::textSize = nullptr; });
    struct Row {
        const char *what;
        QString project, value, comment;
        const char *refusal;
        qsizetype pretend = 0;
    };
    const Row rows[] = {
        {"texts at the limit", {}, atLimit, atLimit, nullptr},
        {"11 MiB project", beyond, {}, {}, "Der Wert \"project\" des Languagepacks ist zu lang (11534336 Bytes"},
        {"11 MiB translation", {}, beyond, {}, "Die Übersetzung des Schlüssels \"k\" ist zu lang"},
        // Two bytes a character once encoded: over the limit at half of it.
        {"encoded comment", {}, {}, QString(limit / 2 + 1, u'\u00E4'),
            "Der Kommentar des Schlüssels \"k\" ist zu lang"},
        {"translation of 2 GiB", {}, stand, {}, "Die Übersetzung des Schlüssels \"k\" ist zu lang (2147483661 Bytes",
            qsizetype(1) << 31},
        {"project of 4 GiB", stand, {}, {}, "Der Wert \"project\" des Languagepacks ist zu lang (4294967309 Bytes",
            qsizetype(1) << 32},
    };
    for (const char *doctype : {"", "<!DOCTYPE languagepack []>"}) {
        for (const Row &row : rows) {
            SCOPED_TRACE(std::string(row.what) + doctype);
            pretended = row.pretend;
            XmlDocument xml = XmlDocument::parseText(QString::fromUtf8(doctype) + QStringLiteral("<languagepack/>"));
            KeyData data;
            data.hashlistKeys.setValue(QStringLiteral("k"), row.value);
            data.hashlistComments.setValue(QStringLiteral("k"), row.comment);
            InfoValues info = kInfo;
            info.project = row.project;
            try {
                const PackContent back = readPackData(written(xml, info, {QStringLiteral("k")}, data).toUtf8());
                EXPECT_FALSE(row.refusal);
                EXPECT_EQ(back.data.hashlistKeys.value(QStringLiteral("k")), row.value);
                EXPECT_EQ(back.data.hashlistComments.value(QStringLiteral("k")), row.comment);
            } catch (const Error &error) {
                ASSERT_TRUE(row.refusal) << error.message().toStdString();
                EXPECT_TRUE(error.message().startsWith(QString::fromUtf8(row.refusal)))
                    << error.message().toStdString();
            }
        }
    }
}

TEST(HostileFiles, ExternalDataIsRefusedWithAMessageAndInternalEntitiesExpand)
{
    QTemporaryDir dir;
    const QString secret = dir.filePath(QStringLiteral("secret.txt"));
    writeBytes(secret, "TOP-SECRET");
    const QByteArray url = QUrl::fromLocalFile(secret).toString().toUtf8();
    const QByteArray key = "<l><content><key id='k'><value>";
    // The value of k when the file loads; nullptr when it must be refused.
    const std::pair<QByteArray, const char *> files[] = {
        {"<!DOCTYPE l [<!ENTITY x SYSTEM '" + url + "'>]>" + key + "a&x;b</value></key></content></l>", nullptr},
        {"<!DOCTYPE l [<!ENTITY x SYSTEM 'http://127.0.0.1:9/x'>]>" + key + "&x;</value></key></content></l>", nullptr},
        {"<!DOCTYPE l [<!ENTITY % p SYSTEM '" + url + "'> %p;]>" + key + "v</value></key></content></l>", nullptr},
        {"<!DOCTYPE l [<!ENTITY x SYSTEM '" + url + "'>]><l><content><key id='&x;'/></content></l>", nullptr},
        // An entity that only the external DTD could declare.
        {"<!DOCTYPE l SYSTEM '" + url + "'><l><content><key id='a&y;'><value>v</value></key></content></l>", nullptr},
        {"<!DOCTYPE l SYSTEM '" + url + "'>" + key + "v</value></key></content></l>", "v"},
        {"<!DOCTYPE l [<!ENTITY who 'Welt'>]>" + key + "Hallo &who;!</value></key></content></l>", "Hallo Welt!"},
    };
    const QString path = dir.filePath(QStringLiteral("pack.xml"));
    for (const auto &[xml, value] : files) {
        SCOPED_TRACE(xml.toStdString());
        writeBytes(path, xml);
        if (value)
            EXPECT_EQ(readPackFile(path).data.hashlistKeys.value(QStringLiteral("k")), QString::fromUtf8(value));
        else
            EXPECT_EQ(readError(path),
                QStringLiteral("Die Datei \"pack.xml\" verweist auf externe Daten (Entity oder DTD); "
                               "diese werden aus Sicherheitsgründen nicht geladen."));
    }
}

TEST(HostileFiles, BadFilesFailFastWithAGermanMessage)
{
    QTemporaryDir dir;
    const auto regression = [](const char *name) {
        return readBytes(QStringLiteral(WORDLOOM_FUZZ_REGRESSIONS "/") + QLatin1String(name));
    };
    const QByteArray big(20'000'000, 'x');
    const QByteArray key = "<l><content><key id='k'><value>";
    const QByteArray end = "</value></key></content></l>";
    const QString tooLong = QStringLiteral("Ein Text oder Wert ist länger als 10000000 Bytes.");
    // The file, and how the message goes on after "ist kein gültiges XML".
    const std::tuple<const char *, QByteArray, QString> files[] = {
        {"expansion bomb", regression("hostile-expansion-bomb.xml"),
            QStringLiteral("): Die Entities verweisen im Kreis aufeinander oder ergeben zu viel Text.")},
        {"deep nesting", regression("hostile-deep-nesting.xml"), QStringLiteral("zu tief ineinander verschachtelt.")},
        {"truncated", "<languagepack><content><key id='k'><value>abc", QStringLiteral(" (Zeile 1, Spalte")},
        {"not well-formed", "<languagepack><content></key></content></languagepack>",
            QStringLiteral(" (Zeile 1, Spalte 30): ")},
        {"empty file", "", QString()},
        {"undeclared entity", key + "&nbsp;" + end, QString()},
        {"binary", QByteArray("\x00\xff\xfe garbage", 12), QString()},
        {"long CDATA", key + "<![CDATA[" + big + "]]>" + end, tooLong},
        {"long attribute", "<l a='" + big + "'/>", tooLong},
        {"long text with a document type", "<!DOCTYPE l []>" + key + big + end, tooLong},
        {"long encoding name", "<?xml version='1.0' encoding='" + QByteArray(100000, 'e') + "'?><l/>",
            QStringLiteral(": Die Zeichenkodierung \"eeee")},
    };
    const QString path = dir.filePath(QStringLiteral("bad.xml"));
    for (const auto &[what, xml, rest] : files) {
        SCOPED_TRACE(what);
        writeBytes(path, xml);
        QElapsedTimer timer;
        timer.start();
        const QString message = readError(path);
        EXPECT_TRUE(message.startsWith(QStringLiteral("Die Datei \"bad.xml\" ist kein gültiges XML")))
            << message.toStdString();
        EXPECT_TRUE(message.contains(rest)) << message.toStdString();
        EXPECT_LT(message.size(), 400);
        EXPECT_LT(timer.elapsed(), 5000);
    }
    // The fast path without a document type holds the same limit.
    writeBytes(path, key + big + end);
    EXPECT_EQ(readError(path), QStringLiteral("Die Datei \"bad.xml\" ist kein gültiges XML (Zeile 1): ") + tooLong);
}

// Shapes that cost libxml2 far more than their size are refused before it
// reads them; what only looks like them (in values, comments, sections) loads.
TEST(HostileFiles, ManyAttributesOrDeclarationsAreRefusedBeforeTheParser)
{
    QTemporaryDir dir;
    const auto repeat = [](const char *before, const char *after, int n) {
        QByteArray all;
        for (int i = 0; i < n; ++i)
            all += before + QByteArray::number(i) + after;
        return all;
    };
    const auto key = [&](int n) {
        return "<l><content><key id='k'" + repeat(" a", "='x'", n - 1) + "><value>v</value></key></content></l>";
    };
    const auto doctype = [](const QByteArray &declarations) { return "<!DOCTYPE l [" + declarations + "]><l/>"; };
    // Defaults of the key element's attributes, on that many keys.
    const auto defaulted = [&](const char *element, int defaults, int keys) {
        return "<!DOCTYPE l [<!ATTLIST " + QByteArray(element) + repeat("\n a", " CDATA 'x'", defaults)
            + ">]><l><content>" + QByteArray("<key id='k'><value>v</value></key>").repeated(keys) + "</content></l>";
    };
    const QString utf16 = QString::fromLatin1(key(10001));
    const QByteArray looksLike = QByteArray(" x='=' y=\"'>\"").repeated(6000);
    const QString attributes = QStringLiteral("ein Element hat mehr als 10.000 Attribute (Zeile 1).");
    const QString declarations = QStringLiteral("die Dokumenttypdefinition hat mehr als 10.000 Deklarationen");
    const std::tuple<const char *, QByteArray, QString> files[] = {
        {"10,000 attributes", key(10000), QString()},
        {"10,001 attributes", key(10001), attributes},
        {"10,001 on the root", "<l" + repeat(" a", "=''", 10001) + "/>", attributes},
        {"10,001 after lines in a value, a start tag, a text and an end tag",
            "<l><c a='1\n'\n b=''>\n</c\n><k" + repeat(" a", "=''", 10001) + "/></l>",
            QStringLiteral("ein Element hat mehr als 10.000 Attribute (Zeile 5).")},
        {"10,001 in UTF-16", "\xff\xfe" + QByteArray(reinterpret_cast<const char *>(utf16.utf16()), utf16.size() * 2),
            attributes},
        {"signs in values, a comment and a section",
            "<l a='=' b=\"=>=\"><!-- <a " + looksLike + "> --><content><key id='k'><value><![CDATA[<a " + looksLike
                + ">]]></value></key></content></l>",
            QString()},
        {"10,000 declarations", doctype(repeat("<!ATTLIST l a", " CDATA 'x'>", 10000)), QString()},
        {"10,001 declarations", doctype(repeat("<!ELEMENT e", " ANY>", 10001)), declarations},
        {"10,001 defaults in one list", doctype("<!ATTLIST l" + repeat(" a", " CDATA #IMPLIED", 10001) + ">"),
            declarations},
        {"20 defaults on 20,000 keys", defaulted("key", 20, 20000), QString()},
        {"3,000 defaults on another element", defaulted("other", 3000, 1000), QString()},
        {"3,000 defaults on 1,000 keys", defaulted("key", 3000, 1000),
            QStringLiteral("die Dokumenttypdefinition gibt zu vielen Elementen „key“ je 3.000 Vorgabewerte für "
                           "Attribute (Zeile 3001)")},
        {"3,000 defaults through a parameter entity",
            "<!DOCTYPE l [<!ENTITY % d '<!ATTLIST key" + repeat(" a", " CDATA \"x\"", 3000) + ">'>%d;]><l><content>"
                + QByteArray("<key id='k'><value>v</value></key>").repeated(1000) + "</content></l>",
            QStringLiteral("gibt zu vielen Elementen „key“ je 3.000 Vorgabewerte")},
    };
    const QString path = dir.filePath(QStringLiteral("bad.xml"));
    for (const auto &[what, xml, refusal] : files) {
        SCOPED_TRACE(what);
        writeBytes(path, xml);
        const QString message = readError(path);
        EXPECT_EQ(message.isEmpty(), refusal.isEmpty()) << message.toStdString();
        EXPECT_TRUE(message.isEmpty()
            || (message.startsWith(QStringLiteral("Die Datei \"bad.xml\" wird nicht geladen: "))
                && message.contains(refusal)))
            << message.toStdString();
    }
}

// Every input the fuzzer once failed on (and the hostile ones kept beside
// them) loads or fails with a message, quickly, and a loaded one reads back
// the same once written; so does each test pack, cut, overwritten or spliced.
TEST(FuzzRegressions, EveryInputLoadsOrFailsWithAMessage)
{
    const QDir folder(QStringLiteral(WORDLOOM_FUZZ_REGRESSIONS));
    QList<QByteArray> inputs;
    for (const QString &file : folder.entryList(QDir::Files, QDir::Name))
        inputs << readBytes(folder.filePath(file));
    ASSERT_FALSE(inputs.isEmpty()) << folder.path().toStdString();
    std::mt19937 rng(42);
    for (const char *name : {"utf16.xml", "latin1.xml", "cp1252.xml"}) {
        const QByteArray good = readBytes(testData(QLatin1String(name)));
        inputs << good;
        for (int round = 0; round < 100; ++round) {
            QByteArray bytes = good;
            const auto at = [&] { return qsizetype(rng() % bytes.size()); };
            if (round % 3 == 0)
                bytes.truncate(at());
            else if (round % 3 == 1)
                for (int i = 0; i < 4; ++i)
                    bytes[at()] = char(rng());
            else
                bytes.insert(at(), bytes.mid(at(), 20));
            inputs << bytes;
        }
    }
    QTemporaryDir work;
    for (const QByteArray &bytes : inputs) {
        SCOPED_TRACE(bytes.left(80).toStdString());
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(checkPackBytes(bytes, work.path()), QString());
        EXPECT_LT(timer.elapsed(), 5000);
    }
}

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
        {"\xC2\x80", u"\u0080"},
        {"\xC0\x80", nullptr},
        {"\xC1\xBF", nullptr},
        {"\xDF\xBF", u"\u07FF"},
        {"\xE0\x9F\xBF", nullptr},
        {"\xE0\xA0\x80", u"\u0800"},
        {"\xED\x9F\xBF", u"\uD7FF"},
        {"\xED\xA0\x80", nullptr},
        {"\xED\xBF\xBF", nullptr},
        {"\xEE\x80\x80", u"\uE000"},
        {"\xEF\xBF\xBF", u"\xFFFF"},
        {"\xF0\x8F\xBF\xBF", nullptr},
        {"\xF0\x90\x80\x80", u"\U00010000"},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"\xF4\x90\x80\x80", nullptr},
        {"\xF5\x80\x80\x80", nullptr},
        {"\xC3", nullptr},
        {"\xE2\x82", nullptr},
        {"\xF0\x9F\x98", nullptr},
        {"\xC3"
         "A",
            nullptr},
        {"\x80", nullptr},
        {"Gr\xF6\xDF"
         "e",
            nullptr},
        // A leading byte order mark is a character like any other.
        {"\xEF\xBB\xBF"
         "x",
            u"\uFEFFx"},
        {"\xEF\xBB\xBF\xEF\xBB\xBF", u"\uFEFF\uFEFF"},
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
    // Around the size up to which texts decode in a buffer of their own.
    for (const qsizetype n : {3276, 3277, 20000}) {
        const QByteArray bytes = encodeKeyText(QStringLiteral("ä\n").repeated(n)).toUtf8();
        EXPECT_EQ(decodeKeyText(bytes, true), QStringLiteral("ä\r\n").repeated(n)) << n;
    }
}

TEST(KeyTextCodec, LongAsciiRunsDecodeAlikeWhereverOtherCharactersFall)
{
    // Plain ASCII is widened in blocks: another character or a line break
    // at every place around a block's end reads as it would on its own.
    const char16_t *const inserts[] = {u"ä", u"€", u"\r", u"\n", u"\r\n", u"\n\r", u"\U0001F600", u"\x81",
        u"\rA CR, then more than a block, then LF\n"};
    const QString plain = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJ");
    for (const char16_t *insert : inserts) {
        for (qsizetype at = 0; at <= 36; ++at) {
            const QString text = QString(plain).insert(at, QStringView(insert).toString());
            SCOPED_TRACE(text.mid(at, 2).toUtf8().toHex().toStdString() + " at " + std::to_string(at));
            const QByteArray bytes = encodeKeyText(text).toUtf8();
            EXPECT_EQ(decodeKeyText(bytes, false), text);
            EXPECT_EQ(decodeKeyText(bytes, true), normalizeLineBreaks(text));
            // Not in the key text encoding: taken as it stands.
            EXPECT_EQ(decodeKeyText(text.toUtf8() + "\xCE\xA9", false), text + QChar(0x3A9));
        }
    }
}

TEST(XmlText, EveryCharacterIsJudgedWhereverItStands)
{
    // Plain characters are passed eight at a time: one that XML 1.0 cannot
    // carry, or a valid neighbour of the limits, is judged at every place.
    const struct {
        std::vector<char16_t> units;
        bool carried;
    } table[] = {{{0x1F}, false}, {{0x08}, false}, {{0x20}, true}, {{0x09}, true}, {{0x0D, 0x0A}, true},
        {{0xD7FF}, true}, {{0xD800}, false}, {{0xDFFF}, false}, {{0xDC00, 0xD800}, false}, {{0xE000}, true},
        {{0xFFFD}, true}, {{0xFFFE}, false}, {{0xFFFF}, false}, {{0xD83D, 0xDE00}, true}};
    const QString plain = QStringLiteral("abcdefghijklmnopqrstuvwx");
    for (const auto &row : table) {
        const QString inserted(reinterpret_cast<const QChar *>(row.units.data()), qsizetype(row.units.size()));
        for (qsizetype at = 0; at <= plain.size(); ++at) {
            SCOPED_TRACE(std::to_string(row.units[0]) + " at " + std::to_string(at));
            EXPECT_EQ(isXmlText(QString(plain).insert(at, inserted)), row.carried);
        }
    }
}
