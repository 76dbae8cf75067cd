#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QtGlobal>
#include <array>

namespace Wordloom {

// A cheap pass over a file's bytes ahead of the XML parser, which refuses
// the shapes that cost libxml2 far more than their size: an element with
// very many attributes, a document type with very many declarations, and
// attribute defaults that libxml2 would add to very many elements. It reads
// only the markup characters (UTF-8, single-byte encodings, UTF-16) and
// leaves every other judgement to the parser.
class XmlPrescan {
public:
    static constexpr int kMaxAttributes = 10000;
    static constexpr int kMaxDeclarations = 10000;
    // libxml2 adds an element's n attribute defaults to each of its start
    // tags at a cost of about n * (n + kDefaultCost) comparisons; the sum
    // may reach kDefaultsBudget plus kDefaultsPerByte for every byte read,
    // so a large pack with a few defaults per key still loads.
    static constexpr qint64 kDefaultCost = 40;
    static constexpr qint64 kDefaultsBudget = 150'000'000;
    static constexpr qint64 kDefaultsPerByte = 4;
    // Counts of defaults stop here, far past any budget, so none overflows.
    static constexpr qint64 kMaxCounted = 1 << 20;

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
    // Skips from i the bytes that cannot change the state; returns where
    // the next one that may stands, or size.
    qsizetype skipPlain(const char *data, qsizetype i, qsizetype size);
    // The first byte from i on that is one of the stops, or size; counts
    // the line breaks before it.
    qsizetype findStop(const char *data, qsizetype i, qsizetype size, std::array<char, 4> stops);
    // Reads whole 16-byte blocks from i while only text and plain tags
    // come; returns where the bytes one by one go on.
    qsizetype scanBlocks(const char *data, qsizetype i, qsizetype size);
    void countAttribute();
    void declare();
    // Charges the defaults of the start tag just named.
    void chargeDefaults();
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
    // Attribute defaults by element name, and the name being read: the
    // element of an attribute list (its second word) or of a start tag.
    QHash<QByteArray, qint64> mDefaults;
    // Defaults that parameter entities may have brought, for every element:
    // each reference counts as many as the most an entity's text can hold.
    qint64 mAnyDefaults = 0;
    qint64 mEntityDefaults = 0;
    qint64 mEntityMarks = 0;
    bool mEntity = false;
    char16_t mKeyword = 0;
    QByteArray mName;
    int mListWord = 0;
    bool mInWord = false;
    bool mNaming = false;
    qint64 mDefaultsCost = 0;
    qint64 mFed = 0;
    QString mRefusal;
};

} // namespace Wordloom
