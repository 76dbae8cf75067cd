#include "editor/exportcommand.h"

#include "document/languagepack.h"
#include "document/packfile.h"
#include "editor/prompts.h"
#include "plugins/exportrun.h"

#include <QFileInfo>

namespace Wordloom {

QStringList ExportCommand::scan(const QString &folder)
{
    mPlugins.scan(folder);
    return mPlugins.exportNames();
}

QString ExportCommand::run(const QString &exportName, const LanguagePack &pack)
{
    const auto chooseFile = [&](const ExportOffer &offer) {
        mDialog.title = offer.dialogTitle();
        mDialog.defaultExtension = offer.extension;
        mDialog.filter = offer.dialogFilter();
        mDialog.fileName = proposedFileName(pack.info(), offer.extension);
        const QString path = mPrompts.saveFile(mDialog);
        if (!path.isEmpty())
            mDialog.fileName = path;
        if (isSameFile(path, pack.path())) {
            mPrompts.showError(exportOntoPackRefusal(pack.path()));
            return QString();
        }
        return path;
    };
    const ExportOutcome outcome = runExport(mPlugins.libraryPath(exportName), pack.data(), chooseFile, pack.info());
    if (outcome == ExportOutcome::NotLoaded)
        mPrompts.showInfo(QStringLiteral("Oops: Fehler beim Laden des Plugins... :("));
    return outcome == ExportOutcome::Exported ? QStringLiteral("Exportiert: ") + QFileInfo(mDialog.fileName).fileName()
                                              : QString();
}

} // namespace Wordloom
