#include "document/keyfinder.h"

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
// second half is made on the worker pool at the same time. The pack is
// only read meanwhile.
template <typename T, typename Part> std::vector<T> inHalves(size_t n, Part part)
{
    if (n < 8192)
        return part(size_t(0), n);
    std::vector<T> first;
    std::vector<T> second;
    runSideBySide([&] { first = part(size_t(0), n / 2); }, [&] { second = part(n / 2, n); });
    first.reserve(first.size() + second.size());
    std::move(second.begin(), second.end(), std::back_inserter(first));
    return first;
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
        return text.contains(mQuery.text, mQuery.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive);
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
        out += match ? expand(replacement, *match) : replacement;
        done = start + length;
        ++count;
        return true;
    });
    if (!any)
        return text;
    out += QStringView(text).mid(done);
    return out;
}

std::vector<QString> KeyFinder::passing(const LanguagePack &pack, const std::vector<QString> &names,
    const QSet<QString> &changed) const
{
    const Hashlist &translations = pack.data().hashlistKeys;
    const Hashlist &comments = pack.data().hashlistComments;
    // The look-ups wait for memory far more than they compute: each name's
    // slots are fetched a few names ahead of its look-up.
    return inHalves<QString>(names.size(), [&](size_t from, size_t to) {
        constexpr size_t kAhead = 16;
        size_t hashes[kAhead];
        const auto fetch = [&](size_t i) {
            const size_t hash = nameHash(names[i]);
            hashes[i % kAhead] = hash;
            if (mQuery.untranslated)
                translations.prefetch(hash);
            if (mQuery.withComment)
                comments.prefetch(hash);
        };
        for (size_t i = from; i < std::min(to, from + kAhead); ++i)
            fetch(i);
        std::vector<QString> kept;
        for (size_t i = from; i < to; ++i) {
            const size_t hash = hashes[i % kAhead];
            if (i + kAhead < to)
                fetch(i + kAhead);
            const QString &name = names[i];
            if (mQuery.untranslated && translations.position(name, hash) >= 0)
                continue;
            if (mQuery.withComment && comments.position(name, hash) < 0)
                continue;
            if (mQuery.changed && !changed.contains(nameKey(name)))
                continue;
            if (passesReferenceFilters(name))
                kept.push_back(name);
        }
        return kept;
    });
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

std::vector<QString> KeyFinder::found(const Hashlist &list) const
{
    // The index finds the values containing the text ignoring case, a
    // superset of what case and whole words let through.
    const bool verify = mQuery.caseSensitive || mQuery.wholeWord;
    const std::vector<qint32> hits = list.linesContaining(mQuery.text);
    const auto part = [&](size_t from, size_t to) {
        std::vector<QString> names;
        names.reserve(to - from);
        for (size_t i = from; i < to; ++i) {
            const qint32 pos = hits[i];
            if (verify) {
                // The values lie apart in memory: the next ones are fetched
                // while this one is checked.
                if (i + 8 < to)
                    __builtin_prefetch(list.valueAtPosition(hits[i + 8]).constData());
                if (!matches(list.valueAtPosition(pos)))
                    continue;
            }
            names.push_back(list.lineName(pos));
        }
        return names;
    };
    return verify ? inHalves<QString>(hits.size(), part) : part(0, hits.size());
}

std::vector<QString> KeyFinder::find(const LanguagePack &pack) const
{
    if (mQuery.regex)
        return find(*snapshot(pack));
    const QSet<QString> changed = mQuery.changed ? changedKeys(pack) : QSet<QString>();
    std::vector<QString> names;
    // A file may repeat a name; the list keeps the repeats side by side,
    // the results name each key once.
    const auto add = [&names](QString name) {
        if (names.empty() || names.back() != name)
            names.push_back(std::move(name));
    };
    if (mQuery.text.isEmpty()) {
        for (QString &name : passing(pack, pack.keys().names(), changed))
            add(std::move(name));
        return names;
    }
    if ((mQuery.scopes & FindQuery::Key) && mNameIndex) {
        // The index finds the names containing the text ignoring case;
        // its rows, sorted, stand in list order.
        const std::vector<QString> &keys = pack.keys().names();
        std::vector<qint32> rows = mNameIndex->find(SearchIndex::lowered(mQuery.text));
        std::sort(rows.begin(), rows.end());
        const bool verify = mQuery.caseSensitive || mQuery.wholeWord;
        const auto verified = [&](size_t from, size_t to) {
            std::vector<qint32> part;
            for (size_t i = from; i < to; ++i)
                if (matches(keys[size_t(rows[i])]))
                    part.push_back(rows[i]);
            return part;
        };
        if (verify)
            rows = inHalves<qint32>(rows.size(), verified);
        for (const qint32 row : rows)
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
    if ((mQuery.scopes & FindQuery::Text) && !mQuery.untranslated)
        merge(found(pack.data().hashlistKeys));
    if (mQuery.scopes & FindQuery::Comment)
        merge(found(pack.data().hashlistComments));
    if (mQuery.hasFilter())
        names = passing(pack, names, changed);
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
    QHash<QString, QString> written[std::size(kKeyFields)];
    for (int i = std::min(now, clean); i < std::max(now, clean); ++i) {
        const auto *step = static_cast<const PackStep *>(history.command(i));
        for (const PackStep::LineChange &change : step->lines()) {
            QHash<QString, QString> &values = written[size_t(change.field)];
            const QString folded = nameKey(change.name);
            if (forward) {
                if (!values.contains(folded))
                    values.insert(folded, change.before);
            } else {
                values.insert(folded, change.after);
            }
        }
    }
    QSet<QString> changed;
    for (const KeyField field : kKeyFields)
        for (auto it = written[size_t(field)].cbegin(); it != written[size_t(field)].cend(); ++it)
            if (pack.data().list(field).value(it.key()) != it.value())
                changed.insert(it.key());
    return changed;
}

std::vector<FieldChange> KeyFinder::replacements(const LanguagePack &pack, const std::vector<QString> &names,
    const QString &replacement, qsizetype &count) const
{
    // The changes of names [from, to), each line's slot fetched a few names
    // ahead of its look-up.
    std::atomic<qsizetype> found{0};
    std::vector<FieldChange> changes = inHalves<FieldChange>(names.size(), [&](size_t from, size_t to) {
        std::vector<FieldChange> made;
        qsizetype local = 0;
        const bool comments = mQuery.scopes & FindQuery::Comment;
        constexpr size_t kAhead = 16;
        size_t hashes[kAhead];
        const auto fetch = [&](size_t i) {
            hashes[i % kAhead] = nameHash(names[i]);
            pack.data().hashlistKeys.prefetch(hashes[i % kAhead]);
            if (comments)
                pack.data().hashlistComments.prefetch(hashes[i % kAhead]);
        };
        made.reserve(to - from);
        for (size_t i = from; i < std::min(to, from + kAhead); ++i)
            fetch(i);
        for (size_t i = from; i < to; ++i) {
            const size_t hash = hashes[i % kAhead];
            if (i + kAhead < to)
                fetch(i + kAhead);
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
        }
        found += local;
        return made;
    });
    count += found;
    return changes;
}

} // namespace Wordloom
