#include "document/xmldom.h"

#include "document/error.h"
#include "document/keytextcodec.h"
#include "document/progress.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <libxml/parser.h>
#include <libxml/SAX2.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <exception>

namespace Wordloom {

namespace {

// Set while a parse runs when the document asked for an external resource.
thread_local bool tExternalRefused = false;

xmlParserInputPtr refuseExternalEntity(const char *, const char *, xmlParserCtxtPtr) noexcept
{
    tExternalRefused = true;
    return nullptr;
}

void ignoreGenericError(void *, const char *, ...) noexcept {}

// An entity left undeclared because its declaration may be in data that is
// not loaded, or an external one inside an attribute, would otherwise vanish
// from the text.
void noteStructuredError(void *, xmlErrorPtr error) noexcept
{
    if (error && (error->code == XML_WAR_UNDECLARED_ENTITY || error->code == XML_ERR_ENTITY_IS_EXTERNAL))
        tExternalRefused = true;
}

void prepareLibxml()
{
    static const bool once = [] {
        xmlInitParser();
        return true;
    }();
    (void)once;
    // Nothing outside the document is ever read, whatever the options say.
    xmlSetExternalEntityLoader(refuseExternalEntity);
    xmlSetGenericErrorFunc(nullptr, ignoreGenericError);
    xmlSetStructuredErrorFunc(nullptr, noteStructuredError);
}

inline const xmlChar *xc(const char *s)
{
    return reinterpret_cast<const xmlChar *>(s);
}

bool startsWithDeclaration(const QByteArray &bytes)
{
    static const char utf16le[] = {'<', 0, '?', 0, 'x', 0, 'm', 0, 'l', 0};
    static const char utf16be[] = {0, '<', 0, '?', 0, 'x', 0, 'm', 0, 'l'};
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    else if (view.startsWith("\xFF\xFE") || view.startsWith("\xFE\xFF"))
        view = view.sliced(2);
    return view.startsWith("<?xml") || view.startsWith(QByteArrayView(utf16le, sizeof utf16le))
        || view.startsWith(QByteArrayView(utf16be, sizeof utf16be));
}

// A read of the input failed; the caller names the file and the reason.
struct ReadFailure {};

// Handles libxml2 hands out that the caller frees.
struct FreeParserContext {
    void operator()(xmlParserCtxtPtr context) const { xmlFreeParserCtxt(context); }
};
struct CloseSaveContext {
    void operator()(xmlSaveCtxtPtr save) const { xmlSaveClose(save); }
};
struct FreeXmlString {
    void operator()(xmlChar *text) const { xmlFree(text); }
};

Error outOfMemory()
{
    return Error(QStringLiteral("Nicht genügend Speicher für das Languagepack."));
}

// Where serializing writes. Nothing may throw through libxml2, so a failed
// append is remembered and reported to libxml2 as a write error.
struct Sink {
    QByteArray bytes;
    bool failed = false;
};

int writeToSink(void *context, const char *buffer, int length) noexcept
{
    auto *sink = static_cast<Sink *>(context);
    try {
        sink->bytes.append(buffer, length);
        return length;
    } catch (...) {
        sink->failed = true;
        return -1;
    }
}

int closeNothing(void *) noexcept
{
    return 0;
}

} // namespace

static xmlAttrPtr findAttribute(xmlNodePtr node, const char *name)
{
    if (!node || node->type != XML_ELEMENT_NODE)
        return nullptr;
    for (xmlAttrPtr a = node->properties; a; a = a->next)
        if (!a->ns && std::strcmp(reinterpret_cast<const char *>(a->name), name) == 0)
            return a;
    return nullptr;
}

bool XmlNode::hasAttribute(const char *name) const
{
    return findAttribute(mNode, name) != nullptr;
}

namespace {

QByteArray rawData(const xmlChar *text)
{
    const char *data = reinterpret_cast<const char *>(text);
    return data ? QByteArray::fromRawData(data, qsizetype(std::strlen(data))) : QByteArray();
}

} // namespace

QString XmlNode::attribute(const char *name) const
{
    return textFromUtf8(rawAttribute(name));
}

QByteArray XmlNode::rawAttribute(const char *name) const
{
    const xmlAttrPtr a = findAttribute(mNode, name);
    if (!a || !a->children)
        return QByteArray();
    if (!a->children->next && a->children->type == XML_TEXT_NODE)
        return rawData(a->children->content);
    // A value in several pieces is joined into a copy.
    const std::unique_ptr<xmlChar, FreeXmlString> joined(xmlNodeListGetString(mNode->doc, a->children, 1));
    if (!joined)
        throw outOfMemory();
    return QByteArray(reinterpret_cast<const char *>(joined.get()));
}

void XmlNode::removeAttribute(const char *name)
{
    if (const xmlAttrPtr a = findAttribute(mNode, name))
        xmlRemoveProp(a);
}

void XmlNode::setAttribute(const char *name, const QString &value)
{
    const QByteArray utf8 = value.toUtf8();
    // xmlSetProp replaces an existing attribute's value in place.
    xmlSetProp(mNode, xc(name), xc(utf8.constData()));
}

XmlNode XmlNode::firstChildElement(const char *name) const
{
    if (!mNode)
        return XmlNode();
    for (xmlNodePtr c = mNode->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && std::strcmp(reinterpret_cast<const char *>(c->name), name) == 0)
            return XmlNode(c);
    return XmlNode();
}

XmlNode XmlNode::appendChildElement(const char *name)
{
    xmlNodePtr child = xmlNewDocNode(mNode->doc, nullptr, xc(name), nullptr);
    if (!child)
        throw outOfMemory();
    xmlAddChild(mNode, child);
    return XmlNode(child);
}

XmlNode XmlNode::appendComment(const char *text)
{
    xmlNodePtr child = xmlNewDocComment(mNode->doc, xc(text));
    if (!child)
        throw outOfMemory();
    xmlAddChild(mNode, child);
    return XmlNode(child);
}

void XmlNode::adopt(XmlDetached element)
{
    xmlAddChild(mNode, element.release());
}

void XmlNode::removeChildren()
{
    if (!mNode)
        return;
    xmlNodePtr c = mNode->children;
    mNode->children = nullptr;
    mNode->last = nullptr;
    while (c) {
        xmlNodePtr next = c->next;
        c->parent = nullptr;
        c->prev = c->next = nullptr;
        xmlFreeNode(c);
        c = next;
    }
}

void XmlDetached::Free::operator()(_xmlNode *node) const
{
    xmlFreeNode(node);
}

XmlDetached XmlDocument::createDetached(const char *name)
{
    xmlNodePtr node = xmlNewDocNode(mDoc.get(), nullptr, xc(name), nullptr);
    if (!node)
        throw outOfMemory();
    return XmlDetached(node);
}

void XmlNode::remove()
{
    if (!mNode)
        return;
    xmlUnlinkNode(mNode);
    xmlFreeNode(mNode);
    mNode = nullptr;
}

const char *XmlNode::name() const
{
    return mNode ? reinterpret_cast<const char *>(mNode->name) : "";
}

long XmlNode::line() const
{
    return mNode ? xmlGetLineNo(mNode) : 0;
}

QByteArray XmlNode::rawText() const
{
    if (!mNode || !mNode->children)
        return QByteArray();
    const xmlNodePtr c = mNode->children;
    if (c->next || (c->type != XML_TEXT_NODE && c->type != XML_CDATA_SECTION_NODE))
        throw Error(QStringLiteral("Element enthält keinen einzelnen Textknoten."));
    return rawData(c->content);
}

void XmlNode::setText(const QString &text)
{
    if (text.isEmpty())
        return;
    const QByteArray utf8 = text.toUtf8();
    xmlNodePtr node = xmlNewDocTextLen(mNode->doc, xc(utf8.constData()), int(utf8.size()));
    if (!node)
        throw outOfMemory();
    xmlAddChild(mNode, node);
}

void XmlDocument::Free::operator()(_xmlDoc *doc) const
{
    xmlFreeDoc(doc);
}

XmlDocument::XmlDocument() = default;
XmlDocument::~XmlDocument() = default;
XmlDocument::XmlDocument(XmlDocument &&) noexcept = default;
XmlDocument &XmlDocument::operator=(XmlDocument &&) noexcept = default;

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

XmlDocument XmlDocument::createEmpty()
{
    XmlDocument doc;
    doc.mDoc.reset(xmlNewDoc(xc("1.0")));
    if (!doc.mDoc)
        throw outOfMemory();
    return doc;
}

void StreamedElement::reset()
{
    mName.clear();
    mLine = 0;
    mHasChildNodes = false;
    mAttributeCount = 0;
    mChildCount = 0;
}

bool StreamedElement::hasAttribute(const char *name) const
{
    for (qsizetype i = 0; i < mAttributeCount; ++i)
        if (mAttributes[size_t(i)].name == name)
            return true;
    return false;
}

QByteArrayView StreamedElement::rawAttribute(const char *name) const
{
    for (qsizetype i = 0; i < mAttributeCount; ++i)
        if (mAttributes[size_t(i)].name == name)
            return QByteArrayView(mAttributes[size_t(i)].value.data(), qsizetype(mAttributes[size_t(i)].value.size()));
    return QByteArrayView();
}

const StreamedElement::Child *StreamedElement::child(const char *name) const
{
    for (qsizetype i = 0; i < mChildCount; ++i)
        if (mChildren[size_t(i)].name == name)
            return &mChildren[size_t(i)];
    return nullptr;
}

// Fills a StreamedElement from parser events, or from a finished node.
class StreamBuilder {
public:
    enum Kind { kNone, kText, kCData, kOther };

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
            addAttribute(reinterpret_cast<const char *>(a[0]), reinterpret_cast<const char *>(a[3]), size_t(a[4] - a[3]));
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
        if (kind != kOther && c.lastKind == kind) {
            if (c.nodes == 1)
                c.text.append(text, length);
            return;
        }
        if (++c.nodes == 1 && kind != kOther)
            c.text.assign(text, length);
        c.lastKind = kind;
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
                const Kind kind = g->type == XML_TEXT_NODE ? kText : g->type == XML_CDATA_SECTION_NODE ? kCData : kOther;
                const char *text = kind == kOther ? "" : reinterpret_cast<const char *>(g->content);
                // The tree has joined what joins, so each node counts.
                if (recording >= 0)
                    element.mChildren[size_t(recording)].lastKind = kNone;
                childNode(kind, text, text ? std::strlen(text) : 0);
            }
        }
        recording = -1;
    }

private:
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
        c.lastKind = kNone;
        return element.mChildCount++;
    }
};

QByteArrayView StreamedElement::childText(const char *name) const
{
    const Child *c = child(name);
    if (!c || c->nodes == 0)
        return QByteArrayView();
    if (c->nodes > 1 || c->lastKind == StreamBuilder::kOther)
        throw Error(QStringLiteral("Element enthält keinen einzelnen Textknoten."));
    return QByteArrayView(c->text.data(), qsizetype(c->text.size()));
}

namespace {

// What a streaming parse keeps beside libxml2's context (its _private).
struct Stream {
    QIODevice *input = nullptr;
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
    const qint64 n = stream->input->read(buffer, length);
    if (stream->progress && n > 0)
        stream->progress->done += n;
    if (n < 0) {
        stream->readFailed = true;
        return -1;
    }
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
                stream.builder.childNode(StreamBuilder::kOther, "", 0);
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
    otherNode(context, StreamBuilder::kText, text, length, [&] { treeBuilder().characters(context, text, length); });
}

void whitespace(void *context, const xmlChar *text, int length) noexcept
{
    otherNode(context, StreamBuilder::kText, text, length,
        [&] { treeBuilder().ignorableWhitespace(context, text, length); });
}

void cdata(void *context, const xmlChar *text, int length) noexcept
{
    otherNode(context, StreamBuilder::kCData, text, length, [&] { treeBuilder().cdataBlock(context, text, length); });
}

void comment(void *context, const xmlChar *text) noexcept
{
    otherNode(context, StreamBuilder::kOther, nullptr, 0, [&] { treeBuilder().comment(context, text); });
}

void instruction(void *context, const xmlChar *target, const xmlChar *data) noexcept
{
    otherNode(context, StreamBuilder::kOther, nullptr, 0,
        [&] { treeBuilder().processingInstruction(context, target, data); });
}

void reference(void *context, const xmlChar *name) noexcept
{
    otherNode(context, StreamBuilder::kOther, nullptr, 0, [&] { treeBuilder().reference(context, name); });
}

void documentType(void *context, const xmlChar *name, const xmlChar *externalId, const xmlChar *systemId) noexcept
{
    streamOf(context).hasDoctype = true;
    treeBuilder().internalSubset(context, name, externalId, systemId);
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
    stream.progress = progress;
    stream.handler = content ? &content : nullptr;
    // libxml2 copies the handler table; the context stays its userData, as
    // its tree builder expects.
    const std::unique_ptr<xmlParserCtxt, FreeParserContext> context(xmlCreateIOParserCtxt(
        const_cast<xmlSAXHandler *>(&streamingHandler()), nullptr, readInput, nullptr, &stream, XML_CHAR_ENCODING_NONE));
    if (!context)
        throw Error(QStringLiteral("Nicht genügend Speicher zum Lesen der Datei%1.").arg(where));
    context->_private = &stream;
    tExternalRefused = false;
    // Internal entities are expanded within libxml2's limits against
    // expansion bombs; no DTD is loaded and the network is never used.
    xmlCtxtUseOptions(context.get(), XML_PARSE_NOENT | XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR);
    xmlParseDocument(context.get());
    XmlDocument result;
    result.mDoc.reset(context->myDoc);
    context->myDoc = nullptr;

    if (stream.cancelled)
        throw Cancelled();
    if (stream.readFailed)
        throw ReadFailure();
    const bool wellFormed = result.mDoc && context->wellFormed;
    QString reason;
    int line = 0;
    if (const xmlError *err = xmlCtxtGetLastError(context.get()); err && err->code != XML_ERR_OK) {
        reason = QString::fromUtf8(err->message).trimmed();
        line = err->line;
    }

    if (tExternalRefused)
        throw Error(QStringLiteral("Die Datei%1 verweist auf externe Daten (Entity oder DTD); "
                                   "diese werden aus Sicherheitsgründen nicht geladen.")
                        .arg(where));
    if (stream.failure)
        std::rethrow_exception(stream.failure);
    if (!wellFormed) {
        QString message = QStringLiteral("Die Datei%1 ist kein gültiges XML").arg(where);
        if (line > 0)
            message += QStringLiteral(" (Zeile %1)").arg(line);
        if (!reason.isEmpty())
            message += QStringLiteral(": ") + reason;
        throw Error(message);
    }
    result.mHasDeclaration = startsWithDeclaration(QByteArray::fromRawData(stream.head, stream.headSize));
    return result;
}

bool XmlDocument::hasRoot() const
{
    return mDoc && xmlDocGetRootElement(mDoc.get());
}

XmlNode XmlDocument::root() const
{
    return XmlNode(mDoc ? xmlDocGetRootElement(mDoc.get()) : nullptr);
}

const char *XmlDocument::encodingName() const
{
    return mDoc->encoding ? reinterpret_cast<const char *>(mDoc->encoding) : "UTF-8";
}

QByteArray XmlDocument::serialize() const
{
    if (!mDoc)
        return QByteArray();
    prepareLibxml();
    const char *encoding = encodingName();
    const int options = mHasDeclaration ? 0 : XML_SAVE_NO_DECL;
    Sink sink;
    std::unique_ptr<xmlSaveCtxt, CloseSaveContext> save(
        xmlSaveToIO(writeToSink, closeNothing, &sink, encoding, options));
    if (!save)
        throw Error(QStringLiteral("Die Zeichenkodierung \"%1\" kann nicht geschrieben werden.")
                        .arg(QString::fromUtf8(encoding)));
    const long written = xmlSaveDoc(save.get(), mDoc.get());
    // Closing flushes what libxml2 still holds.
    const int closed = xmlSaveClose(save.release());
    if (sink.failed)
        throw outOfMemory();
    if (written < 0 || closed < 0)
        throw Error(QStringLiteral("Das Languagepack konnte nicht in XML umgewandelt werden."));
    return std::move(sink.bytes);
}

bool isXmlText(const QString &text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c >= 0x20 && c < 0xD800)
            continue;
        if (c == 0x9 || c == 0xA || c == 0xD)
            continue;
        if (c >= 0xE000 && c <= 0xFFFD)
            continue;
        if (QChar::isHighSurrogate(c) && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        return false;
    }
    return true;
}

} // namespace Wordloom

namespace Wordloom {

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
        buffer.clear();
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
    SaveSink(QIODevice &output, const char *encoding, qsizetype bomSize, QByteArrayView before)
        : mBefore(before)
    {
        mSink.device = &output;
        mSink.skip = bomSize;
        mSink.buffer.reserve(1 << 20);
        mSave.reset(xmlSaveToIO(writeToDevice, closeNothing, &mSink, encoding, 0));
        if (!mSave)
            throw Error(QStringLiteral("Die Zeichenkodierung \"%1\" kann nicht geschrieben werden.")
                            .arg(QString::fromUtf8(encoding)));
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
    void add(XmlDetached element) override
    {
        mContent.adopt(std::move(element));
    }

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
                        .arg(QString::fromUtf8(reinterpret_cast<const char *>(mDoc->encoding))));
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
        std::unique_ptr<xmlSaveCtxt, CloseSaveContext> save(xmlSaveToIO(writeToSink, closeNothing, &probe, encoding, 0));
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
