#pragma once

#include "document/languagepack.h"

#include <QRegularExpression>
#include <QSet>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Wordloom {

class ReferenceFilter;
class SearchIndex;

// What a search looks for: a text in some of a key's name, translation and
// comment, with options, and filters every found key must pass.
struct FindQuery {
    enum Scope { Key = 1, Text = 2, Comment = 4 };
    QString text;
    int scopes = Text;
    bool caseSensitive = false;
    bool wholeWord = false;
    bool regex = false;
    bool untranslated = false;
    bool withComment = false;
    bool changed = false;
    // Against the reference pack: keys it lacks, translations equal to its.
    bool onlyHere = false;
    bool sameAsReference = false;

    bool hasFilter() const { return untranslated || withComment || changed || hasReferenceFilter(); }
    bool hasReferenceFilter() const { return onlyHere || sameAsReference; }
};

// The keys' texts copied, so a search may run on another thread while the
// pack goes on changing. Texts are shared, not duplicated.
struct FindSnapshot {
    std::vector<QString> keys;
    std::vector<QString> translations;
    std::vector<QString> comments;
    // Folded names of the keys changed since the pack was loaded or written.
    QSet<QString> changed;
};

// Which translation lines (by position) have a comment, for the filter
// of commented keys over many found translations; made anew when either
// list changed.
struct CommentMarks {
    std::vector<char> marks;
    quint64 translationsGeneration = 0;
    quint64 commentsGeneration = 0;

    void update(const KeyData &data);
};

// Finds keys by a query. An empty text matches every key of the list; the
// results are names in the order of the key list, each once.
class KeyFinder {
public:
    explicit KeyFinder(const FindQuery &query);

    const FindQuery &query() const { return mQuery; }
    // The comparison with the reference that its filters read; without one
    // they let no key pass.
    void setReference(std::shared_ptr<const ReferenceFilter> reference) { mReference = std::move(reference); }
    // An index of the key list's names (rows as positions) for the key
    // scope, kept by the caller while the list stays as it is.
    void setNameIndex(std::shared_ptr<SearchIndex> index) { mNameIndex = std::move(index); }
    static std::shared_ptr<SearchIndex> nameIndex(const LanguagePack &pack);
    // Marks kept by the caller from search to search, brought up to date
    // when used.
    void setCommentMarks(std::shared_ptr<CommentMarks> marks) { mCommentMarks = std::move(marks); }
    // The regular expression's error, or the empty text.
    QString patternError() const;

    bool matches(const QString &text) const;
    // The text with every occurrence replaced (capture groups \1..\9 for a
    // regular expression); count gets the number of replacements.
    QString replaced(const QString &text, const QString &replacement, qsizetype &count) const;

    // Searches the open pack here and now; a regular expression scans a
    // snapshot, the rest uses the search indexes of the lists.
    std::vector<QString> find(const LanguagePack &pack) const;
    // The same as positions of the translations' lines when only they are
    // searched for a text, so no name is copied; else nullopt.
    std::optional<std::vector<qint32>> findLines(const LanguagePack &pack) const;
    // Likewise rows of the key list when only key names are searched
    // through their index, or the text is empty.
    std::optional<std::vector<qint32>> findRows(const LanguagePack &pack) const;
    // Scans a snapshot; returns early with nothing when cancel turns true.
    std::vector<QString> find(const FindSnapshot &snapshot, const std::atomic<bool> *cancel = nullptr) const;

    static std::shared_ptr<FindSnapshot> snapshot(const LanguagePack &pack);
    // Folded names of the keys whose entry differs from the pack as last
    // loaded or written, read from the steps between there and now.
    static QSet<QString> changedKeys(const LanguagePack &pack);

    // The changes replace-all makes in the found keys' translations, and in
    // their comments when those are searched; key names never change.
    std::vector<FieldChange> replacements(const LanguagePack &pack, const std::vector<QString> &names,
        const QString &replacement, qsizetype &count) const;

private:
    // Calls visit with the start, length and match (for a regular
    // expression) of every occurrence, until it returns false.
    template <typename Visit> void forEachOccurrence(const QString &text, Visit &&visit) const;
    // The items (names, or lines named by nameOf) that pass the filters,
    // in their order, which is the list's; linesOf is the list whose lines
    // the items are, if they are.
    template <typename T, typename NameOf>
    std::vector<T> passing(const LanguagePack &pack, const std::vector<T> &items, NameOf nameOf,
        const QSet<QString> &changed, const Hashlist *linesOf = nullptr) const;
    bool passesReferenceFilters(const QString &name) const;
    // Whether what an index found must be matched against the query.
    bool mustVerify() const;
    // The rows of the key names holding the text, by the name index.
    std::vector<qint32> namedRows(const std::vector<QString> &keys) const;
    // The list's lines holding the text, as its search index orders them.
    std::vector<qint32> foundLines(const Hashlist &list) const;
    // The text folded into out as a search ignoring case compares it,
    // position for position; false when a fold would change its length.
    static bool foldedAlike(QStringView text, QString &out);

    FindQuery mQuery;
    QRegularExpression mRegex;
    // The text folded, for a plain search ignoring case; else empty.
    QString mFoldedText;
    std::shared_ptr<const ReferenceFilter> mReference;
    std::shared_ptr<SearchIndex> mNameIndex;
    std::shared_ptr<CommentMarks> mCommentMarks;
};

} // namespace Wordloom
