#include "checks/checkregistry.h"

#include "checks/keychecks.h"

#include <algorithm>

namespace Wordloom {

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

QString quoted(QStringView text)
{
    return QStringLiteral("„") + text.toString() + QStringLiteral("“");
}

// ---- placeholders ----------------------------------------------------------

struct Placeholder {
    QString shown; // as written, without a printf position
    QString key; // with the position, given or implicit
};

// The placeholders of a text: printf style (%% is a literal), Qt style
// (%1 to %99, %L1) and brace style ({0}, {name}, {}; {{ is a literal).
std::vector<Placeholder> placeholdersOf(QStringView s)
{
    std::vector<Placeholder> found;
    // Most texts hold none; the scan for the two marks is fast.
    if (!s.contains(u'%') && !s.contains(u'{'))
        return found;
    int implicitPrintf = 0;
    int implicitBrace = 0;
    const qsizetype n = s.size();
    qsizetype i = 0;
    auto at = [&](qsizetype k) { return k < n ? s[k] : QChar(); };
    while (i < n) {
        const QChar c = s[i];
        if (c == u'%') {
            if (at(i + 1) == u'%') {
                i += 2;
                continue;
            }
            // gettext's system-dependent directives, as %<PRIdMAX>.
            if (s.mid(i + 1).startsWith(u"<PRI")) {
                const qsizetype end = s.indexOf(u'>', i);
                if (end > 0) {
                    const QString spec = s.mid(i, end + 1 - i).toString();
                    found.push_back({spec, QStringLiteral("printf %1$").arg(++implicitPrintf) + spec});
                    i = end + 1;
                    continue;
                }
            }
            qsizetype k = i + 1;
            qsizetype position = 0;
            qsizetype d = k;
            while (isAsciiDigit(at(d)))
                ++d;
            if (d > k && at(d) == u'$') {
                position = s.mid(k, d - k).toInt();
                k = d + 1;
            }
            const qsizetype specStart = k;
            while (at(k) != QChar() && QStringView(u"-+#0'I").contains(at(k)))
                ++k;
            // A width or precision: "*" or digits.
            const auto skipCount = [&] {
                if (at(k) == u'*')
                    ++k;
                else
                    while (isAsciiDigit(at(k)))
                        ++k;
            };
            skipCount();
            if (at(k) == u'.') {
                ++k;
                skipCount();
            }
            while (at(k) != QChar() && QStringView(u"hlLqjzt").contains(at(k)))
                ++k;
            if (at(k) != QChar() && QStringView(u"diouxXeEfFgGaAcspnm").contains(at(k))) {
                // glibc's I flag (the locale's digits) changes no argument.
                const QString spec
                    = QLatin1Char('%') + s.mid(specStart, k + 1 - specStart).toString().remove(QLatin1Char('I'));
                const int pos = position ? int(position) : ++implicitPrintf;
                found.push_back({spec, QStringLiteral("printf %1$").arg(pos) + spec});
                i = k + 1;
                continue;
            }
            k = i + 1;
            if (at(k) == u'L')
                ++k;
            d = k;
            while (isAsciiDigit(at(d)) && d - k < 2)
                ++d;
            if (d > k && s.mid(k, d - k) != u"0") {
                const QString token = s.mid(i, d - i).toString();
                found.push_back({token, token});
                i = d;
                continue;
            }
            ++i;
            continue;
        }
        if (c == u'{') {
            if (at(i + 1) == u'{') {
                i += 2;
                continue;
            }
            qsizetype k = i + 1;
            while (at(k).isLetterOrNumber() || at(k) == u'_')
                ++k;
            const QStringView name = s.mid(i + 1, k - i - 1);
            bool valid = name.isEmpty() || !isAsciiDigit(name[0])
                || std::all_of(name.begin(), name.end(), [](QChar ch) { return isAsciiDigit(ch); });
            if (at(k) == u':')
                while (k < n && s[k] != u'}' && s[k] != u'{')
                    ++k;
            if (valid && at(k) == u'}') {
                const QString token = s.mid(i, k + 1 - i).toString();
                found.push_back({token, name.isEmpty() ? QStringLiteral("{} %1").arg(++implicitBrace) + token : token});
                i = k + 1;
                continue;
            }
            ++i;
            continue;
        }
        if (c == u'}' && at(i + 1) == u'}') {
            i += 2;
            continue;
        }
        ++i;
    }
    return found;
}

// The elements of a that b lacks, counted, in a's order.
QStringList missingFrom(const QStringList &a, QStringList b)
{
    QStringList missing;
    for (const QString &item : a) {
        const qsizetype at = b.indexOf(item);
        if (at < 0)
            missing.append(item);
        else
            b.removeAt(at);
    }
    return missing;
}

void checkPlaceholders(const CheckedText &text, const CheckedText *reference, QStringList &messages)
{
    const std::vector<Placeholder> mine = placeholdersOf(text.translation);
    const std::vector<Placeholder> theirs = placeholdersOf(reference->translation);
    // The same placeholders at the same positions: nothing to report.
    if (std::equal(mine.begin(), mine.end(), theirs.begin(), theirs.end(),
            [](const Placeholder &a, const Placeholder &b) { return a.key == b.key; }))
        return;
    QStringList mineShown, theirsShown, mineKeys, theirsKeys;
    for (const Placeholder &p : mine) {
        mineShown.append(p.shown);
        mineKeys.append(p.key);
    }
    for (const Placeholder &p : theirs) {
        theirsShown.append(p.shown);
        theirsKeys.append(p.key);
    }
    const QStringList missing = missingFrom(theirsShown, mineShown);
    const QStringList extra = missingFrom(mineShown, theirsShown);
    for (const QString &p : missing)
        messages.append(QStringLiteral("Platzhalter fehlt: ") + p);
    for (const QString &p : extra)
        messages.append(QStringLiteral("Platzhalter zu viel: ") + p);
    if (missing.isEmpty() && extra.isEmpty() && !missingFrom(theirsKeys, mineKeys).isEmpty())
        messages.append(QStringLiteral("Platzhalter in anderer Reihenfolge: ") + mineShown.join(QLatin1Char(' ')));
}

// ---- markup ----------------------------------------------------------------

bool isVoidElement(QStringView name)
{
    static const char16_t *const kVoid[] = {u"br", u"hr", u"img", u"input", u"meta", u"link", u"wbr", u"area", u"base",
        u"col", u"embed", u"source", u"track", u"param"};
    for (const char16_t *v : kVoid)
        if (name.compare(QStringView(v), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// The elements of HTML a text may carry; "<file>" in a usage text is none.
bool isHtmlElement(QStringView tag)
{
    static const char16_t *const kHtml[] = {u"a", u"b", u"i", u"u", u"s", u"em", u"strong", u"small", u"big", u"sub",
        u"sup", u"tt", u"code", u"pre", u"span", u"div", u"p", u"br", u"hr", u"img", u"font", u"ul", u"ol", u"li",
        u"table", u"tr", u"td", u"th", u"h1", u"h2", u"h3", u"h4", u"h5", u"h6", u"q", u"blockquote", u"strike",
        u"center", u"kbd", u"var", u"cite", u"abbr", u"mark", u"del", u"ins", u"nobr"};
    qsizetype start = tag.startsWith(u"</") ? 2 : 1;
    qsizetype end = start;
    while (end < tag.size() && tag[end] != u'>' && tag[end] != u'/')
        ++end;
    const QStringView name = tag.mid(start, end - start);
    for (const char16_t *element : kHtml)
        if (name == QStringView(element))
            return true;
    return false;
}

// The length of the entity at i ("&amp;", "&#38;", "&#x26;"), or 0.
qsizetype entityLength(QStringView s, qsizetype i)
{
    qsizetype k = i + 1;
    const qsizetype n = s.size();
    if (k < n && s[k] == u'#') {
        ++k;
        const bool hex = k < n && (s[k] == u'x' || s[k] == u'X');
        if (hex)
            ++k;
        const qsizetype start = k;
        while (k < n && (isAsciiDigit(s[k]) || (hex && QStringView(u"abcdefABCDEF").contains(s[k]))))
            ++k;
        return k > start && k < n && s[k] == u';' ? k + 1 - i : 0;
    }
    const qsizetype start = k;
    while (k < n && (isAsciiLetter(s[k]) || isAsciiDigit(s[k])))
        ++k;
    return k > start && k < n && s[k] == u';' ? k + 1 - i : 0;
}

struct Markup {
    QStringList tags; // "<b>", "</b>", "<br/>", names in lower case
    QStringList unclosed, unopened;
    bool rawAmpersand = false, rawLess = false;
};

Markup markupOf(QStringView s)
{
    Markup markup;
    QStringList open;
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (s[i] == u'&') {
            if (i + 1 < n && s[i + 1] == u'&')
                ++i; // a literal ampersand of a mnemonic text; not HTML either
            if (entityLength(s, i) == 0)
                markup.rawAmpersand = true;
            continue;
        }
        // "%<PRIdMAX>" is a placeholder, not a tag.
        if (s[i] != u'<' || (i > 0 && s[i - 1] == u'%'))
            continue;
        qsizetype k = i + 1;
        const bool closing = k < n && s[k] == u'/';
        if (closing)
            ++k;
        if (k < n && (s[k] == u'!' || s[k] == u'?') && !closing) {
            const qsizetype end = s.indexOf(u'>', k);
            if (end < 0)
                markup.rawLess = true;
            else
                i = end;
            continue;
        }
        const qsizetype nameStart = k;
        while (k < n && (isAsciiLetter(s[k]) || (k > nameStart && (isAsciiDigit(s[k]) || s[k] == u'-'))))
            ++k;
        qsizetype end = k;
        while (end < n && s[end] != u'>' && s[end] != u'<')
            ++end;
        if (k == nameStart || end >= n || s[end] != u'>' || (k < end && !s[k].isSpace() && s[k] != u'/')) {
            markup.rawLess = true;
            continue;
        }
        const QString name = s.mid(nameStart, k - nameStart).toString().toLower();
        const bool selfClosing = s[end - 1] == u'/';
        i = end;
        if (closing) {
            markup.tags.append(QStringLiteral("</") + name + QLatin1Char('>'));
            const qsizetype at = open.lastIndexOf(name);
            if (at < 0) {
                markup.unopened.append(QStringLiteral("</") + name + QLatin1Char('>'));
            } else {
                for (qsizetype j = open.size() - 1; j > at; --j)
                    markup.unclosed.append(QLatin1Char('<') + open[j] + QLatin1Char('>'));
                open.erase(open.begin() + at, open.end());
            }
        } else if (selfClosing || isVoidElement(name)) {
            markup.tags.append(QLatin1Char('<') + name + QStringLiteral("/>"));
        } else {
            markup.tags.append(QLatin1Char('<') + name + QLatin1Char('>'));
            open.append(name);
        }
    }
    for (const QString &name : open)
        markup.unclosed.append(QLatin1Char('<') + name + QLatin1Char('>'));
    return markup;
}

void checkMarkup(const CheckedText &text, const CheckedText *reference, QStringList &messages)
{
    const Markup mine = markupOf(text.translation);
    if (text.encodeHTML) {
        const auto html = std::find_if(mine.tags.begin(), mine.tags.end(), isHtmlElement);
        if (html != mine.tags.end())
            messages.append(QStringLiteral("Markup bei encodeHTML, der Export zeigt es als Text: ") + *html);
    } else {
        for (const QString &tag : mine.unclosed)
            messages.append(QStringLiteral("Tag nicht geschlossen: ") + tag);
        for (const QString &tag : mine.unopened)
            messages.append(QStringLiteral("Schließendes Tag ohne öffnendes: ") + tag);
        if (mine.rawAmpersand)
            messages.append(QStringLiteral("„&“ ohne Entity bricht das exportierte HTML"));
        if (mine.rawLess)
            messages.append(QStringLiteral("„<“ ohne Tag bricht das exportierte HTML"));
    }
    if (!reference)
        return;
    const Markup theirs = markupOf(reference->translation);
    for (const QString &tag : missingFrom(theirs.tags, mine.tags))
        messages.append(QStringLiteral("Tag fehlt: ") + tag);
    for (const QString &tag : missingFrom(mine.tags, theirs.tags))
        messages.append(QStringLiteral("Tag zu viel: ") + tag);
}

// ---- line breaks, whitespace, punctuation, accelerators ----------------------

qsizetype lineBreaksOf(QStringView s)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < s.size(); ++i)
        if (s[i] == u'\n' || (s[i] == u'\r' && (i + 1 == s.size() || s[i + 1] != u'\n')))
            ++count;
    return count;
}

void checkLinebreaks(const CheckedText &text, const CheckedText *reference, QStringList &messages)
{
    const qsizetype mine = lineBreaksOf(text.translation);
    if (reference) {
        const qsizetype theirs = lineBreaksOf(reference->translation);
        if (mine != theirs)
            messages.append(QStringLiteral("%1 Zeilenumbrüche, die Referenz hat %2").arg(mine).arg(theirs));
    }
    if (mine > 0 && !text.preserveLinebreaks)
        messages.append(QStringLiteral("Zeilenumbrüche ohne preserveLinebreaks, der Export macht Leerzeichen daraus"));
}

QStringView leadingSpace(QStringView s)
{
    qsizetype k = 0;
    while (k < s.size() && s[k].isSpace())
        ++k;
    return s.left(k);
}

QStringView trailingSpace(QStringView s)
{
    qsizetype k = s.size();
    while (k > 0 && s[k - 1].isSpace())
        --k;
    return s.mid(k);
}

QString shownSpace(QStringView space)
{
    if (space.isEmpty())
        return QStringLiteral("keiner");
    QString shown;
    for (QChar c : space)
        shown += c == u'\n' ? QStringLiteral("\\n")
            : c == u'\r'    ? QStringLiteral("\\r")
            : c == u'\t'    ? QStringLiteral("\\t")
                            : QStringLiteral("␣");
    return shown;
}

void checkWhitespace(const CheckedText &text, const CheckedText *reference, QStringList &messages)
{
    const QStringView s = text.translation;
    if (reference) {
        const QStringView r = reference->translation;
        if (leadingSpace(s) != leadingSpace(r))
            messages.append(QStringLiteral("Leerraum am Anfang: %1, die Referenz hat %2")
                                .arg(shownSpace(leadingSpace(s)), shownSpace(leadingSpace(r))));
        if (trailingSpace(s) != trailingSpace(r))
            messages.append(QStringLiteral("Leerraum am Ende: %1, die Referenz hat %2")
                                .arg(shownSpace(trailingSpace(s)), shownSpace(trailingSpace(r))));
    }
    const QStringView inner = s.trimmed();
    if (inner.contains(u"  ") && !(reference && QStringView(reference->translation).trimmed().contains(u"  ")))
        messages.append(QStringLiteral("Doppeltes Leerzeichen"));
}

enum class EndMark { None, Period, Colon, Exclamation, Question, Ellipsis };

EndMark endMarkOf(QStringView s, QString &shown)
{
    s = s.trimmed();
    if (s.endsWith(u"...") || s.endsWith(u"…") || s.endsWith(u"⋯")) {
        shown = s.endsWith(u"...") ? QStringLiteral("...") : s.right(1).toString();
        return EndMark::Ellipsis;
    }
    if (s.isEmpty())
        return EndMark::None;
    const QChar c = s.back();
    shown = c;
    if (QStringView(u".。．։۔।").contains(c))
        return EndMark::Period;
    if (QStringView(u":：︓").contains(c))
        return EndMark::Colon;
    if (QStringView(u"!！߹").contains(c))
        return EndMark::Exclamation;
    if (QStringView(u"?？؟;;՞").contains(c))
        return EndMark::Question;
    shown.clear();
    return EndMark::None;
}

void checkPunctuation(const CheckedText &text, const CheckedText *reference, QStringList &messages)
{
    QString mine, theirs;
    if (endMarkOf(text.translation, mine) == endMarkOf(reference->translation, theirs))
        return;
    messages.append(QStringLiteral("Satzzeichen am Ende: %1, die Referenz hat %2")
                        .arg(mine.isEmpty() ? QStringLiteral("keines") : quoted(mine),
                            theirs.isEmpty() ? QStringLiteral("keines") : quoted(theirs)));
}

qsizetype acceleratorsOf(QStringView s)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i + 1 < s.size(); ++i) {
        if (s[i] != u'&')
            continue;
        if (s[i + 1] == u'&') {
            ++i;
            continue;
        }
        if (entityLength(s, i) == 0 && !s[i + 1].isSpace())
            ++count;
    }
    return count;
}

void checkAccelerators(const CheckedText &text, const CheckedText *reference, QStringList &messages)
{
    const qsizetype mine = acceleratorsOf(text.translation);
    const qsizetype theirs = acceleratorsOf(reference->translation);
    if (mine != theirs)
        messages.append(QStringLiteral("%1 Tastenkürzel mit „&“, die Referenz hat %2").arg(mine).arg(theirs));
}

// ---- empty, same as the reference, repeated words ------------------------------

void checkEmpty(const CheckedText &text, const CheckedText *, QStringList &messages)
{
    if (text.translation.isEmpty())
        messages.append(QStringLiteral("Keine Übersetzung"));
}

void checkSameAsReference(const CheckedText &text, const CheckedText *reference, QStringList &messages)
{
    if (text.translation == reference->translation)
        messages.append(QStringLiteral("Übersetzung gleich der Referenz"));
}

void checkRepeatedWord(const CheckedText &text, const CheckedText *, QStringList &messages)
{
    const QStringView s = text.translation;
    QStringView previous;
    bool onlySpaceSince = false;
    qsizetype i = 0;
    while (i < s.size()) {
        if (!s[i].isLetter()) {
            // One blank or line break between the two; a column of blanks
            // (a usage text's "--date=DATUM    DATUM") is layout.
            const bool wordSpace
                = s[i].isSpace() && (i + 1 == s.size() || !s[i + 1].isSpace() || s.mid(i, 2) == u"\r\n");
            if (!wordSpace || (i > 0 && s[i - 1].isSpace() && !(s[i - 1] == u'\r' && s[i] == u'\n')))
                onlySpaceSince = false;
            ++i;
            continue;
        }
        qsizetype k = i;
        while (k < s.size() && (s[k].isLetterOrNumber() || s[k].isMark()))
            ++k;
        const QStringView word = s.mid(i, k - i);
        // "The the" is a repeat; "BYTES Bytes" is a name and a word.
        if (onlySpaceSince && !previous.isEmpty() && word.size() == previous.size()
            && word.left(1).compare(previous.left(1), Qt::CaseInsensitive) == 0 && word.mid(1) == previous.mid(1)) {
            messages.append(QStringLiteral("Wort doppelt: ")
                + quoted(s.mid(previous.data() - s.data(), k - (previous.data() - s.data()))));
            onlySpaceSince = false;
            previous = QStringView();
            i = k;
            continue;
        }
        previous = word;
        onlySpaceSince = true;
        i = k;
    }
}

// ---- the two key name checks as list checks ------------------------------------

void listDuplicates(const std::vector<QString> &names, std::vector<Finding> &findings)
{
    const CheckDefinition *self = findCheck(u"duplicates");
    for (size_t i = 1; i < names.size(); ++i)
        if (names[i] == names[i - 1])
            findings.push_back({names[i], self, duplicateCheckMessage(CheckResult{false, names[i]})});
}

void listSyntax(const std::vector<QString> &names, std::vector<Finding> &findings)
{
    const CheckDefinition *self = findCheck(u"syntax");
    for (const QString &name : names)
        if (hasForbiddenKeyCharacter(name))
            findings.push_back({name, self, syntaxCheckMessage(CheckResult{false, name})});
}

// Names equal but for letter case share one entry; each spelling is
// reported once, naming the others.
void listCaseVariants(const std::vector<QString> &names, std::vector<Finding> &findings)
{
    const CheckDefinition *self = findCheck(u"case-variants");
    for (size_t begin = 0, end; begin < names.size(); begin = end) {
        QStringList spellings{names[begin]};
        for (end = begin + 1; end < names.size() && namesEqual(names[end], names[begin]); ++end)
            if (!spellings.contains(names[end]))
                spellings.append(names[end]);
        if (spellings.size() < 2)
            continue;
        for (const QString &name : spellings) {
            QStringList others = spellings;
            others.removeOne(name);
            findings.push_back({name, self,
                QStringLiteral("Unterscheidet sich nur in der Groß-/Kleinschreibung von %1 und teilt sich Übersetzung, "
                               "Kommentar und Optionen damit")
                    .arg(quoted(others.join(QStringLiteral("“, „"))))});
        }
    }
}

const std::vector<CheckDefinition> &registry()
{
    static const std::vector<CheckDefinition> checks = [] {
        std::vector<CheckDefinition> all;
        all.push_back({"duplicates", QStringLiteral("Doppelte Schlüssel"), Severity::Error, false, {}, listDuplicates});
        all.push_back(
            {"syntax", QStringLiteral("Unerlaubte Zeichen im Schlüssel"), Severity::Error, false, {}, listSyntax});
        all.push_back(
            {"case-variants", QStringLiteral("Groß-/Kleinschreibung"), Severity::Warning, false, {}, listCaseVariants});
        all.push_back({"placeholders", QStringLiteral("Platzhalter"), Severity::Error, true, checkPlaceholders, {}});
        all.push_back({"markup", QStringLiteral("Markup"), Severity::Error, false, checkMarkup, {}});
        all.push_back({"linebreaks", QStringLiteral("Zeilenumbrüche"), Severity::Warning, false, checkLinebreaks, {}});
        all.push_back({"whitespace", QStringLiteral("Leerraum"), Severity::Warning, false, checkWhitespace, {}});
        all.push_back(
            {"punctuation", QStringLiteral("Satzzeichen am Ende"), Severity::Warning, true, checkPunctuation, {}});
        all.push_back({"accelerators", QStringLiteral("Tastenkürzel"), Severity::Warning, true, checkAccelerators, {}});
        all.push_back({"empty", QStringLiteral("Leere Übersetzung"), Severity::Warning, false, checkEmpty, {}});
        all.push_back({"same-as-reference", QStringLiteral("Gleich der Referenz"), Severity::Info, true,
            checkSameAsReference, {}});
        all.push_back(
            {"repeated-word", QStringLiteral("Wiederholtes Wort"), Severity::Warning, false, checkRepeatedWord, {}});
        return all;
    }();
    return checks;
}

} // namespace

QString severityTitle(Severity severity)
{
    switch (severity) {
    case Severity::Error: return QStringLiteral("Fehler");
    case Severity::Warning: return QStringLiteral("Warnung");
    case Severity::Info: break;
    }
    return QStringLiteral("Hinweis");
}

const char *severityId(Severity severity)
{
    switch (severity) {
    case Severity::Error: return "error";
    case Severity::Warning: return "warning";
    case Severity::Info: break;
    }
    return "info";
}

std::span<const CheckDefinition> checkRegistry()
{
    return registry();
}

const CheckDefinition *findCheck(QStringView id)
{
    for (const CheckDefinition &check : registry())
        if (id == QLatin1String(check.id))
            return &check;
    return nullptr;
}

} // namespace Wordloom
