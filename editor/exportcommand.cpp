#include "editor/exportcommand.h"

#include "document/languagepack.h"
#include "document/packfile.h"
#include "document/progress.h"
#include "editor/backgroundwork.h"
#include "editor/prompts.h"
#include "plugins/exportrun.h"

#include <QFileInfo>

namespace Wordloom {

QStringList ExportCommand::scan(const QString &folder)
{
    mPlugins.scan(folder);
    return mPlugins.exportNames();
}

QString ExportCommand::skippedMessage() const
{
    return mPlugins.skipped().join(QStringLiteral("; "));
}

QString ExportCommand::run(const QString &exportName, const LanguagePack &pack, QWidget *window)
{
    ExportSession session;
    if (!session.open(mPlugins.libraryPath(exportName))) {
        mPrompts.showInfo(QStringLiteral("Oops: Fehler beim Laden des Plugins... :("));
        return QString();
    }
    const ExportOffer &offer = session.offer();
    mDialog.title = offer.dialogTitle();
    mDialog.defaultExtension = offer.extension;
    mDialog.filter = offer.dialogFilter();
    mDialog.fileName = proposedFileName(pack.info(), offer.extension);
    const QString path = mPrompts.saveFile(mDialog);
    if (path.isEmpty())
        return QString();
    mDialog.fileName = path;
    if (isSameFile(path, pack.path())) {
        mPrompts.showError(exportOntoPackRefusal(pack.path()));
        return QString();
    }
    // "Abbrechen" ends the helper; the window goes on.
    const bool exported = runWithProgress<bool>(window, QStringLiteral("Exportieren..."), 0, [&](Progress &progress) {
        session.run(path, pack.data(), pack.info(), &progress);
        return true;
    }).has_value();
    return exported ? QStringLiteral("Exportiert: ") + QFileInfo(path).fileName() : QString();
}

} // namespace Wordloom
