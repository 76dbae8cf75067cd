#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QIODevice;

// libxml2's own names for its tree types.
struct _xmlDoc; // NOLINT(bugprone-reserved-identifier)
struct _xmlNode; // NOLINT(bugprone-reserved-identifier)

namespace Wordloom {

struct Progress;

// A non-owning handle to a node of an XmlDocument's tree.
class XmlNode {
public:
    XmlNode() = default;
    explicit XmlNode(_xmlNode *node) : mNode(node) {}

    bool isNull() const { return mNode == nullptr; }
    // The element's name without a prefix.
    const char *name() const;
    // The line of the file the element starts on.
    long line() const;

    bool hasAttribute(const char *name) const;
    QString attribute(const char *name) const;
    // An existing attribute keeps its place; a new one goes after the others.
    void setAttribute(const char *name, const QString &value);

    XmlNode firstChildElement(const char *name) const;
    XmlNode appendChildElement(const char *name);
    void removeChildren();
    void removeAttribute(const char *name);
    XmlNode appendComment(const char *text);
    // Makes a detached element this one's last child.
    void adopt(class XmlDetached element);
    _xmlNode *handle() const { return mNode; }
    // Unlinks the node from its tree and frees it; the handle becomes null.
    void remove();

    // The attribute's value and the single text or CDATA child's value in
    // UTF-8, mostly as raw data of the tree without a copy (valid while the
    // node lives). rawText is empty without children and throws Error for
    // anything else.
    QByteArray rawAttribute(const char *name) const;
    QByteArray rawText() const;
    // Gives a new element a single text node.
    void setText(const QString &text);

private:
    _xmlNode *mNode = nullptr;
};

// An element of a document that is not in its tree yet; freed with its
// children unless adopt takes it into a tree.
class XmlDetached {
public:
    explicit XmlDetached(_xmlNode *node) : mNode(node) {}
    XmlNode node() const { return XmlNode(mNode.get()); }
    _xmlNode *release() { return mNode.release(); }

private:
    struct Free {
        void operator()(_xmlNode *node) const;
    };
    std::unique_ptr<_xmlNode, Free> mNode;
};

// A child element of a streamed "content" element, flattened: its name,
// line and attributes without a namespace, whether it has any child node,
// and the text of the first child element of each name.
class StreamedElement {
public:
    const char *name() const { return mName.c_str(); }
    // The line the start tag ends on.
    long line() const { return mLine; }
    bool hasChildNodes() const { return mHasChildNodes; }
    bool hasAttribute(std::string_view name) const;
    // In UTF-8, valid until the next element.
    QByteArrayView rawAttribute(std::string_view name) const;
    // The value of the single text or CDATA child of the first child element
    // with that name; empty when it has no children or does not exist.
    // Throws Error when it has anything else.
    QByteArrayView childText(std::string_view name) const;

private:
    friend class StreamBuilder;
    struct Attribute {
        std::string name;
        std::string value;
    };
    // A child element: its text and the nodes it holds, counted as the
    // tree would hold them (adjacent texts and adjacent CDATA sections join).
    // The kinds of node that matter for joining texts.
    enum class NodeKind { None, Text, CData, Other };
    struct Child {
        std::string name;
        std::string text;
        int nodes = 0;
        NodeKind lastKind = NodeKind::None;
    };
    void reset();
    const Child *child(std::string_view name) const;

    std::string mName;
    long mLine = 0;
    bool mHasChildNodes = false;
    // Kept across elements so their buffers are reused.
    std::vector<Attribute> mAttributes;
    std::vector<Child> mChildren;
    qsizetype mAttributeCount = 0;
    qsizetype mChildCount = 0;
};

// Owns a parsed tree. Parsing never loads external entities or DTDs and
// never touches the network.
class XmlDocument {
public:
    // The most UTF-8 bytes a text or attribute value may hold, on every
    // path that reads and on every write: libxml2's own limit for texts,
    // CDATA sections and attribute values without its "huge" option, which
    // would also switch off its guard against entity expansion.
    static constexpr qsizetype kMaxTextSize = 10'000'000;

    XmlDocument();
    ~XmlDocument();
    XmlDocument(XmlDocument &&) noexcept;
    XmlDocument &operator=(XmlDocument &&) noexcept;

    // Gets each complete child element of the root's first "content"
    // element while the document streams in. The element never joins the
    // tree: it is freed after the call, as is everything else inside
    // "content", so a large document is never held whole.
    using ContentHandler = std::function<void(const StreamedElement &element)>;

    // All throw Error with a German message naming the problem and line.
    // Without a handler the whole tree is kept.
    // With progress, the bytes read are counted there, and a cancel throws
    // Cancelled.
    static XmlDocument parseFile(const QString &path, const ContentHandler &content = {}, Progress *progress = nullptr);
    static XmlDocument parseText(const QString &text);
    static XmlDocument parseData(const QByteArray &bytes, const QString &source, const ContentHandler &content = {});
    // A document without a root element.
    static XmlDocument createEmpty();

    bool isNull() const { return !mDoc; }
    XmlDetached createDetached(const char *name);
    bool hasRoot() const;
    XmlNode root() const;

    // The whole tree in the encoding its declaration names (UTF-8 without
    // one), with character references for what that encoding cannot hold.
    QByteArray serialize() const;

    // Takes the elements a ContentWriter produces: each is serialized in the
    // document's encoding as it comes and then freed.
    class ElementSink {
    public:
        virtual ~ElementSink() = default;
        virtual void add(XmlDetached element) = 0;
    };
    using ContentWriter = std::function<void(ElementSink &sink)>;

    // Writes the tree as serialize() does, with the children of the root's
    // first "content" element (which must exist and be empty) coming from
    // the writer one by one, so the whole text is never held in memory.
    // Throws Error when the output fails; what the writer throws passes.
    void write(QIODevice &output, const ContentWriter &content);

private:
    // The encoding its declaration names, or UTF-8.
    const char *encodingName() const;
    // Throws when libxml2 cannot write the document's encoding soundly.
    void checkEncoding() const;
    static XmlDocument parseDevice(QIODevice &input, const QString &source, const ContentHandler &content,
        Progress *progress = nullptr);

    struct Free {
        void operator()(_xmlDoc *doc) const;
    };
    std::unique_ptr<_xmlDoc, Free> mDoc;
    bool mHasDeclaration = false;
};

// A value from a file as a message repeats it: at most 200 characters, a
// longer one cut with "…".
QString cutEcho(const QString &text);

// Whether every character can stand in an XML 1.0 document.
bool isXmlText(const QString &text);

} // namespace Wordloom
