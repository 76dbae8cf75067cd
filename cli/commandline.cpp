#include "cli/commandline.h"

#include "checks/dismissals.h"
#include "checks/keychecks.h"
#include "cli/findcommand.h"
#include "document/clock.h"
#include "document/error.h"
#include "document/languagepack.h"
#include "document/packfile.h"
#include "document/packformat.h"
#include "document/version.h"
#include "plugins/exportrun.h"
#include "plugins/plugincatalog.h"

#include <QBuffer>
#include <QFileDevice>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace Wordloom {

namespace {

const char kUsage[] = "Aufruf:\n"
                      "  wordloom-cli plugins\n"
                      "  wordloom-cli check PACK...\n"
                      "  wordloom-cli check [--reference REF] [--checks ID,ID | --all] [--format text|json] PACK...\n"
                      "  wordloom-cli find [--in key,text,comment] [--regex] [--case] [--word] [--untranslated] "
                      "PATTERN PACK\n"
                      "  wordloom-cli export -p NAME PACK OUT\n"
                      "  wordloom-cli write PACK OUT\n"
                      "  wordloom-cli --help | --version\n";

const char kHelp[] = "Prüft, exportiert und schreibt Languagepacks ohne Fenster.\n\n"
                     "  plugins                 die Namen der Export-Plugins, einer je Zeile\n"
                     "  check PACK...           Doppel-Check und Syntax-Check; Ende 0: bestanden,\n"
                     "                          1: nicht bestanden, 2: Datei nicht lesbar\n"
                     "    --reference REF       vergleicht die Texte mit dem Languagepack REF\n"
                     "    --checks ID,ID        die Prüfungen mit diesen Ids; --all: alle\n"
                     "    --format json         die Befunde als JSON-Array; Ende 1, wenn ein Fehler oder\n"
                     "                          eine Warnung bleibt (ohne die aus PACK.wordloom-ignore)\n"
                     "  find PATTERN PACK       die Namen der Schlüssel, die PATTERN enthalten, einer je\n"
                     "                          Zeile; Ende 0: gefunden, 1: nichts gefunden, 2: Datei\n"
                     "                          nicht lesbar oder Suchmuster falsch\n"
                     "    --in key,text,comment wo gesucht wird (Schlüssel, Übersetzung, Kommentar);\n"
                     "                          ohne --in die Übersetzungen\n"
                     "    --regex, --case, --word  regulärer Ausdruck, Groß-/Kleinschreibung beachten,\n"
                     "                          ganzes Wort\n"
                     "    --untranslated        nur Schlüssel ohne Übersetzung; leeres PATTERN: alle\n"
                     "  export -p NAME PACK OUT exportiert PACK mit dem Plugin NAME nach OUT\n"
                     "  write PACK OUT          schreibt PACK wie \"Speichern als\" nach OUT\n";

// A pack for one command: freed with the holder, or left to the caller's
// leftovers when it keeps them.
class HeldPack {
public:
    explicit HeldPack(Leftovers *leftovers) : mLeftovers(leftovers), mPack(std::make_unique<LanguagePack>()) {}
    HeldPack(const HeldPack &) = delete;
    HeldPack &operator=(const HeldPack &) = delete;
    ~HeldPack()
    {
        if (!mLeftovers)
            return;
        try {
            mLeftovers->packs.push_back(std::move(mPack));
        } catch (...) {
        }
    }
    LanguagePack *operator->() const { return mPack.get(); }
    LanguagePack &operator*() const { return *mPack; }

private:
    Leftovers *mLeftovers;
    std::unique_ptr<LanguagePack> mPack;
};

ExitCode usageError(QTextStream &err, const QString &problem)
{
    err << problem << '\n' << kUsage;
    return ExitCode::Error;
}

ExitCode failure(QTextStream &err, const QString &message)
{
    err << message << '\n';
    return ExitCode::Error;
}

// A name as one line: control characters shown as \n, \t, \x1b and the like.
QString printable(const QString &name)
{
    QString shown;
    for (const QChar c : name) {
        if (c.category() != QChar::Other_Control)
            shown += c;
        else if (c == QLatin1Char('\n'))
            shown += QStringLiteral("\\n");
        else if (c == QLatin1Char('\r'))
            shown += QStringLiteral("\\r");
        else if (c == QLatin1Char('\t'))
            shown += QStringLiteral("\\t");
        else
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    }
    return shown;
}

// The plug-ins of the folder; those skipped get a line on standard error.
void scanPlugins(PluginCatalog &catalog, const QString &folder, QTextStream &err)
{
    catalog.scan(folder);
    for (const QString &skipped : catalog.skipped())
        err << printable(skipped) << '\n';
}

// The editor's warning about names that differ only in case, on standard
// error; it changes no exit code.
void warnCaseVariants(const QStringList &variants, const QString &prefix, QTextStream &err)
{
    if (!variants.isEmpty())
        err << prefix << caseVariantWarning(variants) << '\n';
}

ExitCode checkPacks(const QStringList &paths, QTextStream &out, QTextStream &err, Leftovers *leftovers)
{
    ExitCode code = ExitCode::Ok;
    for (const QString &path : paths) {
        const QString prefix = paths.size() > 1 ? path + QStringLiteral(": ") : QString();
        const HeldPack pack(leftovers);
        try {
            warnCaseVariants(pack->load(path), prefix, err);
        } catch (const Error &error) {
            err << prefix << error.message() << '\n';
            code = ExitCode::Error;
            continue;
        }
        const CheckResult duplicates = checkForDuplicates(pack->keys().names());
        const CheckResult syntax = checkKeySyntax(pack->keys().names());
        out << prefix << duplicateCheckMessage(duplicates) << '\n' << prefix << syntaxCheckMessage(syntax) << '\n';
        if ((!duplicates.passed || !syntax.passed) && code == ExitCode::Ok)
            code = ExitCode::CheckFailed;
    }
    return code;
}

struct CheckOptions {
    QString reference;
    std::vector<const CheckDefinition *> checks;
    bool json = false;
    QStringList packs;
};

// Reads the options of "check"; false (with the problem) on a wrong call.
// Without any option the plain duplicate and syntax check runs.
bool parseCheckOptions(const QStringList &arguments, CheckOptions &options, bool &plain, QString &problem)
{
    plain = true;
    bool all = false;
    QString ids;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        const bool takesValue = argument == u"--reference" || argument == u"--checks" || argument == u"--format";
        if (takesValue && i + 1 == arguments.size()) {
            problem = argument + QStringLiteral(" ohne Wert");
            return false;
        }
        if (argument == u"--reference") {
            options.reference = arguments[++i];
        } else if (argument == u"--checks") {
            ids = arguments[++i];
        } else if (argument == u"--all") {
            all = true;
        } else if (argument == u"--format") {
            const QString &format = arguments[++i];
            if (format != u"json" && format != u"text") {
                problem = QStringLiteral("Unbekanntes Format: ") + format;
                return false;
            }
            options.json = format == u"json";
        } else if (argument.startsWith(u"--")) {
            problem = QStringLiteral("Unbekannte Option: ") + argument;
            return false;
        } else {
            options.packs.append(argument);
            continue;
        }
        plain = false;
    }
    if (options.packs.isEmpty()) {
        problem = QStringLiteral("Kein Languagepack angegeben.");
        return false;
    }
    if (all && !ids.isEmpty()) {
        problem = QStringLiteral("--checks und --all schließen einander aus.");
        return false;
    }
    if (all) {
        for (const CheckDefinition &check : checkRegistry())
            options.checks.push_back(&check);
    } else if (ids.isEmpty()) {
        options.checks = {findCheck(u"duplicates"), findCheck(u"syntax")};
    } else {
        for (const QString &id : ids.split(u',', Qt::SkipEmptyParts)) {
            const CheckDefinition *check = findCheck(id.trimmed());
            if (!check) {
                problem = QStringLiteral("Unbekannte Prüfung: ") + id;
                return false;
            }
            options.checks.push_back(check);
        }
    }
    return true;
}

// The checks of the registry over each pack, findings after dismissals.
ExitCode checkTexts(const CheckOptions &options, QTextStream &out, QTextStream &err, Leftovers *leftovers)
{
    const HeldPack reference(leftovers);
    if (!options.reference.isEmpty()) {
        try {
            reference->load(options.reference);
        } catch (const Error &error) {
            err << options.reference << ": " << error.message() << '\n';
            return ExitCode::Error;
        }
    }
    const CheckedPack referenceTexts{&reference->keys().names(), &reference->data()};
    ExitCode code = ExitCode::Ok;
    QJsonArray json;
    for (const QString &path : options.packs) {
        const QString prefix = options.packs.size() > 1 ? path + QStringLiteral(": ") : QString();
        const HeldPack pack(leftovers);
        Dismissals dismissals;
        try {
            pack->load(path);
            dismissals.load(Dismissals::pathBeside(path));
        } catch (const Error &error) {
            err << prefix << error.message() << '\n';
            code = ExitCode::Error;
            continue;
        }
        const CheckedPack texts{&pack->keys().names(), &pack->data()};
        const CheckedPack *withReference = options.reference.isEmpty() ? nullptr : &referenceTexts;
        std::vector<Finding> findings = checkPack(texts, withReference, options.checks);
        dismissals.filter(findings, texts, withReference);
        for (const Finding &finding : findings) {
            if (finding.check->severity != Severity::Info && code == ExitCode::Ok)
                code = ExitCode::CheckFailed;
            if (options.json) {
                json.append(QJsonObject{{QStringLiteral("key"), finding.key},
                    {QStringLiteral("check"), QLatin1String(finding.check->id)},
                    {QStringLiteral("severity"), QLatin1String(severityId(finding.check->severity))},
                    {QStringLiteral("message"), finding.message}});
            } else {
                out << prefix << finding.key << ": " << severityTitle(finding.check->severity) << " ("
                    << finding.check->id << "): " << finding.message << '\n';
            }
        }
    }
    if (options.json)
        out << QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Indented));
    return code;
}

ExitCode exportPack(const QString &name, const QString &packPath, const QString &outPath, QTextStream &err,
    const QString &pluginFolder, Leftovers *leftovers)
{
    PluginCatalog catalog;
    scanPlugins(catalog, pluginFolder, err);
    const QString library = catalog.libraryPath(name);
    if (library.isEmpty())
        return failure(err, QStringLiteral("Unbekanntes Export-Plugin: ") + name);
    if (isSameFile(packPath, outPath))
        return failure(err, exportOntoPackRefusal(packPath));
    const HeldPack pack(leftovers);
    warnCaseVariants(pack->load(packPath), QString(), err);
    QString target = QFileInfo(outPath).absoluteFilePath();
    if (runExport(
            library, pack->data(), [&](const ExportOffer &) { return target; }, pack->info())
        == ExportOutcome::NotLoaded)
        return failure(err, QStringLiteral("Oops: Fehler beim Laden des Plugins... :("));
    return ExitCode::Ok;
}

// "write PACK -": the pack's bytes on standard output.
void writeToOutput(LanguagePack &pack, const InfoValues &info, QTextStream &out)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    pack.writeTo(buffer, info);
    out.flush();
    auto *device = qobject_cast<QFileDevice *>(out.device());
    if (!device) {
        out << QString::fromUtf8(buffer.data());
        return;
    }
    if (device->write(buffer.data()) != buffer.size() || !device->flush())
        throw Error(QStringLiteral("Die Standardausgabe kann nicht geschrieben werden."));
}

ExitCode writePack(const QString &packPath, const QString &outPath, const Clock &clock, QTextStream &out,
    QTextStream &err, Leftovers *leftovers)
{
    const HeldPack pack(leftovers);
    warnCaseVariants(pack->load(packPath), QString(), err);
    // As Save As: the date stamped, the version as it is.
    InfoValues info = pack->info();
    info.date = formatDateStamp(clock.currentDate(), clock.currentTime());
    if (outPath == QLatin1String("-"))
        writeToOutput(*pack, info, out);
    else
        pack->write(outPath, info);
    return ExitCode::Ok;
}

ExitCode runCommand(const QStringList &arguments, QTextStream &out, QTextStream &err, const Clock &clock,
    const QString &pluginFolder, Leftovers *leftovers)
{
    const QString command = arguments.value(0);
    const QStringList rest = arguments.mid(1);
    try {
        if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
            out << kHelp << '\n' << kUsage;
            return ExitCode::Ok;
        }
        if (command == QLatin1String("--version")) {
            out << "wordloom-cli " << programVersion() << "\n";
            return ExitCode::Ok;
        }
        if (command == QLatin1String("plugins") && rest.isEmpty()) {
            PluginCatalog catalog;
            scanPlugins(catalog, pluginFolder, err);
            for (const QString &name : catalog.exportNames())
                out << printable(name) << '\n';
            return ExitCode::Ok;
        }
        if (command == QLatin1String("check") && !rest.isEmpty()) {
            CheckOptions options;
            bool plain = true;
            QString problem;
            if (!parseCheckOptions(rest, options, plain, problem))
                return usageError(err, problem);
            return plain ? checkPacks(rest, out, err, leftovers) : checkTexts(options, out, err, leftovers);
        }
        if (command == QLatin1String("find")) {
            FindCommand find;
            QString problem;
            if (!find.parse(rest, problem))
                return usageError(err, problem);
            const std::vector<QString> names = find.run(err);
            for (const QString &name : names)
                out << printable(name) << '\n';
            return names.empty() ? ExitCode::NothingFound : ExitCode::Ok;
        }
        if (command == QLatin1String("export") && rest.size() == 4 && rest[0] == QLatin1String("-p"))
            return exportPack(rest[1], rest[2], rest[3], err, pluginFolder, leftovers);
        if (command == QLatin1String("write") && rest.size() == 2)
            return writePack(rest[0], rest[1], clock, out, err, leftovers);
    } catch (const Error &error) {
        return failure(err, error.message());
    } catch (const std::bad_alloc &) {
        return failure(err, QStringLiteral("Nicht genügend Arbeitsspeicher"));
    }
    return usageError(err,
        command.isEmpty() ? QStringLiteral("Kein Befehl angegeben.")
                          : QStringLiteral("Falscher Aufruf: ") + arguments.join(QLatin1Char(' ')));
}

} // namespace

Leftovers::Leftovers() = default;
Leftovers::~Leftovers() = default;

int runCommandLine(const QStringList &arguments, QTextStream &out, QTextStream &err, const Clock &clock,
    const QString &pluginFolder, Leftovers *leftovers)
{
    return int(runCommand(arguments, out, err, clock, pluginFolder, leftovers));
}

} // namespace Wordloom
