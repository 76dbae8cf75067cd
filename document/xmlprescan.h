#pragma once

#include <QString>
#include <QtGlobal>

namespace Wordloom {

// A cheap pass over a file's bytes ahead of the XML parser, which refuses
// the shapes that cost libxml2 far more than their size: an element with
// very many attributes, a document type with very many declarations. It
// reads only the markup characters (UTF-8, single-byte encodings, UTF-16)
// and leaves every other judgement to the parser.
class XmlPrescan {
public:
    static constexpr int kMaxAttributes = 10000;
    static constexpr int kMaxDeclarations = 10000;

    // Takes the next bytes; false once the file is refused.
    bool feed(const char *data, qsizetype size);
    // Why the file is refused, in German; empty while it is not.
    const QString &refusal() const { return mRefusal; }

private:
    enum class State {
        Text,
        Open,
        Bang,
        StartTag,
        TagQuote,
        Skip,
        Comment,
        CData,
        Instruction,
        Doctype,
        DoctypeQuote,
        Subset,
        SubsetOpen,
        SubsetBang,
        Declaration,
        DeclarationQuote,
        DoctypeEnd,
    };
    enum class Width { Unknown, Bytes, Utf16Le, Utf16Be };

    void take(char16_t c);
    void declare();
    // Where a comment, section or instruction returns to.
    State back() const { return mInSubset ? State::Subset : State::Text; }

    Width mWidth = Width::Unknown;
    int mPending = -1;
    State mState = State::Text;
    bool mInSubset = false;
    bool mAttributeList = false;
    bool mHash = false;
    char16_t mQuote = 0;
    int mRun = 0;
    QByteArray mWord;
    qint64 mLine = 1;
    int mAttributes = 0;
    int mDefinitions = 0;
    int mDeclarations = 0;
    QString mRefusal;
};

} // namespace Wordloom
