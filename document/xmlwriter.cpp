#include "document/xmldom.h"

#include "document/keytextcodec.h"
#include "document/xmlprivate.h"

#include <QIODevice>

#include <algorithm>
#include <climits>
#include <cstring>

namespace Wordloom {

using namespace xmlpriv;

namespace {

// Writes everything, going on after a short write so that a full disk
// shows as the device's error.
bool writeAll(QIODevice &device, QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const qint64 written = device.write(bytes.data(), bytes.size());
        if (written <= 0)
            return false;
        bytes = bytes.sliced(written);
    }
    return true;
}

// Buffers libxml2's output and hands it to the device in large pieces; the
// first bytes (a byte order mark the encoder already wrote) can be skipped.
struct DeviceSink {
    QIODevice *device = nullptr;
    QByteArray buffer;
    qsizetype skip = 0;
    bool failed = false;

    bool flush()
    {
        if (!failed && !buffer.isEmpty() && !writeAll(*device, buffer))
            failed = true;
        // The room stays for the next bytes.
        buffer.resize(0);
        return !failed;
    }
};

int writeToDevice(void *context, const char *data, int length) noexcept
{
    auto *sink = static_cast<DeviceSink *>(context);
    try {
        const int skipped = int(std::min<qsizetype>(sink->skip, length));
        sink->skip -= skipped;
        sink->buffer.append(data + skipped, length - skipped);
        if (sink->buffer.size() >= (1 << 20) && !sink->flush())
            return -1;
        return length;
    } catch (...) {
        sink->failed = true;
        return -1;
    }
}

XmlNode firstContent(const XmlDocument &doc)
{
    return doc.root().firstChildElement("content");
}

// Serializes each element as it comes, after the text before the content;
// the text before goes out with the first element, so an empty content can
// still be written as the tree has it.
class SaveSink : public XmlDocument::ElementSink {
public:
    SaveSink(QIODevice &output, const char *encoding, qsizetype bomSize, QByteArrayView before) : mBefore(before)
    {
        mSink.device = &output;
        mSink.skip = bomSize;
        mSink.buffer.reserve(1 << 20);
        mSave.reset(xmlSaveToIO(writeToDevice, closeNothing, &mSink, encoding, 0));
        if (!mSave)
            throw Error(QStringLiteral("Die Zeichenkodierung \"%1\" kann nicht geschrieben werden.")
                            .arg(cutEcho(QString::fromUtf8(encoding))));
    }

    void add(XmlDetached element) override
    {
        if (!mAdded++ && !writeAll(*mSink.device, mBefore))
            throw failure(true);
        if (xmlSaveTree(mSave.get(), element.node().handle()) < 0 || mSink.failed)
            throw failure(mSink.failed);
    }

    // Whether anything was written.
    bool finish()
    {
        const int closed = xmlSaveClose(mSave.release());
        if (closed < 0 || !mSink.flush())
            throw failure(mSink.failed);
        return mAdded > 0;
    }

    static Error failure(bool output)
    {
        return output ? Error(QStringLiteral("Die Daten konnten nicht geschrieben werden."))
                      : Error(QStringLiteral("Das Languagepack konnte nicht in XML umgewandelt werden."));
    }

private:
    QByteArrayView mBefore;
    qsizetype mAdded = 0;
    DeviceSink mSink;
    std::unique_ptr<xmlSaveCtxt, CloseSaveContext> mSave;
};

// Collects the elements into the tree instead, for an encoding whose text
// cannot be cut apart around a marker.
class TreeSink : public XmlDocument::ElementSink {
public:
    explicit TreeSink(XmlNode content) : mContent(content) {}
    void add(XmlDetached element) override { mContent.adopt(std::move(element)); }

private:
    XmlNode mContent;
};

} // namespace

void XmlDocument::checkEncoding() const
{
    if (!mDoc->encoding)
        return;
    // Some spellings of an encoding make libxml2 write broken character
    // references for what the encoding cannot hold; such a file would not
    // load again.
    const QString probe = QStringLiteral("\u03A9\u20AC\U0001F600\u00FC\"<&");
    XmlDocument test = parseText(QStringLiteral("<p/>"));
    test.mDoc->encoding = xmlStrdup(mDoc->encoding);
    test.mHasDeclaration = true;
    XmlNode root = test.root();
    root.setAttribute("a", probe);
    root.setText(probe);
    QString back;
    try {
        const XmlDocument reread = parseData(test.serialize(), QString());
        back = reread.root().attribute("a") + QLatin1Char('|') + textFromUtf8(reread.root().rawText());
    } catch (const Error &) {
    }
    if (back != probe + QLatin1Char('|') + probe)
        throw Error(QStringLiteral("Die Zeichenkodierung \"%1\" kann nicht fehlerfrei geschrieben werden. "
                                   "Das Languagepack wurde nicht gespeichert")
                        .arg(cutEcho(QString::fromUtf8(reinterpret_cast<const char *>(mDoc->encoding)))));
}

void XmlDocument::write(QIODevice &output, const ContentWriter &content)
{
    XmlNode place = firstContent(*this);
    if (place.isNull())
        throw Error(QStringLiteral("Das Languagepack konnte nicht in XML umgewandelt werden."));
    // Every write rebuilds the content.
    place.removeChildren();
    checkEncoding();

    // The text around the keys: the tree serialized with a comment "A" and
    // with "AA" in "content"; where the two first differ lies the comment,
    // whatever the encoding.
    const auto withComment = [&](const char *text) {
        XmlNode note = place.appendComment(text);
        QByteArray bytes;
        try {
            bytes = serialize();
        } catch (...) {
            note.remove();
            throw;
        }
        note.remove();
        return bytes;
    };
    const QByteArray one = withComment("A");
    const QByteArray two = withComment("AA");
    const qsizetype width = two.size() - one.size();
    qsizetype differ = 0;
    while (differ < one.size() && one[differ] == two[differ])
        ++differ;
    const qsizetype start = width > 0 ? differ - differ % width - 5 * width : -1;
    const qsizetype end = start + 8 * width;
    const bool cut = start >= 0 && end <= one.size() && one.first(start) == two.first(start)
        && one.sliced(end) == two.sliced(end + width);

    const auto put = [&](QByteArrayView bytes) {
        if (!writeAll(output, bytes))
            throw Error(QStringLiteral("Die Daten konnten nicht geschrieben werden."));
    };
    if (!cut) {
        TreeSink sink(place);
        try {
            content(sink);
            put(serialize());
        } catch (...) {
            place.removeChildren();
            throw;
        }
        place.removeChildren();
        return;
    }

    prepareLibxml();
    const char *encoding = encodingName();
    // A fresh save context writes the byte order mark first; the keys come
    // after the text that already has one.
    qsizetype bomSize = 0;
    {
        Sink probe;
        std::unique_ptr<xmlSaveCtxt, CloseSaveContext> save(
            xmlSaveToIO(writeToSink, closeNothing, &probe, encoding, 0));
        if (save)
            xmlSaveClose(save.release());
        bomSize = probe.bytes.size();
    }
    // libxml2 writes attributes of a document without an encoding with
    // character references for everything beyond ASCII, unlike a whole
    // document saved as UTF-8; the keys are written as such a document.
    struct Declared {
        xmlDocPtr doc;
        bool borrowed;
        explicit Declared(xmlDocPtr d) : doc(d), borrowed(!d->encoding)
        {
            if (borrowed)
                doc->encoding = xmlStrdup(xc("UTF-8"));
        }
        ~Declared()
        {
            if (borrowed) {
                xmlFree(const_cast<xmlChar *>(doc->encoding));
                doc->encoding = nullptr;
            }
        }
    } declared(mDoc.get());
    SaveSink sink(output, encoding, bomSize, QByteArrayView(one).first(start));
    content(sink);
    if (sink.finish())
        put(QByteArrayView(one).sliced(end));
    else
        put(serialize());
}

} // namespace Wordloom
