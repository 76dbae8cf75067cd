#include "document/xmldom.h"

#include "document/keytextcodec.h"
#include "document/progress.h"
#include "document/xmlprescan.h"
#include "document/xmlprivate.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <libxml/SAX2.h>
#include <libxml/parserInternals.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <exception>

namespace Wordloom {

using namespace xmlpriv;

XmlDocument XmlDocument::parseFile(const QString &path, const ContentHandler &content, Progress *progress)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden: %2")
                        .arg(QDir::toNativeSeparators(path), file.errorString()));
    try {
        return parseDevice(file, QFileInfo(path).fileName(), content, progress);
    } catch (const ReadFailure &) {
        throw Error(QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden: %2")
                        .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
}

XmlDocument XmlDocument::parseText(const QString &text)
{
    return parseData(text.toUtf8(), QString());
}

XmlDocument XmlDocument::parseData(const QByteArray &bytes, const QString &source, const ContentHandler &content)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return parseDevice(buffer, source, content);
}

void StreamedElement::reset()
{
    mName.clear();
    mLine = 0;
    mHasChildNodes = false;
    mAttributeCount = 0;
    mChildCount = 0;
}

bool StreamedElement::hasAttribute(std::string_view name) const
{
    for (qsizetype i = 0; i < mAttributeCount; ++i)
        if (std::string_view(mAttributes[size_t(i)].name) == name)
            return true;
    return false;
}

QByteArrayView StreamedElement::rawAttribute(std::string_view name) const
{
    for (qsizetype i = 0; i < mAttributeCount; ++i)
        if (std::string_view(mAttributes[size_t(i)].name) == name)
            return QByteArrayView(mAttributes[size_t(i)].value.data(), qsizetype(mAttributes[size_t(i)].value.size()));
    return QByteArrayView();
}

const StreamedElement::Child *StreamedElement::child(std::string_view name) const
{
    for (qsizetype i = 0; i < mChildCount; ++i)
        if (std::string_view(mChildren[size_t(i)].name) == name)
            return &mChildren[size_t(i)];
    return nullptr;
}

// A text on the fast path beyond the limit, at the line of its key.
struct TextTooLong {
    long line;
};

// Fills a StreamedElement from parser events, or from a finished node.
class StreamBuilder {
public:
    using Kind = StreamedElement::NodeKind;

    StreamedElement element;
    // The child being recorded while inside a child element, or -1.
    qsizetype recording = -1;

    void begin(const xmlChar *name, long line, int attributeCount, const xmlChar **attributes)
    {
        element.reset();
        element.mName = reinterpret_cast<const char *>(name);
        element.mLine = line;
        // Five pointers each: name, prefix, URI, value, end of value.
        for (int i = 0; i < attributeCount; ++i) {
            const xmlChar **a = attributes + 5 * i;
            if (a[1])
                continue;
            addAttribute(reinterpret_cast<const char *>(a[0]), reinterpret_cast<const char *>(a[3]),
                size_t(a[4] - a[3]));
        }
    }

    void markChildNode() { element.mHasChildNodes = true; }

    // A child element starts: recorded when it is the first of its name.
    void beginChild(const char *name)
    {
        element.mHasChildNodes = true;
        recording = element.child(name) ? -1 : addChild(name);
    }

    // A node directly inside the recorded child.
    void childNode(Kind kind, const char *text, size_t length)
    {
        if (recording < 0)
            return;
        StreamedElement::Child &c = element.mChildren[size_t(recording)];
        if (kind != Kind::Other && c.lastKind == kind) {
            if (c.nodes == 1)
                c.text.append(text, length);
            checkSize(c.text.size());
            return;
        }
        if (++c.nodes == 1 && kind != Kind::Other)
            c.text.assign(text, length);
        c.lastKind = kind;
        checkSize(c.text.size());
    }

    void fromNode(xmlNodePtr node)
    {
        element.reset();
        element.mName = reinterpret_cast<const char *>(node->name);
        element.mLine = xmlGetLineNo(node);
        element.mHasChildNodes = node->children != nullptr;
        for (xmlAttrPtr a = node->properties; a; a = a->next) {
            if (a->ns)
                continue;
            const QByteArray value = XmlNode(node).rawAttribute(reinterpret_cast<const char *>(a->name));
            addAttribute(reinterpret_cast<const char *>(a->name), value.constData(), size_t(value.size()));
        }
        for (xmlNodePtr c = node->children; c; c = c->next) {
            if (c->type != XML_ELEMENT_NODE)
                continue;
            beginChild(reinterpret_cast<const char *>(c->name));
            for (xmlNodePtr g = c->children; g; g = g->next) {
                const Kind kind = g->type == XML_TEXT_NODE ? Kind::Text
                    : g->type == XML_CDATA_SECTION_NODE    ? Kind::CData
                                                           : Kind::Other;
                const char *text = kind == Kind::Other ? "" : reinterpret_cast<const char *>(g->content);
                // The tree has joined what joins, so each node counts.
                if (recording >= 0)
                    element.mChildren[size_t(recording)].lastKind = Kind::None;
                childNode(kind, text, text ? std::strlen(text) : 0);
            }
        }
        recording = -1;
    }

private:
    // The limit libxml2 holds the tree to, held on the fast path too.
    void checkSize(size_t size) const
    {
        if (size > size_t(XmlDocument::kMaxTextSize))
            throw TextTooLong{element.mLine};
    }

    void addAttribute(const char *name, const char *value, size_t length)
    {
        if (size_t(element.mAttributeCount) == element.mAttributes.size())
            element.mAttributes.emplace_back();
        StreamedElement::Attribute &a = element.mAttributes[size_t(element.mAttributeCount++)];
        a.name = name;
        a.value.assign(value, length);
    }

    qsizetype addChild(const char *name)
    {
        if (size_t(element.mChildCount) == element.mChildren.size())
            element.mChildren.emplace_back();
        StreamedElement::Child &c = element.mChildren[size_t(element.mChildCount)];
        c.name = name;
        c.text.clear();
        c.nodes = 0;
        c.lastKind = Kind::None;
        return element.mChildCount++;
    }
};

QByteArrayView StreamedElement::childText(std::string_view name) const
{
    const Child *c = child(name);
    if (!c || c->nodes == 0)
        return QByteArrayView();
    if (c->nodes > 1 || c->lastKind == StreamBuilder::Kind::Other)
        throw Error(QStringLiteral("Element enthält keinen einzelnen Textknoten."));
    return QByteArrayView(c->text.data(), qsizetype(c->text.size()));
}

namespace {

// What a streaming parse keeps beside libxml2's context (its _private).
struct Stream {
    QIODevice *input = nullptr;
    // The input is read in large blocks and handed to libxml2 in the small
    // pieces it asks for, so reading takes few calls.
    static constexpr qsizetype kBlockSize = 1 << 16;
    QByteArray block;
    qsizetype blockPos = 0;
    Progress *progress = nullptr;
    bool cancelled = false;
    const XmlDocument::ContentHandler *handler = nullptr;
    // The root's first "content" element while it is open.
    xmlNodePtr content = nullptr;
    bool contentSeen = false;
    // Without a document type there are no entities beyond the predefined
    // ones, so the elements inside "content" are read from the parser's
    // events without building nodes; with one, libxml2 builds them.
    bool hasDoctype = false;
    bool fast = false;
    // How deep inside "content" the fast path is.
    int depth = 0;
    StreamBuilder builder;
    bool readFailed = false;
    // Refuses what would cost libxml2 far more than its size, before libxml2
    // sees it.
    XmlPrescan prescan;
    // The first bytes, to tell whether the file has a declaration.
    char head[16] = {};
    qsizetype headSize = 0;
    std::exception_ptr failure;
};

Stream &streamOf(void *context)
{
    return *static_cast<Stream *>(static_cast<xmlParserCtxtPtr>(context)->_private);
}

int readInput(void *context, char *buffer, int length) noexcept
{
    auto *stream = static_cast<Stream *>(context);
    if (stream->progress && stream->progress->cancelled) {
        stream->cancelled = true;
        return -1;
    }
    if (stream->blockPos == stream->block.size()) {
        // Within the room reserved, so nothing is allocated here.
        stream->block.resize(Stream::kBlockSize);
        const qint64 got = stream->input->read(stream->block.data(), Stream::kBlockSize);
        if (got < 0) {
            stream->readFailed = true;
            return -1;
        }
        stream->block.resize(got);
        stream->blockPos = 0;
    }
    const qsizetype n = std::min<qsizetype>(length, stream->block.size() - stream->blockPos);
    std::memcpy(buffer, stream->block.constData() + stream->blockPos, size_t(n));
    stream->blockPos += n;
    if (stream->progress && n > 0)
        stream->progress->done += n;
    if (!stream->prescan.feed(buffer, qsizetype(n)))
        return -1;
    const qsizetype take = std::min<qsizetype>(qsizetype(n), qsizetype(sizeof stream->head) - stream->headSize);
    std::memcpy(stream->head + stream->headSize, buffer, size_t(take));
    stream->headSize += take;
    return int(n);
}

// libxml2's own tree builder, which the hooks below wrap.
const xmlSAXHandler &treeBuilder()
{
    static const xmlSAXHandler handler = [] {
        xmlSAXHandler h;
        std::memset(&h, 0, sizeof h);
        xmlSAXVersion(&h, 2);
        return h;
    }();
    return handler;
}

// Hands the element to the handler. Nothing may throw through libxml2: a
// failure stops the parser and is rethrown after it returns.
void deliver(xmlParserCtxtPtr context, Stream &stream) noexcept
{
    if (stream.failure || !*stream.handler)
        return;
    try {
        (*stream.handler)(stream.builder.element);
    } catch (...) {
        stream.failure = std::current_exception();
        xmlStopParser(context);
    }
}

// Hands every element libxml2 built inside "content" over, in document
// order, and frees everything there.
void flushContent(xmlParserCtxtPtr context, Stream &stream) noexcept
{
    while (xmlNodePtr child = stream.content->children) {
        if (child->type == XML_ELEMENT_NODE && !stream.failure) {
            try {
                stream.builder.fromNode(child);
            } catch (...) {
                stream.failure = std::current_exception();
                xmlStopParser(context);
            }
            deliver(context, stream);
        }
        xmlUnlinkNode(child);
        xmlFreeNode(child);
    }
}

bool fastInside(const Stream &stream)
{
    return stream.content && stream.fast;
}

void startElement(void *context, const xmlChar *localName, const xmlChar *prefix, const xmlChar *uri,
    int namespaceCount, const xmlChar **namespaces, int attributeCount, int defaultedCount,
    const xmlChar **attributes) noexcept
{
    Stream &stream = streamOf(context);
    if (fastInside(stream)) {
        try {
            if (stream.depth == 0)
                stream.builder.begin(localName, xmlSAX2GetLineNumber(context), attributeCount, attributes);
            else if (stream.depth == 1)
                stream.builder.beginChild(reinterpret_cast<const char *>(localName));
            else if (stream.depth == 2)
                stream.builder.childNode(StreamBuilder::Kind::Other, "", 0);
        } catch (...) {
            stream.failure = std::current_exception();
            xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
        }
        ++stream.depth;
        return;
    }
    treeBuilder().startElementNs(context, localName, prefix, uri, namespaceCount, namespaces, attributeCount,
        defaultedCount, attributes);
    if (stream.contentSeen || !stream.handler)
        return;
    const xmlNodePtr node = static_cast<xmlParserCtxtPtr>(context)->node;
    if (node && node->parent && node->parent->parent && node->parent->parent->type == XML_DOCUMENT_NODE
        && std::strcmp(reinterpret_cast<const char *>(node->name), "content") == 0) {
        stream.content = node;
        stream.contentSeen = true;
        stream.fast = !stream.hasDoctype;
        stream.depth = 0;
    }
}

void endElement(void *context, const xmlChar *localName, const xmlChar *prefix, const xmlChar *uri) noexcept
{
    const auto ctxt = static_cast<xmlParserCtxtPtr>(context);
    Stream &stream = streamOf(context);
    if (fastInside(stream) && stream.depth > 0) {
        if (--stream.depth == 0)
            deliver(ctxt, stream);
        else if (stream.depth == 1)
            stream.builder.recording = -1;
        return;
    }
    const xmlNodePtr node = ctxt->node;
    treeBuilder().endElementNs(context, localName, prefix, uri);
    if (!stream.content || !node)
        return;
    if (node->parent == stream.content)
        flushContent(ctxt, stream);
    else if (node == stream.content) {
        flushContent(ctxt, stream);
        stream.content = nullptr;
    }
}

// A node that is not an element. On the fast path it is noted where the
// element needs it; directly inside "content" it is dropped; elsewhere
// libxml2 builds it.
template <typename Forward>
void otherNode(void *context, StreamBuilder::Kind kind, const xmlChar *text, int length, Forward forward) noexcept
{
    Stream &stream = streamOf(context);
    if (fastInside(stream)) {
        try {
            if (stream.depth == 1)
                stream.builder.markChildNode();
            else if (stream.depth == 2)
                stream.builder.childNode(kind, reinterpret_cast<const char *>(text), size_t(length));
        } catch (...) {
            stream.failure = std::current_exception();
            xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
        }
        return;
    }
    if (stream.content && static_cast<xmlParserCtxtPtr>(context)->node == stream.content)
        return;
    forward();
}

void characters(void *context, const xmlChar *text, int length) noexcept
{
    otherNode(context, StreamBuilder::Kind::Text, text, length,
        [&] { treeBuilder().characters(context, text, length); });
}

void whitespace(void *context, const xmlChar *text, int length) noexcept
{
    otherNode(context, StreamBuilder::Kind::Text, text, length,
        [&] { treeBuilder().ignorableWhitespace(context, text, length); });
}

void cdata(void *context, const xmlChar *text, int length) noexcept
{
    otherNode(context, StreamBuilder::Kind::CData, text, length,
        [&] { treeBuilder().cdataBlock(context, text, length); });
}

void comment(void *context, const xmlChar *text) noexcept
{
    otherNode(context, StreamBuilder::Kind::Other, nullptr, 0, [&] { treeBuilder().comment(context, text); });
}

void instruction(void *context, const xmlChar *target, const xmlChar *data) noexcept
{
    otherNode(context, StreamBuilder::Kind::Other, nullptr, 0,
        [&] { treeBuilder().processingInstruction(context, target, data); });
}

void reference(void *context, const xmlChar *name) noexcept
{
    otherNode(context, StreamBuilder::Kind::Other, nullptr, 0, [&] { treeBuilder().reference(context, name); });
}

void documentType(void *context, const xmlChar *name, const xmlChar *externalId, const xmlChar *systemId) noexcept
{
    streamOf(context).hasDoctype = true;
    treeBuilder().internalSubset(context, name, externalId, systemId);
}

// libxml2's reason in German where it is one of its limits; any other
// reason is kept as libxml2 words it, cut short.
QString germanReason(int code, const QString &reason)
{
    const auto says = [&](const char *text) { return reason.contains(QLatin1String(text), Qt::CaseInsensitive); };
    if (code == XML_ERR_ENTITY_LOOP || says("amplification"))
        return QStringLiteral("Die Entities verweisen im Kreis aufeinander oder ergeben zu viel Text.");
    if (says("Excessive depth"))
        return QStringLiteral("Die Elemente sind zu tief ineinander verschachtelt.");
    if (says("huge text") || says("too big") || says("length too long") || says("XML_PARSE_HUGE"))
        return QStringLiteral("Ein Text oder Wert ist länger als %1 Bytes.").arg(XmlDocument::kMaxTextSize);
    const QString unsupported = QStringLiteral("Unsupported encoding ");
    if (code == XML_ERR_UNSUPPORTED_ENCODING && reason.startsWith(unsupported))
        return QStringLiteral("Die Zeichenkodierung \"%1\" wird nicht unterstützt.")
            .arg(cutEcho(reason.mid(unsupported.size())));
    return cutEcho(reason);
}

const xmlSAXHandler &streamingHandler()
{
    static const xmlSAXHandler handler = [] {
        xmlSAXHandler h = treeBuilder();
        h.startElementNs = startElement;
        h.endElementNs = endElement;
        h.characters = characters;
        h.ignorableWhitespace = whitespace;
        h.cdataBlock = cdata;
        h.comment = comment;
        h.processingInstruction = instruction;
        h.reference = reference;
        h.internalSubset = documentType;
        return h;
    }();
    return handler;
}

} // namespace

XmlDocument XmlDocument::parseDevice(QIODevice &input, const QString &source, const ContentHandler &content,
    Progress *progress)
{
    prepareLibxml();
    const QString where = source.isEmpty() ? QString() : QStringLiteral(" \"%1\"").arg(source);

    Stream stream;
    stream.input = &input;
    stream.block.reserve(Stream::kBlockSize);
    stream.progress = progress;
    stream.handler = content ? &content : nullptr;
    // libxml2 copies the handler table; the context stays its userData, as
    // its tree builder expects.
    const std::unique_ptr<xmlParserCtxt, FreeParserContext> context(
        xmlCreateIOParserCtxt(const_cast<xmlSAXHandler *>(&streamingHandler()), nullptr, readInput, nullptr, &stream,
            XML_CHAR_ENCODING_NONE));
    if (!context)
        throw Error(QStringLiteral("Nicht genügend Speicher zum Lesen der Datei%1.").arg(where));
    context->_private = &stream;
    tExternalRefused = false;
    tFirstError = FirstError();
    // Internal entities are expanded within libxml2's limits against
    // expansion bombs; no DTD is loaded and the network is never used.
    xmlCtxtUseOptions(context.get(), XML_PARSE_NOENT | XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR);
    xmlParseDocument(context.get());
    XmlDocument result;
    result.mDoc.reset(context->myDoc);
    context->myDoc = nullptr;

    if (stream.cancelled)
        throw Cancelled();
    if (!stream.prescan.refusal().isEmpty())
        throw Error(QStringLiteral("Die Datei%1 wird nicht geladen: %2.").arg(where, stream.prescan.refusal()));
    if (stream.readFailed)
        throw ReadFailure();
    bool wellFormed = result.mDoc && context->wellFormed;
    QString reason;
    int line = 0;
    int column = 0;
    if (tFirstError.code != XML_ERR_OK) {
        reason = germanReason(tFirstError.code, tFirstError.message);
        line = tFirstError.line;
        column = tFirstError.column;
    }
    if (stream.failure) {
        try {
            std::rethrow_exception(stream.failure);
        } catch (const TextTooLong &failure) {
            stream.failure = nullptr;
            wellFormed = false;
            reason = germanReason(XML_ERR_OK, QStringLiteral("huge text"));
            line = int(failure.line);
            column = 0;
        } catch (...) {
        }
    }

    if (tExternalRefused)
        throw Error(QStringLiteral("Die Datei%1 verweist auf externe Daten (Entity oder DTD); "
                                   "diese werden aus Sicherheitsgründen nicht geladen.")
                        .arg(where));
    if (stream.failure)
        std::rethrow_exception(stream.failure);
    if (!wellFormed) {
        QString message = QStringLiteral("Die Datei%1 ist kein gültiges XML").arg(where);
        if (line > 0 && column > 0)
            message += QStringLiteral(" (Zeile %1, Spalte %2)").arg(line).arg(column);
        else if (line > 0)
            message += QStringLiteral(" (Zeile %1)").arg(line);
        if (!reason.isEmpty())
            message += QStringLiteral(": ") + reason;
        throw Error(message);
    }
    result.mHasDeclaration = startsWithDeclaration(QByteArray::fromRawData(stream.head, stream.headSize));
    return result;
}

} // namespace Wordloom
