#include "document/journalcodec.h"

#include "document/languagepack.h"
#include "document/packstep.h"

#include <QDataStream>
#include <QtEndian>

#include <zlib.h>

namespace Wordloom {

const QByteArray JournalCodec::kMagic = QByteArrayLiteral("WORDLOOM-JOURNAL 1\n");

namespace {

constexpr qsizetype kFrameHead = 16;

quint32 checksum(const char *data, qsizetype size)
{
    uLong crc = crc32(0, nullptr, 0);
    // zlib takes at most 4 GiB at a time.
    for (qsizetype done = 0; done < size;) {
        const uInt chunk = uInt(std::min<qsizetype>(size - done, qsizetype(1) << 30));
        crc = crc32(crc, reinterpret_cast<const Bytef *>(data + done), chunk);
        done += chunk;
    }
    return quint32(crc);
}

QDataStream &stream(QDataStream &out)
{
    out.setVersion(QDataStream::Qt_6_0);
    out.setByteOrder(QDataStream::LittleEndian);
    return out;
}

QByteArray payload(JournalRecord::Kind kind, const std::function<void(QDataStream &)> &write)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    stream(out) << quint8(kind);
    write(out);
    return bytes;
}

void writeInfo(QDataStream &out, const InfoValues &info)
{
    out << info.project << info.name << info.lang << info.version << info.date;
}

void readInfo(QDataStream &in, InfoValues &info)
{
    in >> info.project >> info.name >> info.lang >> info.version >> info.date;
}

quint32 frameChecksum(quint64 sequence, QByteArrayView payload)
{
    char bytes[8];
    qToLittleEndian(sequence, bytes);
    const uLong crc = checksum(bytes, 8);
    return quint32(crc32_combine(crc, checksum(payload.data(), payload.size()), z_off_t(payload.size())));
}

// Calls record(sequence, payload) for each whole, sound frame in order
// until it returns false; says how the frames ended.
JournalReading::End walk(const QByteArray &bytes, const std::function<bool(quint64, QByteArrayView)> &record)
{
    qsizetype at = JournalCodec::kMagic.size();
    for (quint64 sequence = 0; at < bytes.size(); ++sequence) {
        if (bytes.size() - at < kFrameHead)
            return JournalReading::End::Cut;
        const char *head = bytes.constData() + at;
        const qsizetype size = qFromLittleEndian<quint32>(head);
        if (bytes.size() - at - kFrameHead < size)
            return JournalReading::End::Cut;
        const QByteArrayView payload(head + kFrameHead, size);
        if (qFromLittleEndian<quint64>(head + 8) != sequence || payload.isEmpty()
            || qFromLittleEndian<quint32>(head + 4) != frameChecksum(sequence, payload))
            return JournalReading::End::Damaged;
        if (!record(sequence, payload))
            return JournalReading::End::Damaged;
        at += kFrameHead + size;
    }
    return JournalReading::End::Complete;
}

} // namespace

QByteArray JournalCodec::frame(quint64 sequence, const QByteArray &payload)
{
    QByteArray out(kFrameHead, Qt::Uninitialized);
    char *head = out.data();
    qToLittleEndian(quint32(payload.size()), head);
    qToLittleEndian(frameChecksum(sequence, payload), head + 4);
    qToLittleEndian(sequence, head + 8);
    out += payload;
    return out;
}

QByteArray JournalCodec::header(const JournalHeader &header)
{
    return payload(JournalRecord::Kind::Header, [&](QDataStream &out) {
        out << header.packPath << header.size << header.modified << header.pid << header.host << header.started;
        writeInfo(out, header.info);
    });
}

QByteArray JournalCodec::baseHash(const QByteArray &hash)
{
    return payload(JournalRecord::Kind::BaseHash, [&](QDataStream &out) { out << hash; });
}

QByteArray JournalCodec::step(JournalRecord::Kind kind, const PackStep *step)
{
    return payload(kind, [&](QDataStream &out) {
        if (!step)
            return;
        out << step->text() << step->mKey << quint64(step->mLines.size());
        for (const PackStep::LineChange &line : step->mLines)
            out << quint8(line.field) << line.name << line.oldName << line.before << line.after << qint64(line.pos);
        out << quint64(step->mKeys.size());
        for (const PackStep::KeyChange &key : step->mKeys)
            out << quint8(key.kind) << qint64(key.row) << qint64(key.newRow) << key.name << key.newName;
        out << qint32(step->mInfoRow) << step->mInfoBefore << step->mInfoAfter;
    });
}

namespace {

using Kind = JournalRecord::Kind;

// Decodes a step record; null when it does not decode.
std::unique_ptr<PackStep> decodeStep(QByteArrayView payload, LanguagePack &pack)
{
    const QByteArray bytes = QByteArray::fromRawData(payload.data(), payload.size());
    QDataStream in(bytes);
    quint8 tag;
    QString text, key;
    quint64 lines = 0;
    stream(in) >> tag >> text >> key >> lines;
    auto step = std::make_unique<PackStep>(pack, text, key);
    JournalCodec::fill(*step, in, lines);
    return in.status() == QDataStream::Ok ? std::move(step) : nullptr;
}

} // namespace

JournalReading JournalCodec::read(const QByteArray &bytes, LanguagePack *pack)
{
    JournalReading reading;
    if (!bytes.startsWith(kMagic))
        return reading;
    reading.end = walk(bytes, [&](quint64 sequence, QByteArrayView payload) {
        const auto kind = Kind(quint8(payload.front()));
        const QByteArray record = QByteArray::fromRawData(payload.data(), payload.size());
        QDataStream in(record);
        quint8 tag;
        stream(in) >> tag;
        if (sequence == 0) {
            JournalHeader &h = reading.header;
            in >> h.packPath >> h.size >> h.modified >> h.pid >> h.host >> h.started;
            readInfo(in, h.info);
            reading.valid = kind == Kind::Header && in.status() == QDataStream::Ok;
            return reading.valid;
        }
        if (kind == Kind::BaseHash) {
            in >> reading.baseHash;
            return in.status() == QDataStream::Ok;
        }
        if (kind < Kind::Push || kind > Kind::RedoStep)
            return false;
        JournalRecord out{kind, nullptr};
        if (pack && (kind == Kind::Push || kind == Kind::UndoStep || kind == Kind::RedoStep)) {
            out.step = decodeStep(payload, *pack);
            if (!out.step)
                return false;
        }
        reading.records.push_back(std::move(out));
        return true;
    });
    return reading;
}

void JournalCodec::fill(PackStep &step, QDataStream &in, quint64 lines)
{
    for (quint64 i = 0; i < lines && in.status() == QDataStream::Ok; ++i) {
        PackStep::LineChange line;
        quint8 field;
        qint64 pos;
        in >> field >> line.name >> line.oldName >> line.before >> line.after >> pos;
        line.field = KeyField(std::min<int>(field, int(KeyField::UnixNewline)));
        line.pos = pos;
        line.hash = nameHash(line.name);
        step.mLines.push_back(std::move(line));
    }
    quint64 keys = 0;
    in >> keys;
    for (quint64 i = 0; i < keys && in.status() == QDataStream::Ok; ++i) {
        PackStep::KeyChange change{};
        quint8 kind;
        qint64 row, newRow;
        in >> kind >> row >> newRow >> change.name >> change.newName;
        change.kind = PackStep::KeyChange::Kind(std::min<int>(kind, 2));
        change.row = row;
        change.newRow = newRow;
        step.mKeys.push_back(std::move(change));
    }
    qint32 infoRow = -1;
    in >> infoRow >> step.mInfoBefore >> step.mInfoAfter;
    step.mInfoRow = infoRow >= 0 && infoRow < 5 ? infoRow : -1;
}

} // namespace Wordloom
