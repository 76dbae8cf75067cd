#include "document/keyfinder.h"
#include "document/referencefilter.h"
#include "document/searchindex.h"

#include "../support/coretest.h"

#include <QTextBoundaryFinder>
#include <random>

using namespace Wordloom;

namespace {

// Words where case, scripts, astral characters and word boundaries meet.
const char *const kWords[] = {"Straße", "STRASSE", "Größe", "ẞig", "ärger", "Ärger", "日本語", "😀x", "a=b", "dialog",
    "Dialoge", "e", "é", "Σοφία", "x1", "42", "Ende", "\u212Aelvin", "Kelvin", "İl", "ǅem"};

// The plain reading of "Ganzes Wort": the needle is the text between two
// word boundaries.
bool referenceWord(const QString &text, const QString &needle, Qt::CaseSensitivity cs)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    std::vector<qsizetype> bounds{0};
    while (finder.toNextBoundary() >= 0)
        bounds.push_back(finder.position());
    for (size_t a = 0; a < bounds.size(); ++a)
        for (size_t b = a + 1; b < bounds.size(); ++b)
            if (QStringView(text).mid(bounds[a], bounds[b] - bounds[a]).compare(needle, cs) == 0)
                return true;
    return false;
}

bool referenceMatch(const QString &text, const FindQuery &q)
{
    const Qt::CaseSensitivity cs = q.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (q.regex)
        return QRegularExpression(q.text,
            q.caseSensitive
                ? QRegularExpression::UseUnicodePropertiesOption
                : QRegularExpression::UseUnicodePropertiesOption | QRegularExpression::CaseInsensitiveOption)
            .match(text)
            .hasMatch();
    return q.wholeWord ? referenceWord(text, q.text, cs) : text.contains(q.text, cs);
}

// What a filter asks of a key, read field by field against what was
// written and against the source pack.
struct KeyFacts {
    QString name;
    KeyEntry entry;
    bool changed, onlyHere, same;
};

std::vector<KeyFacts> factsOf(const LanguagePack &pack, const LanguagePack &written, const LanguagePack &source)
{
    std::vector<KeyFacts> facts;
    for (const QString &name : pack.keys().names()) {
        const KeyEntry entry = pack.entry(name);
        const KeyEntry before = written.entry(name);
        facts.push_back({name, entry,
            entry.translation != before.translation || entry.comment != before.comment
                || entry.encodeHTML != before.encodeHTML,
            source.keys().find(name) < 0,
            !entry.translation.isEmpty() && entry.translation == source.entry(name).translation});
    }
    return facts;
}

// Every key in list order that a plain reading of the query lets through.
QStringList reference(const std::vector<KeyFacts> &facts, const FindQuery &q)
{
    QStringList names;
    for (const auto &[name, entry, changed, onlyHere, same] : facts) {
        if ((q.untranslated && !entry.translation.isEmpty()) || (q.withComment && entry.comment.isEmpty())
            || (q.changed && !changed) || (q.onlyHere && !onlyHere) || (q.sameAsReference && !same))
            continue;
        const bool hit = q.text.isEmpty() || ((q.scopes & FindQuery::Key) && referenceMatch(name, q))
            || ((q.scopes & FindQuery::Text) && !entry.translation.isEmpty() && referenceMatch(entry.translation, q))
            || ((q.scopes & FindQuery::Comment) && !entry.comment.isEmpty() && referenceMatch(entry.comment, q));
        if (hit)
            names << name;
    }
    return names;
}

// Each search twice: as the command line runs it, and as the window does,
// with the name index and with comment marks kept from search to search,
// which must follow every change of the pack.
QStringList found(const LanguagePack &pack, const std::shared_ptr<ReferenceFilter> &reference, const FindQuery &q)
{
    static const auto marks = std::make_shared<CommentMarks>();
    QStringList results[2];
    for (int window = 0; window < 2; ++window) {
        KeyFinder finder(q);
        finder.setReference(reference);
        if (window) {
            if (q.scopes & FindQuery::Key)
                finder.setNameIndex(KeyFinder::nameIndex(pack));
            finder.setCommentMarks(marks);
        }
        const std::vector<QString> names = finder.find(pack);
        results[window] = QStringList(names.begin(), names.end());
        if (const std::optional<std::vector<qint32>> lines = finder.findLines(pack)) {
            EXPECT_EQ(lines->size(), names.size());
        }
    }
    EXPECT_EQ(results[0], results[1]);
    return results[1];
}

} // namespace

TEST(KeyFinder, EveryScopeOptionAndFilterFindsWhatAPlainLoopFinds)
{
    std::mt19937 random(20);
    const auto word = [&] { return QString::fromUtf8(kWords[random() % std::size(kWords)]); };
    const auto phrase = [&] {
        QString text = word();
        for (unsigned n = random() % 4; n > 0; --n)
            text += QString::fromUtf8(" -.")[qsizetype(random() % 3)] + word();
        return text;
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.xml"));
    LanguagePack pack;
    pack.create(InfoValues{});
    for (int i = 0; i < 300; ++i) {
        KeyEntry entry;
        entry.translation = random() % 4 ? phrase() : QString();
        entry.comment = random() % 3 ? QString() : phrase();
        entry.encodeHTML = QStringLiteral("1");
        pack.commit((random() % 2 ? QStringLiteral("dialog.") : QStringLiteral("menü.")) + word() + QString::number(i),
            entry);
    }
    pack.write(path, InfoValues{});
    LanguagePack written;
    written.load(path);
    // Edits since the save: some stay, one is typed back, one undone.
    const std::vector<QString> keys = pack.keys().names();
    for (size_t i = 0; i < keys.size(); i += 7) {
        KeyEntry entry = pack.entry(keys[i]);
        entry.translation = i % 2 ? QString() : phrase();
        entry.comment = i % 3 ? entry.comment : word();
        pack.commit(keys[i], entry);
    }
    pack.commit(keys[14], written.entry(keys[14]));
    // The source lacks every fifth key, spells some in other case, has keys
    // of its own and shares every third translation.
    LanguagePack source;
    source.create(InfoValues{});
    for (size_t i = 0; i < keys.size(); ++i) {
        KeyEntry entry;
        entry.translation = i % 3 ? phrase() : pack.entry(keys[i]).translation;
        if (i % 5)
            source.commit(i % 7 ? keys[i] : keys[i].toUpper(), entry);
        if (i % 11 == 0)
            source.commit(QStringLiteral("zz.") + keys[i], entry);
    }
    KeyEntry fresh;
    fresh.translation = QStringLiteral("neu");
    pack.commit(keys[15], fresh);
    pack.undo();

    const std::pair<const char *, bool> texts[] = {{"ärger", false}, {"Ärger", false}, {"strasse", false}, {"ẞ", false},
        {"日本", false}, {"😀", false}, {"a=b", false}, {"dialog", false}, {"e", false}, {"E", false}, {"-", false},
        {"Kel", false}, {"\u212Ael", false}, {"il", false}, {"ǆ", false}, {"Dia", false}, {"", false},
        {"^dialog\\.\\w+", true}, {"(ä|Ä)rger\\b", true}, {"\\d{2}$", true}, {"", true}};
    const auto filter
        = [](bool untranslated, bool withComment, bool changed, bool onlyHere = false, bool same = false) {
              FindQuery query;
              query.untranslated = untranslated;
              query.withComment = withComment;
              query.changed = changed;
              query.onlyHere = onlyHere;
              query.sameAsReference = same;
              return query;
          };
    const FindQuery filters[] = {filter(false, false, false), filter(true, false, false), filter(false, true, false),
        filter(false, false, true), filter(false, true, true), filter(false, false, false, true),
        filter(true, false, false, true), filter(false, false, false, false, true)};
    // Once after the edits, once with them and two earlier steps undone.
    for (int phase = 0; phase < 2; ++phase) {
        if (phase == 1)
            for (int n = 0; n < 50; ++n)
                pack.undo();
        const std::vector<KeyFacts> facts = factsOf(pack, written, source);
        const auto compared = std::make_shared<ReferenceFilter>(pack, source);
        for (const auto &[text, regex] : texts)
            for (int scopes = 1; scopes < 8; ++scopes)
                for (int options = 0; options < 4; ++options)
                    for (FindQuery q : filters) {
                        q.text = QString::fromUtf8(text);
                        q.regex = regex;
                        q.scopes = scopes;
                        q.caseSensitive = options & 1;
                        q.wholeWord = (options & 2) && !regex;
                        SCOPED_TRACE(testing::Message()
                            << phase << " '" << text << "' scopes " << scopes << " options " << options << " filters "
                            << q.untranslated << q.withComment << q.changed << q.onlyHere << q.sameAsReference);
                        const QStringList expected = reference(facts, q);
                        ASSERT_EQ(found(pack, compared, q), expected);
                        if (phase == 0 && q.text.isEmpty() && !q.withComment && !q.untranslated
                            && (q.changed || q.hasReferenceFilter())) {
                            EXPECT_GT(expected.size(), 10);
                        }
                    }
    }

    // Many keys: the results and the replacements are made in parts
    // at once and joined in list order.
    LanguagePack large;
    large.create(InfoValues{});
    std::vector<std::pair<QString, KeyEntry>> many;
    for (int i = 0; i < 30000; ++i)
        many.push_back({QStringLiteral("k%1").arg(i, 5, 10, QLatin1Char('0')),
            KeyEntry{random() % 4 ? phrase() : QString(), random() % 3 ? QString() : phrase(), {}, {}, {}}});
    large.addKeys(QStringLiteral("viele"), many);
    const std::vector<KeyFacts> largeFacts = factsOf(large, large, large);
    const auto itself = std::make_shared<ReferenceFilter>(large, large);
    for (const char *text : {"Ärger", "e", "k1", ""})
        for (int options = 0; options < 8; ++options)
            for (const FindQuery &filtered : {filters[0], filters[1], filters[2]}) {
                FindQuery q = filtered;
                q.text = QString::fromUtf8(text);
                q.scopes = options & 4 ? FindQuery::Text : FindQuery::Key | FindQuery::Text | FindQuery::Comment;
                q.caseSensitive = options & 1;
                q.wholeWord = options & 2;
                SCOPED_TRACE(testing::Message()
                    << "large '" << text << "' options " << options << " filters " << q.untranslated << q.withComment);
                ASSERT_EQ(found(large, itself, q), reference(largeFacts, q));
                const KeyFinder finder(q);
                qsizetype count = 0;
                const std::vector<FieldChange> changes
                    = finder.replacements(large, finder.find(large), QStringLiteral("X"), count);
                qsizetype expected = 0;
                for (const FieldChange &change : changes)
                    finder.replaced(large.data().list(change.field).value(change.name), QStringLiteral("X"), expected);
                EXPECT_EQ(count, expected);
                EXPECT_TRUE(std::is_sorted(changes.begin(), changes.end(),
                    [](const FieldChange &a, const FieldChange &b) { return KeyList::lessThan(a.name, b.name); }));
            }
}

TEST(KeyFinder, ReplacesWholeWordsAndCaptureGroupsAndReportsABadPattern)
{
    const struct {
        const char *pattern;
        bool regex, word, caseSensitive;
        const char *with, *text, *result;
        int count;
    } rows[] = {
        {"rot", false, true, false, "grün", "Rot rotieren rot.", "grün rotieren grün.", 2},
        {"rot", false, false, true, "X", "Rot rotieren rot", "Rot Xieren X", 2},
        {"(\\w+)@(\\w+)", true, false, false, "\\2 bei \\1\\\\", "a@b, ü@日本", "b bei a\\, 日本 bei ü\\", 2},
        {"x*", true, false, false, "-", "axxb", "a-b", 1},
        {"straße", false, true, false, "Weg", "STRASSE straße", "STRASSE Weg", 1},
        // Ignoring case folds, rather than lowers, beside astral characters.
        {"ς", false, false, false, "s", "Σσς😀ς", "sss😀s", 4},
        {"ß", false, false, false, "ss", "Maß MAẞ", "Mass MAss", 2},
        {"ärger", false, true, false, "Zorn", "ÄRGER ärgerlich 😀Ärger", "Zorn ärgerlich 😀Zorn", 2},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.pattern);
        const KeyFinder finder(FindQuery{.text = QString::fromUtf8(row.pattern),
            .caseSensitive = row.caseSensitive,
            .wholeWord = row.word,
            .regex = row.regex});
        qsizetype count = 0;
        EXPECT_EQ(finder.replaced(QString::fromUtf8(row.text), QString::fromUtf8(row.with), count),
            QString::fromUtf8(row.result));
        EXPECT_EQ(count, row.count);
    }
    const KeyFinder bad(FindQuery{.text = QStringLiteral("a(b"), .regex = true});
    EXPECT_TRUE(bad.patternError().startsWith(QStringLiteral("Ungültiger regulärer Ausdruck: ")))
        << bad.patternError().toStdString();
    EXPECT_FALSE(bad.matches(QStringLiteral("a(b")));
}
