#include "plugins/exportrun.h"

#include "document/error.h"
#include "plugins/hashlistview.h"
#include "plugins/hosttext.h"
#include "plugins/pluginlibrary.h"

namespace Wordloom {

namespace {

// The info block as lines in a fixed order.
Hashlist infoLines(const InfoValues &info)
{
    Hashlist lines;
    const std::pair<const char *, const QString *> rows[] = {{"project", &info.project}, {"name", &info.name},
        {"lang", &info.lang}, {"version", &info.version}, {"date", &info.date}};
    for (const auto &[name, value] : rows)
        lines.setValue(QLatin1String(name), *value);
    return lines;
}

} // namespace

ExportOutcome runExport(const QString &libraryPath, const KeyData &data,
    const std::function<QString(const ExportOffer &)> &chooseFile, const InfoValues &info)
{
    const PluginLibrary library(libraryPath);
    if (!library.isLoaded())
        return ExportOutcome::NotLoaded;
    const ExportEntryPoints &call = library.entryPoints();

    ExportOffer offer;
    HostText extension(offer.extension);
    HostText filterMask(offer.filterMask);
    if (call.getDefaultExtension)
        call.getDefaultExtension(extension.get());
    if (call.getFilterMask)
        call.getFilterMask(filterMask.get());
    offer.extension = extension.value();
    offer.filterMask = filterMask.value();
    if (call.getExportName) {
        HostText name;
        call.getExportName(name.get());
        offer.exportName = name.value();
    }

    const QString fileName = chooseFile(offer);
    if (fileName.isEmpty())
        return ExportOutcome::Cancelled;

    // Everything the calls need is made first, so nothing can fail between
    // Export_Init and Export_Free.
    const HashlistView keys(data.hashlistKeys);
    const HashlistView html(data.hashlistHTML);
    const HashlistView breaks(data.hashlistBreaks);
    const HashlistView linebreaks(data.hashlistLinebreaks);
    const Hashlist infoList = infoLines(info);
    const HashlistView infoView(infoList);
    const HashlistView comments(data.hashlistComments);
    const QByteArray target = fileName.toUtf8();
    HostText failure;
    if (call.init)
        call.init();
    if (call.setHashlistKeys)
        call.setHashlistKeys(keys.get());
    if (call.setHashlistHTML)
        call.setHashlistHTML(html.get());
    if (call.setHashlistBreaks)
        call.setHashlistBreaks(breaks.get());
    if (call.setHashlistLinebreaks)
        call.setHashlistLinebreaks(linebreaks.get());
    if (call.setInfo)
        call.setInfo(infoView.get());
    if (call.setHashlistComments)
        call.setHashlistComments(comments.get());
    if (call.setFileName)
        call.setFileName(target.constData());
    if (call.startExport)
        call.startExport();
    // Asked before Export_Free, which may forget the failure.
    if (call.getLastError)
        call.getLastError(failure.get());
    if (call.free)
        call.free();
    if (const QString message = failure.value(); !message.isEmpty())
        throw Error(QStringLiteral("Export fehlgeschlagen: ") + message);
    return ExportOutcome::Exported;
}

} // namespace Wordloom
