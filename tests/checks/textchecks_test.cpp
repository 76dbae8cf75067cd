#include "checks/checkregistry.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <optional>

using namespace Wordloom;
using namespace Qt::StringLiterals;

namespace {

struct Case {
    const char16_t *translation;
    const char16_t *reference; // nullptr: no reference
    std::vector<const char *> messages;
    bool encodeHTML = false;
    bool preserveLinebreaks = true;
};

QStringList messagesOf(const char *id, const Case &row)
{
    const CheckDefinition *check = findCheck(QString::fromLatin1(id));
    std::vector<Finding> findings;
    const CheckedText text{QStringView(row.translation).toString(), row.encodeHTML, row.preserveLinebreaks};
    std::optional<CheckedText> reference;
    if (row.reference)
        reference = CheckedText{QStringView(row.reference).toString(), false, true};
    const CheckDefinition *const checks[] = {check};
    checkKey(QStringLiteral("k"), text, reference ? &*reference : nullptr, checks, findings);
    QStringList messages;
    for (const Finding &finding : findings) {
        EXPECT_EQ(finding.check, check);
        messages.append(finding.message);
    }
    return messages;
}

void runTable(const char *id, std::initializer_list<Case> table)
{
    for (const Case &row : table) {
        SCOPED_TRACE(QStringView(row.translation).toString().toStdString());
        QStringList expected;
        for (const char *message : row.messages)
            expected << QString::fromUtf8(message);
        EXPECT_EQ(messagesOf(id, row), expected);
    }
}

} // namespace

TEST(CheckRegistry, IdsTitlesSeveritiesInOrder)
{
    QStringList ids;
    for (const CheckDefinition &check : checkRegistry()) {
        ids.append(QLatin1String(check.id));
        EXPECT_FALSE(check.title.isEmpty());
        EXPECT_NE(bool(check.textCheck), bool(check.listCheck)) << check.id;
    }
    EXPECT_EQ(ids.join(u','),
        QStringLiteral("duplicates,syntax,case-variants,placeholders,markup,linebreaks,whitespace,"
                       "punctuation,accelerators,empty,same-as-reference,repeated-word"));
    EXPECT_EQ(findCheck(u"same-as-reference")->severity, Severity::Info);
    EXPECT_TRUE(findCheck(u"placeholders")->needsReference);
    EXPECT_EQ(findCheck(u"nope"), nullptr);
}

TEST(CheckRegistry, KeyNameChecksKeepTheirMessagesAndCaseVariantsAreFindings)
{
    const std::vector<QString> names{u"a"_s, u"a"_s, u"B"_s, u"b"_s, u"b"_s, u"it's"_s, u"it's"_s, u"X"_s, u"x"_s,
        u"x"_s};
    const CheckDefinition *const checks[]
        = {findCheck(u"duplicates"), findCheck(u"syntax"), findCheck(u"case-variants")};
    KeyData data;
    const std::vector<Finding> findings = checkPack({&names, &data}, nullptr, checks);
    QStringList shown;
    for (const Finding &f : findings)
        shown.append(f.key + u'|' + f.message);
    const QString variant = u"|Unterscheidet sich nur in der Groß-/Kleinschreibung von „%1“ und teilt sich "
                            "Übersetzung, Kommentar und Optionen damit"_s;
    EXPECT_EQ(shown,
        QStringList({u"a|Doppel-Check nicht bestanden: a"_s, u"b|Doppel-Check nicht bestanden: b"_s,
            u"it's|Doppel-Check nicht bestanden: it's"_s, u"x|Doppel-Check nicht bestanden: x"_s,
            u"it's|Syntax-Check nicht bestanden: it's"_s, u"it's|Syntax-Check nicht bestanden: it's"_s,
            u"B"_s + variant.arg(u"b"_s), u"b"_s + variant.arg(u"B"_s), u"X"_s + variant.arg(u"x"_s),
            u"x"_s + variant.arg(u"X"_s)}));
}

TEST(TextChecks, Placeholders)
{
    runTable("placeholders",
        {
            {u"%d Dateien kopiert", u"%d files copied", {}},
            // Planted: dropped, added, and %% taken for a placeholder.
            {u"Dateien kopiert", u"%d files copied", {"Platzhalter fehlt: %d"}},
            {u"%s: %d Dateien", u"%d files", {"Platzhalter zu viel: %s"}},
            {u"100%% von %s", u"100%% of %s", {}},
            {u"Nutze %%s für Text", u"Use %%s for text", {}},
            {u"Nutze %s für Text", u"Use %%s for text", {"Platzhalter zu viel: %s"}},
            {u"%-*s und %5.2f, %lu", u"%-*s and %5.2f, %lu", {}},
            {u"مقاس مخصّص %Id", u"Custom Size %d", {}},
            {u"%.2f", u"%5.2f", {"Platzhalter fehlt: %5.2f", "Platzhalter zu viel: %.2f"}},
            // Order counts without positions, not with them.
            {u"%d von %s", u"%s of %d", {"Platzhalter in anderer Reihenfolge: %d %s"}},
            {u"%2$d von %1$s", u"%1$s of %2$d", {}},
            {u"%2$s von %1$s", u"%1$s of %2$d", {"Platzhalter fehlt: %d", "Platzhalter zu viel: %s"}},
            {u"%2 von %1, %L3", u"%1 of %2, %L3", {}},
            {u"%1 von %1", u"%1 of %2", {"Platzhalter fehlt: %2", "Platzhalter zu viel: %1"}},
            {u"{name} hat {0} Nachrichten", u"{0} messages for {name}", {}},
            {u"{nam} {{wörtlich}}", u"{name} {{literal}}", {"Platzhalter fehlt: {name}", "Platzhalter zu viel: {nam}"}},
            {u"50 % der Dateien", u"50 % of the files", {}},
            {u"ein abgeschnittener Datensatz", u"%<PRIdMAX> truncated record", {"Platzhalter fehlt: %<PRIdMAX>"}},
            {u"kein Platzhalter", nullptr, {}},
        });
}

TEST(TextChecks, Markup)
{
    runTable("markup",
        {
            {u"<b>fett</b> und <br>neu", u"<b>bold</b> and <br>new", {}},
            {u"<b>fett und <i>kursiv</i>", u"<b>bold</b> and <i>it</i>",
                {"Tag nicht geschlossen: <b>", "Tag fehlt: </b>"}},
            {u"fett</b>", u"bold", {"Schließendes Tag ohne öffnendes: </b>", "Tag zu viel: </b>"}},
            {u"A &amp; B &#38; &#x26;", u"A &amp; B", {}},
            {u"A & B", u"A &amp; B", {"„&“ ohne Entity bricht das exportierte HTML"}},
            {u"a < b", u"a &lt; b", {"„<“ ohne Tag bricht das exportierte HTML"}},
            {u"<b>fett</b>", u"<b>bold</b>", {"Markup bei encodeHTML, der Export zeigt es als Text: <b>"}, true},
            {u"A & B < C", nullptr, {}, true},
            {u"Aufruf: sed <Datei>", nullptr, {}, true},
            {u"<!-- note --> Text", nullptr, {}},
        });
}

TEST(TextChecks, LinebreaksWhitespacePunctuation)
{
    runTable("linebreaks",
        {
            {u"eins\r\nzwei", u"one\r\ntwo", {}},
            {u"eins zwei", u"one\ntwo", {"0 Zeilenumbrüche, die Referenz hat 1"}},
            {u"eins\nzwei", nullptr, {"Zeilenumbrüche ohne preserveLinebreaks, der Export macht Leerzeichen daraus"},
                false, false},
        });
    runTable("whitespace",
        {
            {u" Name: ", u" Name: ", {}},
            {u"Name:", u"Name: ", {"Leerraum am Ende: keiner, die Referenz hat ␣"}},
            {u"\tName", u"Name", {"Leerraum am Anfang: \\t, die Referenz hat keiner"}},
            {u"zwei  Leer", u"two blanks", {"Doppeltes Leerzeichen"}},
            {u"zwei  Leer", u"two  blanks", {}},
        });
    runTable("punctuation",
        {
            {u"Datei:", u"File:", {}},
            {u"Datei", u"File:", {"Satzzeichen am Ende: keines, die Referenz hat „:“"}},
            {u"Speichern …", u"Save...", {}},
            {u"保存しますか？", u"Save?", {}},
            {u"ファイル。", u"File.", {}},
            {u"هل تريد الحفظ؟", u"Save?", {}},
            {u"Fertig!", u"Done.", {"Satzzeichen am Ende: „!“, die Referenz hat „.“"}},
            {u"Fertig", nullptr, {}},
        });
}

TEST(TextChecks, AcceleratorsEmptySameRepeated)
{
    runTable("accelerators",
        {
            {u"&Datei", u"&File", {}},
            {u"Datei", u"&File", {"0 Tastenkürzel mit „&“, die Referenz hat 1"}},
            {u"Laden && &Speichern", u"Load && &Save", {}},
            {u"&Laden && &Speichern", u"Load && &Save", {"2 Tastenkürzel mit „&“, die Referenz hat 1"}},
            {u"A &amp; B", u"A &amp; B", {}},
        });
    runTable("empty", {{u"", u"File", {"Keine Übersetzung"}}, {u"Datei", nullptr, {}}});
    runTable("same-as-reference",
        {{u"OK", u"OK", {"Übersetzung gleich der Referenz"}}, {u"Datei", u"File", {}}, {u"OK", nullptr, {}}});
    runTable("repeated-word",
        {
            {u"the the file", nullptr, {"Wort doppelt: „the the“"}},
            {u"Die die Datei", nullptr, {"Wort doppelt: „Die die“"}},
            {u"die, die Datei", nullptr, {}},
            {u"BYTES Bytes lesen", nullptr, {}},
            {u"the\r\nthe file", nullptr, {"Wort doppelt: „the\r\nthe“"}},
            {u"--date=DATUM       DATUM lesen", nullptr, {}},
            {u"bye-bye", nullptr, {}},
            {u"ab abc", nullptr, {}},
        });
}

TEST(TextChecks, PackWithReferenceRunsOnlyWhereTheReferenceHasText)
{
    KeyData mine, theirs;
    const std::vector<QString> names{u"a"_s, u"b"_s, u"c"_s};
    mine.hashlistKeys.setValue(u"a"_s, u"Hallo"_s);
    mine.hashlistKeys.setValue(u"b"_s, u"%d Stück"_s);
    theirs.hashlistKeys.setValue(u"a"_s, u"Hallo"_s);
    theirs.hashlistKeys.setValue(u"c"_s, u"%s pieces"_s);
    std::vector<const CheckDefinition *> all;
    for (const CheckDefinition &check : checkRegistry())
        all.push_back(&check);
    const CheckedPack reference{&names, &theirs};
    QStringList shown;
    for (const Finding &f : checkPack({&names, &mine}, &reference, all))
        shown.append(f.key + u'|' + QLatin1String(f.check->id));
    EXPECT_EQ(shown, QStringList({u"a|same-as-reference"_s, u"c|empty"_s}));
}
