#include "document/journalcodec.h"

#include "document/languagepack.h"
#include "document/packstep.h"

#include <QtEndian>

#include <cstring>
#include <functional>

#include <zlib.h>

namespace Wordloom {

const QByteArray JournalCodec::kMagic = QByteArrayLiteral("WORDLOOM-JOURNAL 1\n");

namespace {

using Kind = JournalRecord::Kind;

constexpr qsizetype kFrameHead = JournalCodec::kFrameHeadSize;

quint32 checksum(const char *data, qsizetype size, uLong crc = crc32(0, nullptr, 0))
{
    // zlib takes at most 4 GiB at a time.
    for (qsizetype done = 0; done < size;) {
        const uInt chunk = uInt(std::min<qsizetype>(size - done, qsizetype(1) << 30));
        crc = crc32(crc, reinterpret_cast<const Bytef *>(data + done), chunk);
        done += chunk;
    }
    return quint32(crc);
}

quint32 frameChecksum(quint64 sequence, QByteArrayView payload)
{
    char bytes[8];
    qToLittleEndian(sequence, bytes);
    return checksum(payload.data(), payload.size(), checksum(bytes, 8));
}

// Little-endian numbers, and texts as a length and their UTF-16 code units;
// a step of a million lines is written in one pass over presized memory.
// With a sink, the bytes go out in pieces as they fill one.
class Writer {
public:
    explicit Writer(Kind kind, qsizetype size = 64, const JournalCodec::Sink *sink = nullptr) : mSink(sink)
    {
        mBytes.reserve(sink ? std::min(size, JournalCodec::kPiece + 4096) : size + 1);
        number(quint8(kind));
    }
    // Hands the bytes over once they fill a piece, or all of them.
    bool flush(bool all = false)
    {
        if (!mSink || mBytes.isEmpty() || (!all && mBytes.size() < JournalCodec::kPiece))
            return true;
        const bool ok = (*mSink)(mBytes);
        mBytes.resize(0);
        return ok;
    }
    template <typename T> Writer &number(T value)
    {
        char bytes[sizeof(T)];
        qToLittleEndian(value, bytes);
        mBytes.append(bytes, sizeof(T));
        return *this;
    }
    Writer &text(const QString &value)
    {
        number(quint32(value.size()));
        mBytes.append(reinterpret_cast<const char *>(value.utf16()), value.size() * 2);
        return *this;
    }
    static qsizetype sizeOf(const QString &value) { return 4 + 2 * value.size(); }
    QByteArray take() { return std::move(mBytes); }

private:
    QByteArray mBytes;
    const JournalCodec::Sink *mSink;
};

// Reads what Writer wrote; a read past the end marks the reader failed and
// gives zeros and empty texts from then on.
class Reader {
public:
    explicit Reader(QByteArrayView bytes) : mBytes(bytes), mAt(1) {}
    bool ok() const { return mOk; }
    template <typename T> T number()
    {
        if (!need(sizeof(T)))
            return T();
        const T value = qFromLittleEndian<T>(mBytes.data() + mAt);
        mAt += qsizetype(sizeof(T));
        return value;
    }
    QString text()
    {
        const qsizetype units = number<quint32>();
        if (!need(2 * units))
            return QString();
        QString value(reinterpret_cast<const QChar *>(mBytes.data() + mAt), units);
        mAt += 2 * units;
        return value;
    }

private:
    bool need(qsizetype size)
    {
        mOk = mOk && size >= 0 && mBytes.size() - mAt >= size;
        return mOk;
    }
    QByteArrayView mBytes;
    qsizetype mAt;
    bool mOk = true;
};

void writeInfo(Writer &out, const InfoValues &info)
{
    out.text(info.project).text(info.name).text(info.lang).text(info.version).text(info.date);
}

void readInfo(Reader &in, InfoValues &info)
{
    for (QString *field : {&info.project, &info.name, &info.lang, &info.version, &info.date})
        *field = in.text();
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

QByteArray JournalCodec::frameHead(quint64 sequence, const QByteArray &payload)
{
    return frameHead(sequence, payload.size(), frameChecksum(sequence, payload));
}

QByteArray JournalCodec::header(const JournalHeader &header)
{
    Writer out(Kind::Header);
    out.text(header.packPath).number(header.size).number(header.modified).number(header.pid).text(header.host);
    out.number(header.started.toMSecsSinceEpoch());
    writeInfo(out, header.info);
    return out.take();
}

QByteArray JournalCodec::baseHash(const QByteArray &hash)
{
    Writer out(Kind::BaseHash);
    out.number(quint32(hash.size()));
    QByteArray bytes = out.take();
    return bytes + hash;
}

JournalStep JournalCodec::copy(const PackStep &step)
{
    return JournalStep{step.text(), step.mKey, step.sharedLines(), step.mKeys, step.mInfoRow, step.mInfoBefore,
        step.mInfoAfter};
}

qint64 JournalCodec::stepSize(const JournalStep *step)
{
    if (!step)
        return 1;
    qint64 size = 1 + Writer::sizeOf(step->text) + Writer::sizeOf(step->key) + 8 + 8 + 4;
    for (const PackStep::LineChange &line : *step->lines)
        size += 9 + Writer::sizeOf(line.name) + Writer::sizeOf(line.oldName) + Writer::sizeOf(line.before)
            + Writer::sizeOf(line.after);
    for (const PackStep::KeyChange &key : step->keys)
        size += 17 + Writer::sizeOf(key.name) + Writer::sizeOf(key.newName);
    return size + Writer::sizeOf(step->infoBefore) + Writer::sizeOf(step->infoAfter);
}

bool JournalCodec::step(Kind kind, const JournalStep *step, const Sink &sink)
{
    if (!step) {
        Writer out(kind, 1, &sink);
        return out.flush(true);
    }
    Writer out(kind, stepSize(step), &sink);
    out.text(step->text).text(step->key).number(quint64(step->lines->size()));
    for (const PackStep::LineChange &line : *step->lines) {
        out.number(quint8(line.field)).text(line.name).text(line.oldName).text(line.before).text(line.after);
        out.number(qint64(line.pos));
        if (!out.flush())
            return false;
    }
    out.number(quint64(step->keys.size()));
    for (const PackStep::KeyChange &key : step->keys) {
        out.number(quint8(key.kind))
            .number(qint64(key.row))
            .number(qint64(key.newRow))
            .text(key.name)
            .text(key.newName);
        if (!out.flush())
            return false;
    }
    out.number(qint32(step->infoRow)).text(step->infoBefore).text(step->infoAfter);
    return out.flush(true);
}

quint32 JournalCodec::checksumStart(quint64 sequence)
{
    char bytes[8];
    qToLittleEndian(sequence, bytes);
    return checksum(bytes, 8);
}

quint32 JournalCodec::checksumAdd(quint32 crc, QByteArrayView piece)
{
    return checksum(piece.data(), piece.size(), crc);
}

QByteArray JournalCodec::frameHead(quint64 sequence, qint64 size, quint32 crc)
{
    QByteArray head(kFrameHead, Qt::Uninitialized);
    qToLittleEndian(quint32(size), head.data());
    qToLittleEndian(crc, head.data() + 4);
    qToLittleEndian(sequence, head.data() + 8);
    return head;
}

std::unique_ptr<PackStep> JournalCodec::decodeStep(QByteArrayView payload, LanguagePack &pack)
{
    Reader in(payload);
    const QString text = in.text();
    const QString key = in.text();
    auto step = std::make_unique<PackStep>(pack, text, key);
    const quint64 lines = in.number<quint64>();
    for (quint64 i = 0; i < lines && in.ok(); ++i) {
        PackStep::LineChange line;
        line.field = KeyField(std::min<int>(in.number<quint8>(), int(KeyField::UnixNewline)));
        line.name = in.text();
        line.oldName = in.text();
        line.before = in.text();
        line.after = in.text();
        line.pos = in.number<qint64>();
        line.hash = nameHash(line.name);
        step->mLines->push_back(std::move(line));
    }
    const quint64 keys = in.number<quint64>();
    for (quint64 i = 0; i < keys && in.ok(); ++i) {
        PackStep::KeyChange change{};
        change.kind = PackStep::KeyChange::Kind(std::min<int>(in.number<quint8>(), 2));
        change.row = in.number<qint64>();
        change.newRow = in.number<qint64>();
        change.name = in.text();
        change.newName = in.text();
        step->mKeys.push_back(std::move(change));
    }
    const qint32 infoRow = in.number<qint32>();
    step->mInfoBefore = in.text();
    step->mInfoAfter = in.text();
    step->mInfoRow = infoRow >= 0 && infoRow < 5 ? infoRow : -1;
    return in.ok() ? std::move(step) : nullptr;
}

JournalReading JournalCodec::read(const QByteArray &bytes, LanguagePack *pack)
{
    JournalReading reading;
    if (!bytes.startsWith(kMagic))
        return reading;
    reading.end = walk(bytes, [&](quint64 sequence, QByteArrayView payload) {
        const auto kind = Kind(quint8(payload.front()));
        Reader in(payload);
        if (sequence == 0) {
            JournalHeader &h = reading.header;
            h.packPath = in.text();
            h.size = in.number<qint64>();
            h.modified = in.number<qint64>();
            h.pid = in.number<qint64>();
            h.host = in.text();
            h.started = QDateTime::fromMSecsSinceEpoch(in.number<qint64>());
            readInfo(in, h.info);
            reading.valid = kind == Kind::Header && in.ok();
            return reading.valid;
        }
        if (kind == Kind::BaseHash) {
            const qsizetype size = in.number<quint32>();
            reading.baseHash = payload.sliced(5).toByteArray();
            return in.ok() && reading.baseHash.size() == size;
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

} // namespace Wordloom
