#include "document/error.h"
#include "document/packformat.h"

#include "../support/testutil.h"

#include <QElapsedTimer>
#include <QUrl>

using namespace Wordloom;

namespace {

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

} // namespace

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
            EXPECT_EQ(readError(path), QStringLiteral("Die Datei \"pack.xml\" verweist auf externe Daten (Entity oder DTD); "
                                                      "diese werden aus Sicherheitsgründen nicht geladen."));
    }
}

TEST(HostileFiles, BadFilesFailFastWithAGermanMessage)
{
    QTemporaryDir dir;
    const auto regression = [](const char *name) { return readBytes(QStringLiteral(WORDLOOM_FUZZ_REGRESSIONS "/") + QLatin1String(name)); };
    const std::pair<const char *, QByteArray> files[] = {
        {"expansion bomb", regression("hostile-expansion-bomb.xml")},
        {"deep nesting", regression("hostile-deep-nesting.xml")},
        {"truncated", "<languagepack><content><key id='k'><value>abc"},
        {"not well-formed", "<languagepack><content></key></content></languagepack>"},
        {"empty file", ""},
        {"undeclared entity", "<l><content><key id='k'><value>&nbsp;</value></key></content></l>"},
        {"binary", QByteArray("\x00\xff\xfe garbage", 12)},
    };
    const QString path = dir.filePath(QStringLiteral("bad.xml"));
    for (const auto &[what, xml] : files) {
        SCOPED_TRACE(what);
        writeBytes(path, xml);
        QElapsedTimer timer;
        timer.start();
        EXPECT_TRUE(readError(path).startsWith(QStringLiteral("Die Datei \"bad.xml\" ist kein gültiges XML"))) << readError(path).toStdString();
        EXPECT_LT(timer.elapsed(), 5000);
    }
}
