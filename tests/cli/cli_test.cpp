#include "cli/commandline.h"

#include "../support/clirun.h"
#include "document/version.h"

#include "checks/checkregistry.h"

#include <QProcess>
#include <QTextStream>
#include <unistd.h>

using namespace Wordloom;

namespace {

class CliTest : public FolderTest {
protected:
    CliResult run(const QStringList &arguments) { return runCli(arguments, clock); }
    FixedClock clock;
};

} // namespace

TEST_F(CliTest, ExitCodesAndMessages)
{
    const QString good = writePack(QStringLiteral("good.xml"), kCliPack);
    const QString bad = testData(QStringLiteral("cp1252.xml"));
    const QString broken = writePack(QStringLiteral("broken.xml"), "<languagepack><content>");
    const struct {
        QStringList arguments;
        int code;
        QString out;
        QString errStart;
    } rows[] = {
        {{"check", good}, 0, "Doppel-Check bestanden\nSyntax-Check bestanden\n", ""},
        {{"check", bad}, 1, "Doppel-Check bestanden\nSyntax-Check nicht bestanden: größe\n", ""},
        {{"check", good, broken}, 2, good + ": Doppel-Check bestanden\n" + good + ": Syntax-Check bestanden\n",
            broken + ": "},
        {{"check", path("none.xml")}, 2, "", ""},
        // An unreadable pack outranks one that fails a check.
        {{"check", broken, bad}, 2,
            bad + ": Doppel-Check bestanden\n" + bad + ": Syntax-Check nicht bestanden: größe\n", broken + ": "},
        {{"plugins"}, 0, "CSV\nJSON\nPO\n", ""},
        {{"export", "-p", "Nope", good, path("out.txt")}, 2, "", "Unbekanntes Export-Plugin: Nope\n"},
        {{"export", "-p", "json", broken, path("out.txt")}, 2, "", ""},
        {{"write", good}, 2, "", "Falscher Aufruf: write " + good + "\nAufruf:"},
        {{}, 2, "", "Kein Befehl angegeben.\nAufruf:"},
        {{"--version"}, 0, QStringLiteral("wordloom-cli %1\n").arg(QLatin1String(programVersion())), ""},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.arguments.join(QLatin1Char(' ')).toStdString());
        const CliResult result = run(row.arguments);
        EXPECT_EQ(result.code, row.code);
        EXPECT_EQ(result.out, row.out);
        EXPECT_EQ(result.err.left(row.errStart.size()), row.errStart);
        EXPECT_EQ(result.err.isEmpty(), row.code != 2);
    }
    EXPECT_FALSE(QFile::exists(path("out.txt")));
}

namespace {

QByteArray packOf(const char *keys)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<languagepack name='app' lang='x' version='1.0.0' date='then' project='demo'><content>")
        + keys + "</content></languagepack>";
}

} // namespace

TEST_F(CliTest, TextChecksAgainstAReferenceAsJson)
{
    const QString en = writePack(QStringLiteral("en.xml"),
        packOf("<key id='copied' encodeHTML='0' preserveLinebreaks='0' unixNewline='0'><value>%d files "
               "copied</value></key>"
               "<key id='ok' encodeHTML='0' preserveLinebreaks='0' unixNewline='0'><value>OK</value></key>"
               "<key id='save' encodeHTML='0' preserveLinebreaks='0' unixNewline='0'><value>Save "
               "\"%s\"?</value></key>"));
    const QString de = writePack(QStringLiteral("de.xml"),
        packOf("<key id='copied' encodeHTML='0' preserveLinebreaks='0' unixNewline='0'><value>Dateien "
               "kopiert</value></key>"
               "<key id='ok' encodeHTML='0' preserveLinebreaks='0' unixNewline='0'><value>OK</value></key>"
               "<key id='save' encodeHTML='0' preserveLinebreaks='0' unixNewline='0'><value>„%s“ "
               "speichern?</value></key>"));
    const CliResult result = run({"check", "--reference", en, "--all", "--format", "json", de});
    EXPECT_EQ(result.code, 1) << result.err.toStdString();
    const QString json = path(QStringLiteral("findings.json"));
    QFile file(json);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(result.out.toUtf8());
    file.close();
    QProcess python;
    python.start(QStringLiteral(WORDLOOM_PYTHON3),
        {"-c",
            "import json,sys; print(';'.join('|'.join((f['key'], f['check'], f['severity'], f['message'])) "
            "for f in json.load(open(sys.argv[1], encoding='utf-8'))))",
            json});
    ASSERT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(QString::fromUtf8(python.readAllStandardOutput()).trimmed(),
        QStringLiteral("copied|placeholders|error|Platzhalter fehlt: %d;ok|same-as-reference|info|Übersetzung "
                       "gleich der Referenz"));

    // Only the hint is left: exit 0. A dismissal beside the pack counts.
    EXPECT_EQ(run({"check", "--reference", en, "--checks", "same-as-reference,punctuation", de}).code, 0);
    const QString ignore = path(QStringLiteral("de.xml.wordloom-ignore"));
    const CheckedText text{QStringLiteral("Dateien kopiert")}, reference{QStringLiteral("%d files copied")};
    QFile ignored(ignore);
    ASSERT_TRUE(ignored.open(QIODevice::WriteOnly));
    ignored.write("placeholders\tcopied\t" + judgedTextsHash(text, &reference).toLatin1() + "\n");
    ignored.close();
    const CliResult dismissed = run({"check", "--reference", en, "--checks", "placeholders", de});
    EXPECT_EQ(dismissed.code, 0);
    EXPECT_EQ(dismissed.out, QString());

    EXPECT_EQ(run({"check", "--reference", path("none.xml"), "--all", de}).code, 2);
    EXPECT_EQ(run({"check", "--checks", "nope", de}).code, 2);
    const CliResult names = run({"check", "--checks", "duplicates,syntax", testData(QStringLiteral("cp1252.xml"))});
    EXPECT_EQ(names.out, QStringLiteral("größe: Fehler (syntax): Syntax-Check nicht bestanden: größe\n"));
    EXPECT_EQ(names.code, 1);
}

TEST_F(CliTest, AnExportOntoThePackItselfIsRefused)
{
    const QString good = writePack(QStringLiteral("good.xml"), kCliPack);
    ASSERT_TRUE(QFile::link(good, path("symlink.xml")));
    ASSERT_EQ(::link(QFile::encodeName(good).constData(), QFile::encodeName(path("hardlink.xml")).constData()), 0);
    for (const QString &target : {good, path("symlink.xml"), path("hardlink.xml")}) {
        SCOPED_TRACE(target.toStdString());
        const CliResult result = run({"export", "-p", "JSON", good, target});
        EXPECT_EQ(result.code, 2);
        EXPECT_TRUE(result.err.startsWith(QStringLiteral("Der Export würde das Languagepack")))
            << result.err.toStdString();
        EXPECT_EQ(readBytes(good), kCliPack);
    }
    EXPECT_EQ(run({"export", "-p", "JSON", good, path("out.json")}).code, 0);
}

TEST_F(CliTest, NamesDifferingOnlyInCaseAreReportedOnStandardError)
{
    const QString pack = writePack(QStringLiteral("case.xml"),
        "<languagepack><content><key id='Save'><value>1</value></key><key id='save'><value>2</value></key>"
        "</content></languagepack>");
    const std::pair<QStringList, int> rows[] = {
        {{"check", pack}, 0},
        {{"write", pack, path("out.xml")}, 0},
        {{"export", "-p", "JSON", pack, path("out.json")}, 0},
    };
    for (const auto &[arguments, code] : rows) {
        SCOPED_TRACE(arguments.first().toStdString());
        const CliResult result = run(arguments);
        EXPECT_EQ(result.code, code);
        EXPECT_TRUE(result.err.endsWith(QStringLiteral(": Save, save\n"))) << result.err.toStdString();
    }
}

TEST_F(CliTest, WriteToADashGivesTheFilesBytesOnStandardOutput)
{
    const QString good = writePack(QStringLiteral("good.xml"), kCliPack);
    ASSERT_EQ(run({"write", good, path("out.xml")}).code, 0);
    const CliResult result = run({"write", good, "-"});
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.out, QString::fromUtf8(readBytes(path("out.xml"))));
    EXPECT_FALSE(QFile::exists(path("-")));
}

TEST_F(CliTest, FindListsTheMatchingKeysOnceInListOrder)
{
    const QString pack = writePack(QStringLiteral("find.xml"),
        packOf("<key id='dialog.save'><value>Datei speichern</value><comment>Dialog „Speichern“</comment></key>"
               "<key id='Dialog.Open'><value>Öffnen…</value></key>"
               "<key id='dialog.close'><comment>schließt den dialog</comment></key>"
               "<key id='twice'><value>Dateien</value></key>"
               "<key id='twice'><value>Dateien</value></key>"
               "<key id='line&#10;break'><value>straße</value></key>"
               "<key id='menu.quit'><value/></key>"));
    const struct {
        QStringList arguments;
        int code;
        QString out;
        QString errStart;
    } rows[] = {
        {{"find", "ÖFFNEN", pack}, 0, "Dialog.Open\n", ""},
        {{"find", "--case", "ÖFFNEN", pack}, 1, "", ""},
        {{"find", "dialog", pack}, 1, "", ""},
        {{"find", "--in", "key,comment", "dialog", pack}, 0, "dialog.close\nDialog.Open\ndialog.save\n", ""},
        {{"find", "--in", "comment", "--case", "Dialog", pack}, 0, "dialog.save\n", ""},
        {{"find", "--untranslated", "", pack}, 0, "dialog.close\nmenu.quit\n", ""},
        {{"find", "--untranslated", "--in", "key", "dialog.", pack}, 0, "dialog.close\n", ""},
        {{"find", "", pack}, 0, "dialog.close\nDialog.Open\ndialog.save\nline\\nbreak\nmenu.quit\ntwice\n", ""},
        {{"find", "--word", "Datei", pack}, 0, "dialog.save\n", ""},
        {{"find", "STRASSE", pack}, 1, "", ""},
        {{"find", "--regex", "^Datei(en)?$", pack}, 0, "twice\n", ""},
        {{"find", "--regex", "--in", "key", "\\n", pack}, 0, "line\\nbreak\n", ""},
        {{"find", "--", "--in", pack}, 1, "", ""},
        {{"find", "--regex", "(Datei", pack}, 2, "", "Ungültiger regulärer Ausdruck: "},
        {{"find", "x", path("none.xml")}, 2, "", ""},
        {{"find", "--in", "name", "x", pack}, 2, "", "Unbekannter Suchbereich: name\nAufruf:"},
        {{"find", "--in"}, 2, "", "--in ohne Wert\nAufruf:"},
        {{"find", "--fast", "x", pack}, 2, "", "Unbekannte Option: --fast\nAufruf:"},
        {{"find", "x"}, 2, "", "Bitte Suchtext und Languagepack angeben.\nAufruf:"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.arguments.join(QLatin1Char(' ')).toStdString());
        const CliResult result = run(row.arguments);
        EXPECT_EQ(result.code, row.code);
        EXPECT_EQ(result.out, row.out);
        EXPECT_EQ(result.err.left(row.errStart.size()), row.errStart);
        EXPECT_EQ(result.err.isEmpty(), row.code != 2) << result.err.toStdString();
    }
}
