#include "plugins/exportrun.h"

#include "document/error.h"
#include "document/progress.h"
#include "plugins/pluginhelper.h"

namespace Wordloom {

using namespace HostProtocol;

namespace {

// How long the plug-in may take for its offer before the save dialog.
constexpr int kOfferLimitMs = 2000;

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

Error failed(const QString &why)
{
    return Error(QStringLiteral("Export fehlgeschlagen: ") + why);
}

// Streams one list in frames of about kLinesChunk bytes; only one frame's
// UTF-8 exists at a time. False when the helper is gone.
bool sendList(PluginHelper &helper, List which, const Hashlist &list, Progress *progress)
{
    const qsizetype count = list.count();
    qsizetype at = 0;
    do {
        FrameWriter frame(Kind::Lines);
        frame.u8(quint8(which)).u32(0);
        quint32 inFrame = 0;
        for (; at < count && frame.size() < kLinesChunk; ++at, ++inFrame)
            frame.nulText(list.nameAt(at)).nulText(list.valueAt(at));
        frame.setU32(1, inFrame);
        if (!helper.send(frame))
            return false;
        if (progress) {
            progress->done += inFrame;
            if (progress->cancelled)
                return true;
        }
    } while (at < count);
    return true;
}

} // namespace

QString helperFailure(const PluginHelper &helper)
{
    switch (helper.end()) {
    case PluginHelper::End::Crashed:
        return QStringLiteral("Das Plug-in ist abgestürzt (Signal %1)").arg(helper.signal());
    case PluginHelper::End::TimedOut: return QStringLiteral("Das Plug-in antwortet nicht");
    default: return QStringLiteral("Das Plug-in hat sich beendet, ohne den Export abzuschließen");
    }
}

ExportSession::ExportSession() = default;
ExportSession::~ExportSession() = default;

bool ExportSession::open(const QString &libraryPath)
{
    mHelper = std::make_unique<PluginHelper>();
    FrameWriter request(Kind::Open);
    request.text(libraryPath);
    mHelper->send(request);
    std::optional<FrameReader> answer = mHelper->receive(kOfferLimitMs);
    if (!answer || answer->kind() != Kind::Offer)
        throw failed(helperFailure(*mHelper));
    if (!answer->u8())
        return false;
    mOffer.extension = answer->text();
    mOffer.filterMask = answer->text();
    const bool named = answer->u8();
    const QString name = answer->text();
    if (named)
        mOffer.exportName = name;
    return true;
}

void ExportSession::run(const QString &fileName, const KeyData &data, const InfoValues &info, Progress *progress)
{
    const Hashlist infoList = infoLines(info);
    const std::pair<List, const Hashlist *> lists[]
        = {{List::Keys, &data.hashlistKeys}, {List::Html, &data.hashlistHTML}, {List::Breaks, &data.hashlistBreaks},
            {List::Linebreaks, &data.hashlistLinebreaks}, {List::Info, &infoList},
            {List::Comments, &data.hashlistComments}};
    for (const auto &[which, list] : lists)
        if (!sendList(*mHelper, which, *list, progress))
            break;
    FrameWriter request(Kind::Run);
    request.text(fileName);
    mHelper->send(request);
    std::optional<FrameReader> answer = mHelper->receive(-1, progress ? &progress->cancelled : nullptr);
    if (!answer && mHelper->end() == PluginHelper::End::Cancelled)
        throw Cancelled();
    if (!answer || answer->kind() != Kind::Done)
        throw failed(helperFailure(*mHelper));
    mHelper.reset();
    if (const QString message = answer->text(); !message.isEmpty())
        throw failed(message);
}

ExportOutcome runExport(const QString &libraryPath, const KeyData &data,
    const std::function<QString(const ExportOffer &)> &chooseFile, const InfoValues &info, Progress *progress)
{
    ExportSession session;
    if (!session.open(libraryPath))
        return ExportOutcome::NotLoaded;
    const QString fileName = chooseFile(session.offer());
    if (fileName.isEmpty())
        return ExportOutcome::Cancelled;
    session.run(fileName, data, info, progress);
    return ExportOutcome::Exported;
}

} // namespace Wordloom
