#include "document/recovery.h"

#include "document/journal.h"
#include "document/languagepack.h"
#include "document/packstep.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace Wordloom {

void JournalOffer::discard()
{
    QFile::remove(path);
    lock.reset();
}

OrphanedJournals orphanedJournals(const QString &folder, const QString &packPath)
{
    OrphanedJournals found;
    const QDir dir(folder);
    const QString wanted = packPath.isEmpty() ? QString() : QFileInfo(packPath).absoluteFilePath();
    for (const QFileInfo &file :
        dir.entryInfoList({QStringLiteral("*.journal")}, QDir::Files, QDir::Time | QDir::Reversed)) {
        QFile in(file.filePath());
        if (!in.open(QIODevice::ReadOnly))
            continue;
        JournalOffer offer{file.filePath(), JournalCodec::read(in.readAll(), nullptr), nullptr};
        const JournalHeader &header = offer.reading.header;
        if (!offer.reading.valid)
            continue;
        if (!wanted.isEmpty() && QFileInfo(header.packPath).absoluteFilePath() != wanted)
            continue;
        offer.lock = std::make_unique<QLockFile>(offer.path + QStringLiteral(".lock"));
        offer.lock->setStaleLockTime(0);
        if (!offer.lock->tryLock(0)) {
            found.editedElsewhere = found.editedElsewhere || !wanted.isEmpty();
            continue;
        }
        found.offers.push_back(std::move(offer));
    }
    return found;
}

bool baseUnchanged(const JournalReading &reading, const QByteArray &fileHash)
{
    const JournalHeader &header = reading.header;
    const QFileInfo file(header.packPath);
    if (!file.exists() || file.size() != header.size || file.lastModified().toMSecsSinceEpoch() != header.modified)
        return false;
    return reading.baseHash.isEmpty() || fileHash == reading.baseHash;
}

RecoveryResult replayJournal(LanguagePack &pack, const QString &journalPath, bool baseChanged)
{
    RecoveryResult result;
    QFile in(journalPath);
    if (!in.open(QIODevice::ReadOnly)) {
        result.end = JournalReading::End::Damaged;
        return result;
    }
    const JournalReading reading = JournalCodec::read(in.readAll(), &pack);
    result.end = reading.end;
    using Kind = JournalRecord::Kind;
    for (const JournalRecord &record : reading.records) {
        switch (record.kind) {
        case Kind::Push:
        case Kind::RedoStep: pack.reapply(*record.step, true, result.conflicts, baseChanged); break;
        case Kind::UndoStep: pack.reapply(*record.step, false, result.conflicts, baseChanged); break;
        case Kind::Undo: pack.undo(); break;
        case Kind::Redo: pack.redo(); break;
        default: continue;
        }
        ++result.steps;
    }
    result.conflicts.removeDuplicates();
    return result;
}

QString recoveryReport(const RecoveryResult &result)
{
    QString report = QStringLiteral("%1 Änderungen wiederhergestellt").arg(result.steps);
    if (result.end == JournalReading::End::Cut)
        report += QStringLiteral("; die letzte Änderung wurde nicht mehr vollständig aufgezeichnet");
    else if (result.end == JournalReading::End::Damaged)
        report += QStringLiteral("; das Journal ist danach beschädigt");
    if (!result.conflicts.isEmpty())
        report += QStringLiteral("; bei %1 Schlüsseln blieb der Wert aus der Datei").arg(result.conflicts.size());
    return report;
}

} // namespace Wordloom
