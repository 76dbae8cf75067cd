#include "document/xmldom.h"

#include "document/faultinjection.h"
#include "document/keytextcodec.h"
#include "document/xmlprivate.h"

#include <libxml/parserInternals.h>

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace Wordloom {

static_assert(XmlDocument::kMaxTextSize == XML_MAX_TEXT_LENGTH);

namespace xmlpriv {

Error tooLong(qsizetype size)
{
    return Error(
        QStringLiteral("Der Text ist zu lang (%1 Bytes, höchstens %2).").arg(size).arg(XmlDocument::kMaxTextSize));
}

thread_local bool tExternalRefused = false;
thread_local FirstError tFirstError;

namespace {

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
    if (error && error->level >= XML_ERR_ERROR && tFirstError.code == 0) {
        tFirstError.code = error->code;
        tFirstError.line = error->line;
        tFirstError.column = error->int2;
        // An echoed value may be huge; the first part is all a message shows.
        tFirstError.message
            = error->message ? QString::fromUtf8(error->message, qstrnlen(error->message, 1000)).trimmed() : QString();
    }
}

} // namespace

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

} // namespace xmlpriv

using namespace xmlpriv;

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
    if (const qsizetype size = FaultInjection::sized(utf8.size()); size > XmlDocument::kMaxTextSize)
        throw tooLong(size);
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
    // Checked before the length becomes libxml2's int.
    if (const qsizetype size = FaultInjection::sized(utf8.size()); size > XmlDocument::kMaxTextSize)
        throw tooLong(size);
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
XmlDocument XmlDocument::createEmpty()
{
    XmlDocument doc;
    doc.mDoc.reset(xmlNewDoc(xc("1.0")));
    if (!doc.mDoc)
        throw outOfMemory();
    return doc;
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
                        .arg(cutEcho(QString::fromUtf8(encoding))));
    const long written = xmlSaveDoc(save.get(), mDoc.get());
    // Closing flushes what libxml2 still holds.
    const int closed = xmlSaveClose(save.release());
    if (sink.failed)
        throw outOfMemory();
    if (written < 0 || closed < 0)
        throw Error(QStringLiteral("Das Languagepack konnte nicht in XML umgewandelt werden."));
    return std::move(sink.bytes);
}

QString cutEcho(const QString &text)
{
    constexpr qsizetype kMaxEcho = 200;
    return text.size() <= kMaxEcho ? text : text.left(kMaxEcho) + QChar(0x2026);
}

bool isXmlText(const QString &text)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
#ifdef __SSE2__
    // Eight characters at a time while all are at least U+0020 and below
    // the surrogates: unsigned, c - 0x20 < 0xD7E0.
    const ushort *units = text.utf16();
    const __m128i offset = _mm_set1_epi16(0x20);
    const __m128i sign = _mm_set1_epi16(short(0x8000));
    const __m128i limit = _mm_set1_epi16(short(0xD7E0 ^ 0x8000));
    for (; i + 8 <= n; i += 8) {
        const __m128i shifted
            = _mm_xor_si128(_mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(units + i)), offset), sign);
        if (_mm_movemask_epi8(_mm_cmplt_epi16(shifted, limit)) != 0xFFFF)
            break;
    }
#endif
    for (; i < n; ++i) {
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
