// wordloom-plughost: loads export plug-ins on the editor's behalf, so that a
// plug-in that crashes, hangs or ends the process takes only this helper
// down. It speaks the frames of plugins/hostprotocol.h on descriptor 3 and
// ends when the editor closes its end.
#include "plugins/hostprotocol.h"
#include "plugins/hosttext.h"
#include "plugins/pluginlibrary.h"
#include "plugins/streamedhashlist.h"

#include <csignal>
#include <memory>
#include <sys/prctl.h>
#include <vector>

using namespace Wordloom;
using namespace Wordloom::HostProtocol;

namespace {

// A failure text longer than this is cut; an error box cannot show more.
constexpr qsizetype kMaxFailure = 1000;

bool reply(FrameWriter &frame)
{
    return writeAll(kHelperFd, frame.finish());
}

// Loads the library and answers whether it is listed and under which name;
// the name variable carries over from the libraries before, as it did when
// the editor loaded them itself.
bool discover(FrameReader &request, std::vector<std::unique_ptr<PluginLibrary>> &loaded)
{
    const QString path = request.text();
    HostText name(request.text());
    auto library = std::make_unique<PluginLibrary>(path);
    const Export_getExportName_t getExportName = library->isLoaded() ? library->entryPoints().getExportName : nullptr;
    if (getExportName)
        getExportName(name.get());
    if (library->isLoaded())
        loaded.push_back(std::move(library));
    FrameWriter answer(Kind::Listed);
    answer.u8(getExportName ? 1 : 0).text(name.value());
    return reply(answer);
}

bool offer(const ExportEntryPoints &call, bool loaded)
{
    HostText extension(QStringLiteral("txt"));
    HostText filterMask(QStringLiteral("Text (*.txt)|*.txt"));
    HostText name;
    if (loaded && call.getDefaultExtension)
        call.getDefaultExtension(extension.get());
    if (loaded && call.getFilterMask)
        call.getFilterMask(filterMask.get());
    if (loaded && call.getExportName)
        call.getExportName(name.get());
    FrameWriter answer(Kind::Offer);
    answer.u8(loaded ? 1 : 0).text(extension.value()).text(filterMask.value());
    answer.u8(loaded && call.getExportName ? 1 : 0).text(name.value());
    return reply(answer);
}

bool addLines(FrameReader &request, StreamedHashlist *lists)
{
    const quint8 which = request.u8();
    const quint32 count = request.u32();
    return request.ok() && which < quint8(List::Count) && lists[which].append(request, count);
}

// The calls of the contract after the save dialog, in its order.
bool run(const ExportEntryPoints &call, const StreamedHashlist *lists, const QByteArray &target)
{
    const StreamedHashlist &keys = lists[int(List::Keys)];
    const StreamedHashlist &html = lists[int(List::Html)];
    const StreamedHashlist &breaks = lists[int(List::Breaks)];
    const StreamedHashlist &linebreaks = lists[int(List::Linebreaks)];
    const StreamedHashlist &info = lists[int(List::Info)];
    const StreamedHashlist &comments = lists[int(List::Comments)];
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
        call.setInfo(info.get());
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
    QString message = failure.value();
    if (message.size() > kMaxFailure)
        message = message.left(kMaxFailure) + QStringLiteral("…");
    FrameWriter answer(Kind::Done);
    answer.text(message);
    return reply(answer);
}

} // namespace

int main()
{
    // The helper does not outlive the editor.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::unique_ptr<PluginLibrary>> discovered;
    std::unique_ptr<PluginLibrary> exporter;
    StreamedHashlist lists[int(List::Count)];
    while (std::optional<FrameReader> request = readFrame(kHelperFd)) {
        bool answered = true;
        switch (request->kind()) {
        case Kind::Discover: answered = discover(*request, discovered); break;
        case Kind::Open:
            exporter = std::make_unique<PluginLibrary>(request->text());
            answered = offer(exporter->entryPoints(), exporter->isLoaded());
            break;
        case Kind::Lines: answered = addLines(*request, lists); break;
        case Kind::Run: {
            const QByteArray target = request->bytes().toByteArray();
            answered = exporter && exporter->isLoaded() && run(exporter->entryPoints(), lists, target);
            break;
        }
        default: answered = false;
        }
        if (!answered || !request->ok())
            return 1;
    }
    return 0;
}
