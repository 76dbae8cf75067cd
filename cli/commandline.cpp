#include "cli/commandline.h"

#include "checks/keychecks.h"
#include "document/clock.h"
#include "document/error.h"
#include "document/languagepack.h"
#include "document/packfile.h"
#include "document/packformat.h"
#include "plugins/exportrun.h"
#include "plugins/plugincatalog.h"

#include <QBuffer>
#include <QFileDevice>
#include <QFileInfo>
#include <QTextStream>

namespace Wordloom {

namespace {

const char kUsage[] = "Aufruf:\n"
                      "  wordloom-cli plugins\n"
                      "  wordloom-cli check PACK...\n"
                      "  wordloom-cli export -p NAME PACK OUT\n"
                      "  wordloom-cli write PACK OUT\n"
                      "  wordloom-cli --help | --version\n";

const char kHelp[] = "Prüft, exportiert und schreibt Languagepacks ohne Fenster.\n\n"
                     "  plugins                 die Namen der Export-Plugins, einer je Zeile\n"
                     "  check PACK...           Doppel-Check und Syntax-Check; Ende 0: bestanden,\n"
                     "                          1: nicht bestanden, 2: Datei nicht lesbar\n"
                     "  export -p NAME PACK OUT exportiert PACK mit dem Plugin NAME nach OUT\n"
                     "  write PACK OUT          schreibt PACK wie \"Speichern als\" nach OUT\n";

int usageError(QTextStream &err, const QString &problem)
{
    err << problem << '\n' << kUsage;
    return kExitError;
}

int failure(QTextStream &err, const QString &message)
{
    err << message << '\n';
    return kExitError;
}

// The editor's warning about names that differ only in case, on standard
// error; it changes no exit code.
void warnCaseVariants(const QStringList &variants, const QString &prefix, QTextStream &err)
{
    if (!variants.isEmpty())
        err << prefix << caseVariantWarning(variants) << '\n';
}

int checkPacks(const QStringList &paths, QTextStream &out, QTextStream &err)
{
    int code = kExitOk;
    for (const QString &path : paths) {
        const QString prefix = paths.size() > 1 ? path + QStringLiteral(": ") : QString();
        LanguagePack pack;
        try {
            warnCaseVariants(pack.load(path), prefix, err);
        } catch (const Error &error) {
            err << prefix << error.message() << '\n';
            code = kExitError;
            continue;
        }
        const CheckResult duplicates = checkForDuplicates(pack.keys().names());
        const CheckResult syntax = checkKeySyntax(pack.keys().names());
        out << prefix << duplicateCheckMessage(duplicates) << '\n' << prefix << syntaxCheckMessage(syntax) << '\n';
        if ((!duplicates.passed || !syntax.passed) && code == kExitOk)
            code = kExitCheckFailed;
    }
    return code;
}

int exportPack(const QString &name, const QString &packPath, const QString &outPath, QTextStream &err,
    const QString &pluginFolder)
{
    PluginCatalog catalog;
    catalog.scan(pluginFolder);
    const QString library = catalog.libraryPath(name);
    if (library.isEmpty())
        return failure(err, QStringLiteral("Unbekanntes Export-Plugin: ") + name);
    if (isSameFile(packPath, outPath))
        return failure(err, exportOntoPackRefusal(packPath));
    LanguagePack pack;
    warnCaseVariants(pack.load(packPath), QString(), err);
    const QString target = QFileInfo(outPath).absoluteFilePath();
    if (runExport(library, pack.data(), [&](const ExportOffer &) { return target; }) == ExportOutcome::NotLoaded)
        return failure(err, QStringLiteral("Oops: Fehler beim Laden des Plugins... :("));
    return kExitOk;
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

int writePack(const QString &packPath, const QString &outPath, const Clock &clock, QTextStream &out, QTextStream &err)
{
    LanguagePack pack;
    warnCaseVariants(pack.load(packPath), QString(), err);
    // As Save As: the date stamped, the version as it is.
    InfoValues info = pack.info();
    info.date = formatDateStamp(clock.currentDate(), clock.currentTime());
    if (outPath == QLatin1String("-"))
        writeToOutput(pack, info, out);
    else
        pack.write(outPath, info);
    return kExitOk;
}

} // namespace

int runCommandLine(const QStringList &arguments, QTextStream &out, QTextStream &err, const Clock &clock,
    const QString &pluginFolder)
{
    const QString command = arguments.value(0);
    const QStringList rest = arguments.mid(1);
    try {
        if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
            out << kHelp << '\n' << kUsage;
            return kExitOk;
        }
        if (command == QLatin1String("--version")) {
            out << "wordloom-cli " WORDLOOM_VERSION "\n";
            return kExitOk;
        }
        if (command == QLatin1String("plugins") && rest.isEmpty()) {
            PluginCatalog catalog;
            catalog.scan(pluginFolder);
            for (const QString &name : catalog.exportNames())
                out << name << '\n';
            return kExitOk;
        }
        if (command == QLatin1String("check") && !rest.isEmpty())
            return checkPacks(rest, out, err);
        if (command == QLatin1String("export") && rest.size() == 4 && rest[0] == QLatin1String("-p"))
            return exportPack(rest[1], rest[2], rest[3], err, pluginFolder);
        if (command == QLatin1String("write") && rest.size() == 2)
            return writePack(rest[0], rest[1], clock, out, err);
    } catch (const Error &error) {
        return failure(err, error.message());
    } catch (const std::bad_alloc &) {
        return failure(err, QStringLiteral("Nicht genügend Arbeitsspeicher"));
    }
    return usageError(err,
        command.isEmpty() ? QStringLiteral("Kein Befehl angegeben.")
                          : QStringLiteral("Falscher Aufruf: ") + arguments.join(QLatin1Char(' ')));
}

} // namespace Wordloom
