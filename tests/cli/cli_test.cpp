#include "cli/commandline.h"

#include "../support/clirun.h"
#include "document/version.h"

#include "checks/checkregistry.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTextStream>
#include <unistd.h>

using namespace Wordloom;

namespace {

// A call and what it should give: exit code, standard output, the start of
// standard error (empty unless the code is 2).
struct CliRow {
    QStringList arguments;
    int code;
    QString out;
    QString errStart;
};

class CliTest : public FolderTest {
protected:
    CliResult run(const QStringList &arguments) { return runCli(arguments, clock); }
    void runRows(std::initializer_list<CliRow> rows)
    {
        for (const CliRow &row : rows) {
            SCOPED_TRACE(row.arguments.join(QLatin1Char(' ')).toStdString());
            const CliResult result = run(row.arguments);
            EXPECT_EQ(result.code, row.code);
            EXPECT_EQ(result.out, row.out);
            EXPECT_EQ(result.err.left(row.errStart.size()), row.errStart);
            EXPECT_EQ(result.err.isEmpty(), row.code != 2) << result.err.toStdString();
        }
    }
    FixedClock clock;
};

} // namespace

TEST_F(CliTest, ExitCodesAndMessages)
{
    const QString good = writePack(QStringLiteral("good.xml"), kCliPack);
    const QString bad = testData(QStringLiteral("cp1252.xml"));
    const QString broken = writePack(QStringLiteral("broken.xml"), "<languagepack><content>");
    runRows({
        {{u"check"_s, good}, 0, u"Doppel-Check bestanden\nSyntax-Check bestanden\n"_s, u""_s},
        {{u"check"_s, bad}, 1, u"Doppel-Check bestanden\nSyntax-Check nicht bestanden: größe\n"_s, u""_s},
        {{u"check"_s, good, broken}, 2, good + u": Doppel-Check bestanden\n"_s + good + u": Syntax-Check bestanden\n"_s,
            broken + u": "_s},
        {{u"check"_s, path(u"none.xml"_s)}, 2, u""_s, u""_s},
        // An unreadable pack outranks one that fails a check.
        {{u"check"_s, broken, bad}, 2,
            bad + u": Doppel-Check bestanden\n"_s + bad + u": Syntax-Check nicht bestanden: größe\n"_s,
            broken + u": "_s},
        {{u"plugins"_s}, 0, u"CSV\nJSON\nPO\n"_s, u""_s},
        {{u"export"_s, u"-p"_s, u"Nope"_s, good, path(u"out.txt"_s)}, 2, u""_s, u"Unbekanntes Export-Plugin: Nope\n"_s},
        {{u"export"_s, u"-p"_s, u"json"_s, broken, path(u"out.txt"_s)}, 2, u""_s, u""_s},
        {{u"write"_s, good}, 2, u""_s, u"Falscher Aufruf: write "_s + good + u"\nAufruf:"_s},
        {{}, 2, u""_s, u"Kein Befehl angegeben.\nAufruf:"_s},
        {{u"--version"_s}, 0, QStringLiteral("wordloom-cli %1\n").arg(QLatin1String(programVersion())), u""_s},
    });
    EXPECT_FALSE(QFile::exists(path(u"out.txt"_s)));
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
    const CliResult result = run({u"check"_s, u"--reference"_s, en, u"--all"_s, u"--format"_s, u"json"_s, de});
    EXPECT_EQ(result.code, 1) << result.err.toStdString();
    const QString json = path(QStringLiteral("findings.json"));
    QFile file(json);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(result.out.toUtf8());
    file.close();
    QProcess python;
    python.start(QStringLiteral(WORDLOOM_PYTHON3),
        {u"-c"_s,
            u"import json,sys; print(';'.join('|'.join((f['key'], f['check'], f['severity'], f['message'])) "
            "for f in json.load(open(sys.argv[1], encoding='utf-8'))))"_s,
            json});
    ASSERT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(QString::fromUtf8(python.readAllStandardOutput()).trimmed(),
        QStringLiteral("copied|placeholders|error|Platzhalter fehlt: %d;ok|same-as-reference|info|Übersetzung "
                       "gleich der Referenz"));

    // Only the hint is left: exit 0. A dismissal beside the pack counts.
    EXPECT_EQ(run({u"check"_s, u"--reference"_s, en, u"--checks"_s, u"same-as-reference,punctuation"_s, de}).code, 0);
    const QString ignore = path(QStringLiteral("de.xml.wordloom-ignore"));
    const CheckedText text{QStringLiteral("Dateien kopiert")}, reference{QStringLiteral("%d files copied")};
    QFile ignored(ignore);
    ASSERT_TRUE(ignored.open(QIODevice::WriteOnly));
    ignored.write("placeholders\tcopied\t" + judgedTextsHash(text, &reference).toLatin1() + "\n");
    ignored.close();
    const CliResult dismissed = run({u"check"_s, u"--reference"_s, en, u"--checks"_s, u"placeholders"_s, de});
    EXPECT_EQ(dismissed.code, 0);
    EXPECT_EQ(dismissed.out, QString());

    EXPECT_EQ(run({u"check"_s, u"--reference"_s, path(u"none.xml"_s), u"--all"_s, de}).code, 2);
    EXPECT_EQ(run({u"check"_s, u"--checks"_s, u"nope"_s, de}).code, 2);
    const CliResult names
        = run({u"check"_s, u"--checks"_s, u"duplicates,syntax"_s, testData(QStringLiteral("cp1252.xml"))});
    EXPECT_EQ(names.out, QStringLiteral("größe: Fehler (syntax): Syntax-Check nicht bestanden: größe\n"));
    EXPECT_EQ(names.code, 1);
}

TEST_F(CliTest, AnExportOntoThePackItselfIsRefused)
{
    const QString good = writePack(QStringLiteral("good.xml"), kCliPack);
    ASSERT_TRUE(QFile::link(good, path(u"symlink.xml"_s)));
    ASSERT_EQ(::link(QFile::encodeName(good).constData(), QFile::encodeName(path(u"hardlink.xml"_s)).constData()), 0);
    for (const QString &target : {good, path(u"symlink.xml"_s), path(u"hardlink.xml"_s)}) {
        SCOPED_TRACE(target.toStdString());
        const CliResult result = run({u"export"_s, u"-p"_s, u"JSON"_s, good, target});
        EXPECT_EQ(result.code, 2);
        EXPECT_TRUE(result.err.startsWith(QStringLiteral("Der Export würde das Languagepack")))
            << result.err.toStdString();
        EXPECT_EQ(readBytes(good), kCliPack);
    }
    EXPECT_EQ(run({u"export"_s, u"-p"_s, u"JSON"_s, good, path(u"out.json"_s)}).code, 0);
}

TEST_F(CliTest, NamesDifferingOnlyInCaseAreReportedOnStandardError)
{
    const QString pack = writePack(QStringLiteral("case.xml"),
        "<languagepack><content><key id='Save'><value>1</value></key><key id='save'><value>2</value></key>"
        "</content></languagepack>");
    const std::pair<QStringList, int> rows[] = {
        {{u"check"_s, pack}, 0},
        {{u"write"_s, pack, path(u"out.xml"_s)}, 0},
        {{u"export"_s, u"-p"_s, u"JSON"_s, pack, path(u"out.json"_s)}, 0},
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
    ASSERT_EQ(run({u"write"_s, good, path(u"out.xml"_s)}).code, 0);
    const CliResult result = run({u"write"_s, good, u"-"_s});
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.out, QString::fromUtf8(readBytes(path(u"out.xml"_s))));
    EXPECT_FALSE(QFile::exists(path(u"-"_s)));
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
    runRows({
        {{u"find"_s, u"ÖFFNEN"_s, pack}, 0, u"Dialog.Open\n"_s, u""_s},
        {{u"find"_s, u"--case"_s, u"ÖFFNEN"_s, pack}, 1, u""_s, u""_s},
        {{u"find"_s, u"dialog"_s, pack}, 1, u""_s, u""_s},
        {{u"find"_s, u"--in"_s, u"key,comment"_s, u"dialog"_s, pack}, 0, u"dialog.close\nDialog.Open\ndialog.save\n"_s,
            u""_s},
        {{u"find"_s, u"--in"_s, u"comment"_s, u"--case"_s, u"Dialog"_s, pack}, 0, u"dialog.save\n"_s, u""_s},
        {{u"find"_s, u"--untranslated"_s, u""_s, pack}, 0, u"dialog.close\nmenu.quit\n"_s, u""_s},
        {{u"find"_s, u"--untranslated"_s, u"--in"_s, u"key"_s, u"dialog."_s, pack}, 0, u"dialog.close\n"_s, u""_s},
        {{u"find"_s, u""_s, pack}, 0, u"dialog.close\nDialog.Open\ndialog.save\nline\\nbreak\nmenu.quit\ntwice\n"_s,
            u""_s},
        {{u"find"_s, u"--word"_s, u"Datei"_s, pack}, 0, u"dialog.save\n"_s, u""_s},
        {{u"find"_s, u"STRASSE"_s, pack}, 1, u""_s, u""_s},
        {{u"find"_s, u"--regex"_s, u"^Datei(en)?$"_s, pack}, 0, u"twice\n"_s, u""_s},
        {{u"find"_s, u"--regex"_s, u"--in"_s, u"key"_s, u"\\n"_s, pack}, 0, u"line\\nbreak\n"_s, u""_s},
        {{u"find"_s, u"--"_s, u"--in"_s, pack}, 1, u""_s, u""_s},
        {{u"find"_s, u"--regex"_s, u"(Datei"_s, pack}, 2, u""_s, u"Ungültiger regulärer Ausdruck: "_s},
        {{u"find"_s, u"x"_s, path(u"none.xml"_s)}, 2, u""_s, u""_s},
        {{u"find"_s, u"--in"_s, u"name"_s, u"x"_s, pack}, 2, u""_s, u"Unbekannter Suchbereich: name\nAufruf:"_s},
        {{u"find"_s, u"--in"_s}, 2, u""_s, u"--in ohne Wert\nAufruf:"_s},
        {{u"find"_s, u"--fast"_s, u"x"_s, pack}, 2, u""_s, u"Unbekannte Option: --fast\nAufruf:"_s},
        {{u"find"_s, u"x"_s}, 2, u""_s, u"Bitte Suchtext und Languagepack angeben.\nAufruf:"_s},
    });
}

TEST_F(CliTest, TheProgramGivesWhatTheRunInTheTestGives)
{
    const QString good = writePack(QStringLiteral("good.xml"), kCliPack);
    const QString broken = writePack(QStringLiteral("broken.xml"), "<languagepack><content>");
    const QRegularExpression date(QStringLiteral("date=\"[^\"]*\""));
    for (const QStringList &arguments : {QStringList{u"check"_s, good}, {u"check"_s, testData(u"cp1252.xml"_s)},
             {u"check"_s, good, broken}, {u"write"_s, good, u"-"_s}}) {
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        QProcess program;
        program.start(QStringLiteral(WORDLOOM_CLI), arguments);
        ASSERT_TRUE(program.waitForFinished(30000));
        Leftovers leftovers;
        CliResult expected;
        QTextStream out(&expected.out), err(&expected.err);
        expected.code = runCommandLine(arguments, out, err, clock, QString(), &leftovers);
        out.flush();
        err.flush();
        EXPECT_EQ(program.exitCode(), expected.code);
        EXPECT_EQ(QString::fromUtf8(program.readAllStandardOutput()).replace(date, QString()),
            expected.out.replace(date, QString()));
        EXPECT_EQ(QString::fromUtf8(program.readAllStandardError()), expected.err);
        // Every pack loaded is kept, the unreadable one too.
        EXPECT_EQ(leftovers.packs.size(), size_t(arguments.size() - 1 - (arguments[0] == u"write")));
    }
}
