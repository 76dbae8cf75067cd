#pragma once

#include "document/packformat.h"
#include "document/packstep.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace Wordloom {

class LanguagePack;

// What a journal says about the pack its steps apply to.
struct JournalHeader {
    // Empty for a pack that was never saved; it starts from info.
    QString packPath;
    qint64 size = -1;
    qint64 modified = 0;
    InfoValues info;
    qint64 pid = 0;
    QString host;
    QDateTime started;
};

// One record after the header: a step pushed, undone or redone. Undo and
// redo carry the step when the journal does not hold it; then the replay
// makes it as a new step.
struct JournalRecord {
    enum class Kind : quint8 { Header = 1, BaseHash, Push, Undo, Redo, UndoStep, RedoStep };
    Kind kind;
    std::unique_ptr<PackStep> step;
};

// What the journal writes of a step, copied from it, so the writing may go
// on on another thread while the history changes. Texts and the step's
// lines are shared.
struct JournalStep {
    QString text;
    QString key;
    std::shared_ptr<const std::vector<PackStep::LineChange>> lines;
    std::vector<PackStep::KeyChange> keys;
    int infoRow = -1;
    QString infoBefore;
    QString infoAfter;
};

// A journal as read back. Reading stops at the first record that is cut
// off or damaged; what came before it is kept.
struct JournalReading {
    enum class End { Complete, Cut, Damaged };
    JournalHeader header;
    QByteArray baseHash;
    std::vector<JournalRecord> records;
    End end = End::Complete;
    bool valid = false;
};

// The record format: each record is framed as a little-endian length of
// the payload, a CRC-32 of sequence number and payload, the sequence number
// (counting from 0, the header) and the payload, whose first byte is its
// kind. A file starts with the magic line.
class JournalCodec {
public:
    static const QByteArray kMagic;

    // Length, checksum and sequence number, to be written before the payload.
    static QByteArray frameHead(quint64 sequence, const QByteArray &payload);
    static QByteArray header(const JournalHeader &header);
    static QByteArray baseHash(const QByteArray &hash);

    // A payload written piece by piece: the frame's checksum grows with
    // each piece, and a head with a zero checksum goes first, for the real
    // one to be put in once all pieces are there.
    using Sink = std::function<bool(QByteArrayView piece)>;
    static constexpr qsizetype kPiece = qsizetype(1) << 20;
    static constexpr qsizetype kFrameHeadSize = 16;
    static JournalStep copy(const PackStep &step);
    // The size of the step's payload, and the payload in pieces of about
    // kPiece bytes; a sink that returns false stops it.
    static qint64 stepSize(const JournalStep *step);
    static bool step(JournalRecord::Kind kind, const JournalStep *step, const Sink &out);
    static quint32 checksumStart(quint64 sequence);
    static quint32 checksumAdd(quint32 checksum, QByteArrayView piece);
    static QByteArray frameHead(quint64 sequence, qint64 size, quint32 checksum);

    // The steps are made for the pack they will be replayed on; without a
    // pack they are only counted, for offering the journal back.
    static JournalReading read(const QByteArray &bytes, LanguagePack *pack);

private:
    static std::unique_ptr<PackStep> decodeStep(QByteArrayView payload, LanguagePack &pack);
};

} // namespace Wordloom
