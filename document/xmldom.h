#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

struct _xmlDoc;
struct _xmlNode;

namespace Wordloom {

// A non-owning handle to a node of an XmlDocument's tree.
class XmlNode {
public:
    XmlNode() = default;
    explicit XmlNode(_xmlNode *node) : mNode(node) {}

    bool isNull() const { return mNode == nullptr; }
    // The line of the file the element starts on.
    long line() const;

    bool hasAttribute(const char *name) const;
    QString attribute(const char *name) const;
    // An existing attribute keeps its place; a new one goes after the others.
    void setAttribute(const char *name, const QString &value);

    XmlNode firstChildElement(const char *name) const;
    bool hasChildNodes() const;
    XmlNode nextSibling() const;
    XmlNode appendChildElement(const char *name);
    void removeChildren();
    // Moves all children of another element of the same document to the
    // end of this one's.
    void takeChildren(XmlNode from);
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
// children unless it was emptied by takeChildren.
class XmlDetached {
public:
    explicit XmlDetached(_xmlNode *node) : mNode(node) {}
    XmlNode node() const { return XmlNode(mNode.get()); }

private:
    struct Free {
        void operator()(_xmlNode *node) const;
    };
    std::unique_ptr<_xmlNode, Free> mNode;
};

// Owns a parsed tree. Parsing never loads external entities or DTDs and
// never touches the network.
class XmlDocument {
public:
    XmlDocument();
    ~XmlDocument();
    XmlDocument(XmlDocument &&) noexcept;
    XmlDocument &operator=(XmlDocument &&) noexcept;

    // Both throw Error with a German message naming the problem and line.
    static XmlDocument parseFile(const QString &path);
    static XmlDocument parseText(const QString &text);
    static XmlDocument parseData(const QByteArray &bytes, const QString &source);
    // A document without a root element.
    static XmlDocument createEmpty();

    bool isNull() const { return !mDoc; }
    XmlDetached createDetached(const char *name);
    bool hasRoot() const;
    XmlNode root() const;

    // The whole tree in the encoding its declaration names (UTF-8 without
    // one), with character references for what that encoding cannot hold.
    QByteArray serialize() const;

private:
    struct Free {
        void operator()(_xmlDoc *doc) const;
    };
    std::unique_ptr<_xmlDoc, Free> mDoc;
    bool mHasDeclaration = false;
};

// Whether every character can stand in an XML 1.0 document.
bool isXmlText(const QString &text);

} // namespace Wordloom
