#pragma once

// The protocol between the editor and its plug-in helper, wordloom-plughost,
// which loads the plug-ins so that none can take the editor down. Both ends
// talk over one Unix socket pair, the helper's file descriptor 3, in frames:
//
//   u32 payload length (little-endian) | u8 kind | payload
//
// A payload is a row of fields: u8, u32 (little-endian) and texts (u32 byte
// count, then the UTF-8 bytes). One helper serves one discovery or one
// export run, then ends when the editor closes its end:
//
//   discovery:  Discover(path, name so far) -> Listed(listed u8, name)   (per library)
//   export:     Open(path)                  -> Offer(loaded u8, extension, filter,
//                                                    named u8, name)
//               Lines(list u8, count u32, count x (name, value))    (any number;
//                                                    texts each with a NUL after it)
//               Run(file name)              -> Done(error message)
//
// The helper makes the plug-in's calls in the order of the contract only once
// Run came, so nothing it waits for lies between Export_Init and Export_Free.

#include <QByteArray>
#include <QString>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace Wordloom::HostProtocol {

constexpr int kHelperFd = 3;
// A frame beyond this is a broken helper, not a message.
constexpr quint32 kMaxFrame = 64u << 20;
// A run of lines is sent once it holds this many bytes.
constexpr qsizetype kLinesChunk = 4 << 20;

enum class Kind : quint8 { Discover = 1, Listed, Open, Offer, Lines, Run, Done };

// The lists of an export run, in the order they are handed to the plug-in.
enum class List : quint8 { Keys, Html, Breaks, Linebreaks, Info, Comments, Count };

class FrameWriter {
public:
    explicit FrameWriter(Kind kind) { mBytes.append(QByteArray(4, '\0')).append(char(kind)); }
    FrameWriter &u8(quint8 value)
    {
        mBytes.append(char(value));
        return *this;
    }
    FrameWriter &u32(quint32 value)
    {
        for (int shift = 0; shift < 32; shift += 8)
            mBytes.append(char((value >> shift) & 0xff));
        return *this;
    }
    FrameWriter &text(const char *bytes, qsizetype size)
    {
        u32(quint32(size));
        mBytes.append(bytes, size);
        return *this;
    }
    FrameWriter &text(const QByteArray &bytes) { return text(bytes.constData(), bytes.size()); }
    FrameWriter &text(const QString &value) { return text(value.toUtf8()); }
    // A text with a NUL after its bytes, so the reader can hand the bytes
    // out where they are.
    FrameWriter &nulText(const QString &value)
    {
        text(value.toUtf8());
        mBytes.append('\0');
        return *this;
    }
    qsizetype size() const { return mBytes.size(); }
    // Fills in a u32 written before, at its offset in the payload.
    void setU32(qsizetype payloadOffset, quint32 value)
    {
        for (int i = 0; i < 4; ++i)
            mBytes[5 + payloadOffset + i] = char((value >> (8 * i)) & 0xff);
    }
    // The frame with its length filled in.
    const QByteArray &finish()
    {
        const quint32 length = quint32(mBytes.size() - 5);
        for (int i = 0; i < 4; ++i)
            mBytes[i] = char((length >> (8 * i)) & 0xff);
        return mBytes;
    }

private:
    QByteArray mBytes;
};

// Reads the fields of one payload; a field past the end reads as zero or
// empty and makes ok() false.
class FrameReader {
public:
    FrameReader(Kind kind, QByteArray payload) : mKind(kind), mBytes(std::move(payload)) {}
    Kind kind() const { return mKind; }
    bool ok() const { return mOk; }
    quint8 u8() { return take(1) ? quint8(mBytes.at(mAt - 1)) : 0; }
    quint32 u32()
    {
        if (!take(4))
            return 0;
        quint32 value = 0;
        for (int i = 0; i < 4; ++i)
            value |= quint32(quint8(mBytes.at(mAt - 4 + i))) << (8 * i);
        return value;
    }
    // The bytes of a text, pointing into the payload.
    QByteArrayView bytes()
    {
        const quint32 size = u32();
        if (!take(size))
            return {};
        return QByteArrayView(mBytes.constData() + mAt - size, size);
    }
    QString text() { return QString::fromUtf8(bytes()); }
    // A text written by FrameWriter::nulText; its NUL follows the view.
    QByteArrayView nulText()
    {
        const QByteArrayView text = bytes();
        if (!take(1) || mBytes.at(mAt - 1) != '\0') {
            mOk = false;
            return {};
        }
        return text;
    }
    // The whole payload; the views handed out point into it.
    const QByteArray &payload() const { return mBytes; }

private:
    bool take(quint32 size)
    {
        if (!mOk || quint64(mBytes.size() - mAt) < size)
            return mOk = false;
        mAt += size;
        return true;
    }
    Kind mKind;
    // Const, so that no access detaches it from a copy kept by payload().
    const QByteArray mBytes;
    qsizetype mAt = 0;
    bool mOk = true;
};

// Writes all bytes to a blocking socket; false when the other end is gone
// (never SIGPIPE, so a dead peer cannot end the writer).
inline bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Reads exactly size bytes from a blocking descriptor; false on end or error.
inline bool readAll(int fd, char *into, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::read(fd, into, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        into += n;
        size -= size_t(n);
    }
    return true;
}

// The kind and payload length of a frame header.
inline std::optional<std::pair<Kind, quint32>> parseHeader(const char header[5])
{
    quint32 length = 0;
    for (int i = 0; i < 4; ++i)
        length |= quint32(quint8(header[i])) << (8 * i);
    if (length > kMaxFrame)
        return std::nullopt;
    return std::pair{Kind(quint8(header[4])), length};
}

// One whole frame from a blocking descriptor (the helper's side).
inline std::optional<FrameReader> readFrame(int fd)
{
    char header[5];
    if (!readAll(fd, header, sizeof header))
        return std::nullopt;
    const auto parsed = parseHeader(header);
    if (!parsed)
        return std::nullopt;
    QByteArray payload(qsizetype(parsed->second), Qt::Uninitialized);
    if (!readAll(fd, payload.data(), size_t(payload.size())))
        return std::nullopt;
    return FrameReader(parsed->first, std::move(payload));
}

} // namespace Wordloom::HostProtocol
