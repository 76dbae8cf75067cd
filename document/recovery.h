#pragma once

#include "document/journalcodec.h"

#include <QLockFile>
#include <QStringList>

#include <memory>
#include <vector>

namespace Wordloom {

class LanguagePack;

// A journal left by a session that ended without saving, locked while it
// is offered so that no other window takes it too.
struct JournalOffer {
    QString path;
    JournalReading reading;
    std::unique_ptr<QLockFile> lock;

    // The steps the journal holds.
    qsizetype steps() const { return qsizetype(reading.records.size()); }
    // Removes the journal for good.
    void discard();
};

struct OrphanedJournals {
    std::vector<JournalOffer> offers;
    // A journal of a process that still runs names the pack asked about.
    bool editedElsewhere = false;
};

// The journals in the folder whose process has gone, oldest first; with a
// pack path only those of that pack. Journals of running processes are
// never touched.
OrphanedJournals orphanedJournals(const QString &folder, const QString &packPath = QString());

// Whether the pack file is still what the journal's steps were made on;
// the digest of the file as it is now comes from hashPackFile().
bool baseUnchanged(const JournalReading &reading, const QByteArray &fileHash);

struct RecoveryResult {
    qsizetype steps = 0;
    JournalReading::End end = JournalReading::End::Complete;
    // Keys whose value on disk differs from what a step started from; the
    // value on disk was kept. An empty name stands for an info value.
    QStringList conflicts;
};

// Replays the journal's records as steps onto the pack, which holds the
// journal's base (loaded, or created from the header's info). On a base
// that changed, a key is not added twice.
RecoveryResult replayJournal(LanguagePack &pack, const QString &journalPath, bool baseChanged);

// The status line's account of a recovery.
QString recoveryReport(const RecoveryResult &result);

} // namespace Wordloom
