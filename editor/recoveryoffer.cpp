#include "editor/recoveryoffer.h"

#include "document/journal.h"
#include "document/languagepack.h"
#include "document/recovery.h"
#include "document/workerpool.h"
#include "editor/prompts.h"

#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

namespace Wordloom {

namespace {

// The keys a replay left as they are on disk, a few by name.
QString conflictNote(const QString &fileName, QStringList keys)
{
    for (QString &key : keys)
        if (key.isEmpty())
            key = QStringLiteral("(Languagepack-Info)");
    const qsizetype shown = std::min<qsizetype>(keys.size(), 20);
    QString list = QStringList(keys.mid(0, shown)).join(QLatin1Char('\n'));
    if (keys.size() > shown)
        list += QStringLiteral("\n… und %1 weitere").arg(keys.size() - shown);
    return QStringLiteral("„%1“ wurde seit der abgebrochenen Sitzung geändert. Bei diesen Schlüsseln blieb der Wert "
                          "aus der Datei erhalten:\n%2")
        .arg(fileName, list);
}

} // namespace

void RecoveryOffer::run(const QString &packPath)
{
    OrphanedJournals found = orphanedJournals(journal.folder(), packPath);
    if (found.editedElsewhere)
        prompts.showInfo(QStringLiteral("„%1“ wird gerade in einem anderen Fenster bearbeitet. Wer zuletzt speichert, "
                                        "überschreibt die Änderungen des anderen.")
                             .arg(QFileInfo(packPath).fileName()));
    for (JournalOffer &offer : found.offers) {
        const JournalHeader &header = offer.reading.header;
        if (offer.steps() == 0) {
            offer.discard();
            continue;
        }
        const QString fileName = header.packPath.isEmpty() ? QStringLiteral("ein neues Languagepack")
                                                           : QFileInfo(header.packPath).fileName();
        const QString question = QStringLiteral("Wordloom wurde nicht ordnungsgemäß beendet. %1 ungespeicherte "
                                                "Änderungen an „%2“ vom %3 wiederherstellen?")
                                     .arg(offer.steps())
                                     .arg(fileName, header.started.toString(QStringLiteral("dd.MM.yyyy, hh:mm")));
        const RecoveryAnswer answer = prompts.askRecovery(question);
        if (answer == RecoveryAnswer::Discard)
            offer.discard();
        if (answer != RecoveryAnswer::Restore)
            continue;
        // The digest of a large pack takes a while: it is taken while the
        // pack loads.
        QFuture<QByteArray> digest = QtConcurrent::run(&workerPool(), hashPackFile, header.packPath);
        if (packPath.isEmpty()) {
            if (!mayReplace())
                return;
            if (header.packPath.isEmpty())
                create(header.info);
            else if (!QFileInfo::exists(header.packPath)) {
                prompts.showError(QStringLiteral("„%1“ gibt es nicht mehr; die Änderungen bleiben für später "
                                                 "aufbewahrt.")
                                      .arg(header.packPath));
                return;
            } else if (!load(header.packPath)) {
                return;
            }
        }
        const bool changed = !header.packPath.isEmpty() && !baseUnchanged(offer.reading, digest.result());
        const RecoveryResult result = replayJournal(pack, offer.path, changed);
        done(recoveryReport(result));
        if (result.conflicts.isEmpty()) {
            offer.discard();
        } else {
            prompts.showInfo(conflictNote(fileName, result.conflicts));
            journal.keepUntilBase(offer.path, std::move(offer.lock));
        }
        return;
    }
}

} // namespace Wordloom
