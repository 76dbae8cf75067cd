#include "document/keyfinder.h"

#include "document/fetchahead.h"
#include "document/packstep.h"
#include "document/referencefilter.h"
#include "document/searchindex.h"
#include "document/workerpool.h"

#include <QHash>
#include <QScopeGuard>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <numeric>
#include <optional>
#include <type_traits>
#include <utility>

namespace Wordloom {

namespace {

bool isWordAt(const QString &text, qsizetype start, qsizetype length)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    finder.setPosition(start);
    if (!finder.isAtBoundary())
        return false;
    finder.setPosition(start + length);
    return finder.isAtBoundary();
}

// The replacement with \0..\9 taken from the match and \\ as one backslash.
QString expand(const QString &replacement, const QRegularExpressionMatch &match)
{
    QString out;
    out.reserve(replacement.size());
    for (qsizetype i = 0; i < replacement.size(); ++i) {
        const QChar c = replacement[i];
        if (c == QLatin1Char('\\') && i + 1 < replacement.size()) {
            const QChar next = replacement[i + 1];
            if (next.isDigit() && next.unicode() < 0x80) {
                out += match.captured(next.unicode() - '0');
                ++i;
                continue;
            }
            if (next == QLatin1Char('\\')) {
                out += next;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

// The results of part(from, to) over [0, n) in order; for many items the
// parts are made here and on the worker pool at the same time, each side
// taking the next part as it is done, so a side slowed down leaves more
// to the other. The pack is only read meanwhile.
template <typename T, typename Part> std::vector<T> inParts(size_t n, Part part)
{
    constexpr size_t kPart = 8192;
    if (n < kPart)
        return part(size_t(0), n);
    const size_t count = std::min<size_t>(64, n / kPart);
    std::vector<std::vector<T>> parts(count);
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t i = next++; i < count; i = next++)
            parts[i] = part(n * i / count, n * (i + 1) / count);
    };
    runSideBySide(work, work);
    size_t total = 0;
    for (const std::vector<T> &made : parts)
        total += made.size();
    std::vector<T> all = std::move(parts.front());
    all.reserve(total);
    for (size_t i = 1; i < count; ++i)
        std::move(parts[i].begin(), parts[i].end(), std::back_inserter(all));
    return all;
}

// Zero for equal names, at once when they share their characters; else
// their order.
int orderOfNames(const QString &a, const QString &b)
{
    if (a.constData() == b.constData() && a.size() == b.size())
        return 0;
    return compareNames(a, b);
}

// For each item, in name order, the position of its name's line in the
// list, or -1. Both are walked side by side in name order: no look-ups,
// names shared with the list compare by their address, and the walk leaps
// over lines in growing steps, so a few items pass a long list quickly.
// Many items are walked in parts on two threads at once.
template <typename T, typename NameOf>
std::vector<qint32> linesFor(const std::vector<T> &items, NameOf nameOf, const Hashlist &list)
{
    const std::vector<qint32> &order = list.linesInOrder();
    const size_t lines = order.size();
    const auto before = [&](size_t j, const QString &name) { return orderOfNames(list.lineName(order[j]), name) < 0; };
    const auto same = [&](size_t j, const QString &name) {
        const QString &line = list.lineName(order[j]);
        return line.constData() == name.constData() && line.size() == name.size();
    };
    // The first line not before the name, from a line at or before it.
    // Mostly that is the line or the next, with the name's own characters.
    const auto seek = [&](size_t j, const QString &name) {
        if (j >= lines || same(j, name))
            return j;
        if (j + 1 < lines && same(j + 1, name))
            return j + 1;
        if (!before(j, name))
            return j;
        // The line at low is before the name, the one at high (or the end)
        // is not.
        size_t low = j;
        size_t step = 1;
        size_t high = j + 1;
        while (high < lines && before(high, name)) {
            low = high;
            step *= 2;
            high = low + step;
        }
        high = std::min(high, lines);
        while (high - low > 1) {
            const size_t middle = low + (high - low) / 2;
            (before(middle, name) ? low : high) = middle;
        }
        return high;
    };
    // Against a list many times longer, looking each item up is quicker.
    if (items.size() * 4 < lines) {
        return inParts<qint32>(items.size(), [&](size_t from, size_t to) {
            std::vector<qint32> at;
            at.reserve(to - from);
            forEachFetched(
                from, to, [&](size_t i) -> const QString & { return nameOf(items[i]); },
                [&](size_t, size_t hash) { list.prefetch(hash); },
                [&](size_t i, size_t hash) { at.push_back(qint32(list.position(nameOf(items[i]), hash))); });
            return at;
        });
    }
    return inParts<qint32>(items.size(), [&](size_t from, size_t to) {
        std::vector<qint32> at;
        at.reserve(to - from);
        size_t j = from == 0 ? 0 : seek(0, nameOf(items[from]));
        for (size_t i = from; i < to; ++i) {
            const QString &name = nameOf(items[i]);
            j = seek(j, name);
            const bool found = j < lines && orderOfNames(list.lineName(order[j]), name) == 0;
            at.push_back(found ? order[j] : -1);
        }
        return at;
    });
}

std::vector<QString> namesAt(const Hashlist &list, const std::vector<qint32> &lines)
{
    std::vector<QString> names;
    names.reserve(lines.size());
    for (const qint32 pos : lines)
        names.push_back(list.lineName(pos));
    return names;
}

} // namespace

bool KeyFinder::foldedAlike(QStringView text, QString &out)
{
    // As a search ignoring case folds: each unit by itself, a low surrogate
    // as the low half of its pair folded; the length stays, and so do the
    // positions.
    out.resize(text.size());
    char16_t *to = reinterpret_cast<char16_t *>(out.data());
    const char16_t *from = text.utf16();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = from[i];
        if (c < 0x80) {
            to[i] = c >= 'A' && c <= 'Z' ? char16_t(c + 32) : c;
        } else if (QChar::isLowSurrogate(c) && i > 0 && QChar::isHighSurrogate(from[i - 1])) {
            to[i] = QChar::lowSurrogate(QChar::toCaseFolded(QChar::surrogateToUcs4(from[i - 1], c)));
        } else {
            const char32_t folded = QChar::toCaseFolded(char32_t(c));
            if (folded > 0xFFFF)
                return false;
            to[i] = char16_t(folded);
        }
    }
    return true;
}

KeyFinder::KeyFinder(const FindQuery &query) : mQuery(query)
{
    if (mQuery.regex) {
        QRegularExpression::PatternOptions options = QRegularExpression::UseUnicodePropertiesOption;
        if (!mQuery.caseSensitive)
            options |= QRegularExpression::CaseInsensitiveOption;
        mRegex = QRegularExpression(mQuery.text, options);
    } else if (!mQuery.caseSensitive) {
        // A needle with surrogates is left to the library's own comparison.
        const bool surrogates
            = std::any_of(mQuery.text.cbegin(), mQuery.text.cend(), [](QChar c) { return c.isSurrogate(); });
        if (!surrogates)
            if (!foldedAlike(mQuery.text, mFoldedText))
                mFoldedText.clear();
    }
}

QString KeyFinder::patternError() const
{
    if (!mQuery.regex || mRegex.isValid())
        return QString();
    return QStringLiteral("Ungültiger regulärer Ausdruck: %1 (Stelle %2)")
        .arg(mRegex.errorString())
        .arg(mRegex.patternErrorOffset() + 1);
}

template <typename Visit> void KeyFinder::forEachOccurrence(const QString &text, Visit &&visit) const
{
    if (mQuery.text.isEmpty())
        return;
    if (mQuery.regex) {
        if (!mRegex.isValid())
            return;
        for (QRegularExpressionMatchIterator it = mRegex.globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            // An empty match replaces nothing.
            if (match.capturedLength() == 0)
                continue;
            if (mQuery.wholeWord && !isWordAt(text, match.capturedStart(), match.capturedLength()))
                continue;
            if (!visit(match.capturedStart(), match.capturedLength(), &match))
                return;
        }
        return;
    }
    // Ignoring case, the text is folded once and searched exactly, rather
    // than folded afresh at every place tried.
    // Folded into the thread's buffer, kept from text to text.
    thread_local QString folded;
    const bool byFold = !mFoldedText.isEmpty() && foldedAlike(text, folded);
    const auto release = qScopeGuard([] {
        if (folded.capacity() > (1 << 20))
            folded = QString();
    });
    const QString &haystack = byFold ? folded : text;
    const QString &needle = byFold ? mFoldedText : mQuery.text;
    const Qt::CaseSensitivity cs = mQuery.caseSensitive || byFold ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const qsizetype length = needle.size();
    for (qsizetype at = haystack.indexOf(needle, 0, cs); at >= 0;) {
        if (mQuery.wholeWord && !isWordAt(text, at, length)) {
            at = haystack.indexOf(needle, at + 1, cs);
            continue;
        }
        if (!visit(at, length, nullptr))
            return;
        at = haystack.indexOf(needle, at + length, cs);
    }
}

bool KeyFinder::matches(const QString &text) const
{
    if (mQuery.text.isEmpty())
        return true;
    if (!mQuery.wholeWord) {
        if (mQuery.regex)
            return mRegex.isValid() && mRegex.match(text).hasMatch();
        if (mQuery.caseSensitive)
            return SearchIndex::containsInCase(text, mQuery.text);
        return text.contains(mQuery.text, Qt::CaseInsensitive);
    }
    bool found = false;
    forEachOccurrence(text, [&](qsizetype, qsizetype, const QRegularExpressionMatch *) { return !(found = true); });
    return found;
}

QString KeyFinder::replaced(const QString &text, const QString &replacement, qsizetype &count) const
{
    QString out;
    qsizetype done = 0;
    bool any = false;
    forEachOccurrence(text, [&](qsizetype start, qsizetype length, const QRegularExpressionMatch *match) {
        if (!std::exchange(any, true))
            out.reserve(text.size() + replacement.size() * 4);
        out += QStringView(text).mid(done, start - done);
        // Appended as it stands: a copy would count a reference on the
        // text that every thread replacing shares.
        if (match)
            out += expand(replacement, *match);
        else
            out += replacement;
        done = start + length;
        ++count;
        return true;
    });
    if (!any)
        return text;
    out += QStringView(text).mid(done);
    return out;
}

template <typename T, typename NameOf>
std::vector<T> KeyFinder::passing(const LanguagePack &pack, const std::vector<T> &items, NameOf nameOf,
    const QSet<QString> &changed, const Hashlist *linesOf) const
{
    const Hashlist &translations = pack.data().hashlistKeys;
    const Hashlist &comments = pack.data().hashlistComments;
    std::vector<T> kept;
    const std::vector<T> *from = &items;
    const auto keep = [&](const auto &passes) {
        std::vector<T> next;
        for (size_t i = 0; i < from->size(); ++i)
            if (passes(i))
                next.push_back((*from)[i]);
        kept = std::move(next);
        from = &kept;
    };
    const auto hasLine = [&](const std::vector<qint32> &at, size_t i) { return at[i] >= 0; };
    // Translation lines are their own; marks, once made, tell which have
    // a comment without a look-up.
    const bool ownLines = std::is_same_v<T, qint32> && linesOf == &translations;
    const bool byMarks = mQuery.withComment && !mQuery.untranslated
        && (mCommentMarks || (ownLines && items.size() > size_t(comments.count())));
    if (mQuery.untranslated || byMarks) {
        std::vector<qint32> at;
        if constexpr (std::is_same_v<T, qint32>)
            if (ownLines)
                at = items;
        if (!ownLines)
            at = linesFor(items, nameOf, translations);
        if (mQuery.untranslated) {
            keep([&](size_t i) { return !hasLine(at, i); });
        } else {
            CommentMarks own;
            CommentMarks &marks = mCommentMarks ? *mCommentMarks : own;
            marks.update(pack.data());
            keep([&](size_t i) {
                const qint32 pos = at[i];
                if (pos < 0)
                    return comments.contains(nameOf((*from)[i]));
                return size_t(pos) < marks.marks.size() && marks.marks[size_t(pos)];
            });
        }
    }
    if (mQuery.withComment && !byMarks) {
        const std::vector<qint32> at = linesFor(*from, nameOf, comments);
        keep([&](size_t i) { return hasLine(at, i); });
    }
    if (!mQuery.changed && !mQuery.hasReferenceFilter())
        return from == &kept ? std::move(kept) : items;
    keep([&](size_t i) {
        const QString &name = nameOf((*from)[i]);
        return (!mQuery.changed || changed.contains(nameKey(name))) && passesReferenceFilters(name);
    });
    return kept;
}

void CommentMarks::update(const KeyData &data)
{
    const Hashlist &translations = data.hashlistKeys;
    const Hashlist &comments = data.hashlistComments;
    if (translationsGeneration == translations.generation() && commentsGeneration == comments.generation())
        return;
    // Each comment's name looked up in the translations, fetched ahead.
    const std::vector<qint32> &order = comments.linesInOrder();
    const auto nameOf = [&](size_t i) -> const QString & { return comments.lineName(order[i]); };
    std::vector<qint32> lines = inParts<qint32>(order.size(), [&](size_t from, size_t to) {
        std::vector<qint32> found;
        found.reserve(to - from);
        const auto fetch = [&](size_t, size_t hash) { translations.prefetch(hash); };
        forEachFetched(from, to, nameOf, fetch, [&](size_t i, size_t hash) {
            const qsizetype pos = translations.position(nameOf(i), hash);
            if (pos >= 0)
                found.push_back(qint32(pos));
        });
        return found;
    });
    marks.assign(lines.empty() ? 0 : size_t(*std::max_element(lines.begin(), lines.end())) + 1, 0);
    for (const qint32 pos : lines)
        marks[size_t(pos)] = 1;
    translationsGeneration = translations.generation();
    commentsGeneration = comments.generation();
}

bool KeyFinder::passesReferenceFilters(const QString &name) const
{
    if (!mQuery.hasReferenceFilter())
        return true;
    if (!mReference)
        return false;
    return (!mQuery.onlyHere || mReference->isOnlyHere(name))
        && (!mQuery.sameAsReference || mReference->isSameAsReference(name));
}

std::vector<qint32> KeyFinder::foundLines(const Hashlist &list) const
{
    // The index finds the values containing the text, a superset of the
    // whole words.
    std::vector<qint32> hits
        = mQuery.caseSensitive ? list.linesContainingInCase(mQuery.text) : list.linesContaining(mQuery.text);
    if (!mustVerify())
        return hits;
    return inParts<qint32>(hits.size(), [&](size_t from, size_t to) {
        std::vector<qint32> kept;
        kept.reserve(to - from);
        for (size_t i = from; i < to; ++i) {
            // The values lie apart in memory: the lines after this one are
            // fetched, then their texts, while this one is checked.
            if (i + 16 < to)
                list.prefetchLine(hits[i + 16]);
            if (i + 8 < to)
                list.prefetchLine(hits[i + 8], true);
            if (matches(list.valueAtPosition(hits[i])))
                kept.push_back(hits[i]);
        }
        return kept;
    });
}

std::optional<std::vector<qint32>> KeyFinder::findLines(const LanguagePack &pack) const
{
    if (mQuery.regex || mQuery.text.isEmpty() || mQuery.scopes != FindQuery::Text)
        return std::nullopt;
    // No key without a translation has the text in it.
    if (mQuery.untranslated)
        return std::vector<qint32>();
    const Hashlist &translations = pack.data().hashlistKeys;
    std::vector<qint32> lines = foundLines(translations);
    if (!mQuery.hasFilter())
        return lines;
    return passing(
        pack, lines, [&](qint32 pos) -> const QString & { return translations.lineName(pos); },
        mQuery.changed ? changedKeys(pack) : QSet<QString>(), &translations);
}

bool KeyFinder::mustVerify() const
{
    // The index finds the text ignoring case or in its case.
    return mQuery.wholeWord;
}

std::vector<qint32> KeyFinder::namedRows(const std::vector<QString> &keys) const
{
    // The index finds the names containing the text; its rows, sorted,
    // stand in list order. Only names equal ignoring case may stand out of
    // order there.
    std::vector<qint32> rows = mQuery.caseSensitive
        ? mNameIndex->findInCase(mQuery.text, [&](qsizetype row) -> const QString & { return keys[size_t(row)]; })
        : mNameIndex->find(SearchIndex::lowered(mQuery.text));
    if (!std::is_sorted(rows.begin(), rows.end()))
        std::sort(rows.begin(), rows.end());
    if (!mustVerify())
        return rows;
    return inParts<qint32>(rows.size(), [&](size_t from, size_t to) {
        std::vector<qint32> part;
        for (size_t i = from; i < to; ++i)
            if (matches(keys[size_t(rows[i])]))
                part.push_back(rows[i]);
        return part;
    });
}

std::optional<std::vector<qint32>> KeyFinder::findRows(const LanguagePack &pack) const
{
    // The empty text lets every row through to the filters.
    const bool everyRow = mQuery.text.isEmpty();
    if (mQuery.regex || (!everyRow && (mQuery.scopes != FindQuery::Key || !mNameIndex)))
        return std::nullopt;
    const std::vector<QString> &keys = pack.keys().names();
    const auto nameOf = [&](qint32 row) -> const QString & { return keys[size_t(row)]; };
    std::vector<qint32> rows;
    if (everyRow) {
        rows.resize(keys.size());
        std::iota(rows.begin(), rows.end(), 0);
    } else {
        rows = namedRows(keys);
    }
    if (mQuery.hasFilter())
        rows = passing(pack, rows, nameOf, mQuery.changed ? changedKeys(pack) : QSet<QString>());
    // A name the file repeats is found once.
    rows.erase(
        std::unique(rows.begin(), rows.end(), [&](qint32 a, qint32 b) { return keys[size_t(a)] == keys[size_t(b)]; }),
        rows.end());
    return rows;
}

std::vector<QString> KeyFinder::find(const LanguagePack &pack) const
{
    if (mQuery.regex)
        return find(*snapshot(pack));
    if (std::optional<std::vector<qint32>> lines = findLines(pack))
        return namesAt(pack.data().hashlistKeys, *lines);
    if (std::optional<std::vector<qint32>> rows = findRows(pack)) {
        std::vector<QString> names;
        names.reserve(rows->size());
        for (const qint32 row : *rows)
            names.push_back(pack.keys().names()[size_t(row)]);
        return names;
    }
    const QSet<QString> changed = mQuery.changed ? changedKeys(pack) : QSet<QString>();
    const auto itself = [](const QString &name) -> const QString & { return name; };
    std::vector<QString> names;
    // A file may repeat a name; the list keeps the repeats side by side,
    // the results name each key once.
    const auto add = [&names](QString name) {
        if (names.empty() || names.back() != name)
            names.push_back(std::move(name));
    };
    if ((mQuery.scopes & FindQuery::Key) && mNameIndex) {
        const std::vector<QString> &keys = pack.keys().names();
        for (const qint32 row : namedRows(keys))
            add(keys[size_t(row)]);
    } else if (mQuery.scopes & FindQuery::Key) {
        const Qt::CaseSensitivity cs = mQuery.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
        for (const QString &name : pack.keys().names())
            if (mQuery.wholeWord ? matches(name) : name.contains(mQuery.text, cs))
                add(name);
    }
    // Each part is in list order already: merged, not sorted.
    const auto merge = [&names](std::vector<QString> part) {
        if (names.empty()) {
            names = std::move(part);
            return;
        }
        std::vector<QString> both;
        both.reserve(names.size() + part.size());
        std::merge(std::make_move_iterator(names.begin()), std::make_move_iterator(names.end()),
            std::make_move_iterator(part.begin()), std::make_move_iterator(part.end()), std::back_inserter(both),
            KeyList::lessThan);
        both.erase(std::unique(both.begin(), both.end()), both.end());
        names = std::move(both);
    };
    // No key without a translation has the text in it.
    const Hashlist &translations = pack.data().hashlistKeys;
    const Hashlist &comments = pack.data().hashlistComments;
    if ((mQuery.scopes & FindQuery::Text) && !mQuery.untranslated)
        merge(namesAt(translations, foundLines(translations)));
    if (mQuery.scopes & FindQuery::Comment)
        merge(namesAt(comments, foundLines(comments)));
    if (mQuery.hasFilter())
        names = passing(pack, names, itself, changed);
    return names;
}

std::vector<QString> KeyFinder::find(const FindSnapshot &snapshot, const std::atomic<bool> *cancel) const
{
    std::vector<QString> names;
    for (size_t i = 0; i < snapshot.keys.size(); ++i) {
        if (cancel && (i & 4095) == 0 && cancel->load(std::memory_order_relaxed))
            return {};
        const QString &name = snapshot.keys[i];
        if (mQuery.untranslated && !snapshot.translations[i].isEmpty())
            continue;
        if (mQuery.withComment && snapshot.comments[i].isEmpty())
            continue;
        if (mQuery.changed && !snapshot.changed.contains(nameKey(name)))
            continue;
        if (!passesReferenceFilters(name))
            continue;
        const bool hit = mQuery.text.isEmpty() || ((mQuery.scopes & FindQuery::Key) && matches(name))
            || ((mQuery.scopes & FindQuery::Text) && !snapshot.translations[i].isEmpty()
                && matches(snapshot.translations[i]))
            || ((mQuery.scopes & FindQuery::Comment) && !snapshot.comments[i].isEmpty()
                && matches(snapshot.comments[i]));
        if (hit && (names.empty() || names.back() != name))
            names.push_back(name);
    }
    return names;
}

std::shared_ptr<SearchIndex> KeyFinder::nameIndex(const LanguagePack &pack)
{
    const std::vector<QString> &names = pack.keys().names();
    return SearchIndex::build(names, names);
}

std::shared_ptr<FindSnapshot> KeyFinder::snapshot(const LanguagePack &pack)
{
    auto snapshot = std::make_shared<FindSnapshot>();
    snapshot->keys = pack.keys().names();
    const size_t n = snapshot->keys.size();
    snapshot->translations.reserve(n);
    snapshot->comments.reserve(n);
    for (const QString &name : snapshot->keys) {
        const size_t hash = nameHash(name);
        snapshot->translations.push_back(pack.data().hashlistKeys.value(name, hash));
        snapshot->comments.push_back(pack.data().hashlistComments.value(name, hash));
    }
    snapshot->changed = changedKeys(pack);
    return snapshot;
}

QSet<QString> KeyFinder::changedKeys(const LanguagePack &pack)
{
    const QUndoStack &history = pack.history();
    const int now = history.index();
    int clean = history.cleanIndex();
    // With the written state undone and overwritten, the oldest state kept
    // is the nearest known one.
    if (clean < 0)
        clean = 0;
    const bool forward = now >= clean;
    // The value each changed field had in the written state: before the
    // first change after it, or after the last change undone back from it.
    // Kept by the folded name, with a spelling of the name to look it up:
    // the folded name is an order key, not one the lists find.
    QHash<QString, std::pair<QString, QString>> written[std::size(kKeyFields)];
    for (int i = std::min(now, clean); i < std::max(now, clean); ++i) {
        const auto *step = static_cast<const PackStep *>(history.command(i));
        for (const PackStep::LineChange &change : step->lines()) {
            QHash<QString, std::pair<QString, QString>> &values = written[size_t(change.field)];
            const QString folded = nameKey(change.name);
            if (forward) {
                if (!values.contains(folded))
                    values.insert(folded, {change.name, change.before});
            } else {
                values.insert(folded, {change.name, change.after});
            }
        }
    }
    QSet<QString> changed;
    for (const KeyField field : kKeyFields)
        for (auto it = written[size_t(field)].cbegin(); it != written[size_t(field)].cend(); ++it)
            if (pack.data().list(field).value(it->first) != it->second)
                changed.insert(it.key());
    return changed;
}

std::vector<FieldChange> KeyFinder::replacements(const LanguagePack &pack, const std::vector<QString> &names,
    const QString &replacement, qsizetype &count) const
{
    std::atomic<qsizetype> found{0};
    std::vector<FieldChange> changes = inParts<FieldChange>(names.size(), [&](size_t from, size_t to) {
        std::vector<FieldChange> made;
        qsizetype local = 0;
        const bool comments = mQuery.scopes & FindQuery::Comment;
        made.reserve(to - from);
        const Hashlist &translations = pack.data().hashlistKeys;
        const Hashlist &commentList = pack.data().hashlistComments;
        const auto fetch = [&](size_t, size_t hash) {
            translations.prefetch(hash);
            if (comments)
                commentList.prefetch(hash);
        };
        forEachFetched(
            from, to, [&](size_t i) -> const QString & { return names[i]; }, fetch,
            [&](size_t i, size_t hash) {
                const QString &name = names[i];
                for (const KeyField field : {KeyField::Translation, KeyField::Comment}) {
                    if (field == KeyField::Comment && !comments)
                        continue;
                    const QString value = pack.data().list(field).value(name, hash);
                    qsizetype n = 0;
                    QString after = replaced(value, replacement, n);
                    if (n > 0 && after != value) {
                        made.push_back(FieldChange{name, field, std::move(after)});
                        local += n;
                    }
                }
            });
        found += local;
        return made;
    });
    count += found;
    return changes;
}

} // namespace Wordloom
