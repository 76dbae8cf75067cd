#include "../support/testutil.h"

#include <functional>

using namespace Wordloom;

using StartupTest = EditorTest;

TEST_F(StartupTest, ActionStatesThroughAPacksLife)
{
    const char *const names[] = {"loadAction", "newFile", "saveAction", "saveasAction", "closeAction", "exitAction",
        "exportAction", "newAction", "dropAction", "renameAction", "renameKeyRequest", "submitAction", "resetAction",
        "suchAction", "changeSearchType", "toggleWW", "doppelCheck", "syntaxCheck", "aboutAction", "nextAction", "prevAction"};
    const QString file = writePack(QStringLiteral("de.xml"), "<languagepack><content><key id='a'><value>A</value></key></content></languagepack>");
    const auto run = [this](const char *name) { return [this, name] { action(name)->trigger(); }; };
    const struct {
        const char *step;
        std::function<void()> run;
        const char *enabled; // one digit per action above
    } steps[] = {
        // load new save saveas close exit, export, + - o renameKeyRequest, submit reset, such type, ww checks info next prev
        {"start-up", [] {}, "110001 0 0001 00 01 011111"},
        {"load", [&] { load(file); }, "111111 1 1111 00 01 111111"}, // the first key's text turns Save on
        {"edit", [&] { QTest::keyClicks(valueMemo(), QStringLiteral("x")); }, "111111 1 1111 11 01 111111"},
        {"take over", run("submitAction"), "111111 1 1111 00 01 111111"},
        {"save", run("saveAction"), "110111 1 1111 00 01 111111"},
        {"comment edit", [&] { QTest::keyClicks(commentMemo(), QStringLiteral("c")); }, "110111 1 1111 11 01 111111"},
        {"Verwerfen", run("resetAction"), "110111 1 1111 00 01 111111"},
        {"option click", [&] { click(control<QCheckBox>("unixCheckBox")); }, "110111 1 1111 11 01 111111"},
        {"Verwerfen", run("resetAction"), "110111 1 1111 00 01 111111"},
        {"close", run("closeAction"), "110001 0 0001 00 01 011111"},
        {"new", run("newFile"), "111111 1 1111 00 01 111111"},
        {"manual search", [&] { click(control<QCheckBox>("searchOnType")); }, "111111 1 1111 00 11 111111"},
    };
    // Buttons and boxes follow their action's state.
    const std::pair<const char *, const char *> bound[] = {{"buttonNew", "newAction"}, {"buttonDrop", "dropAction"},
        {"buttonRename", "renameAction"}, {"checkWW", "toggleWW"}, {"buttonReset", "resetAction"},
        {"buttonSubmit", "submitAction"}, {"buttonDoppelCheck", "doppelCheck"}, {"buttonSyntaxCheck", "syntaxCheck"},
        {"buttonExport", "exportAction"}, {"buttonSuchen", "suchAction"}, {"searchOnType", "changeSearchType"}};
    for (const auto &step : steps) {
        SCOPED_TRACE(step.step);
        step.run();
        const QString expected = QString::fromLatin1(step.enabled).remove(QLatin1Char(' '));
        QStringList wrong;
        for (int i = 0; i < 21; ++i)
            if (enabled(names[i]) != (expected[i] == QLatin1Char('1')))
                wrong << QLatin1String(names[i]);
        for (const auto &[widget, name] : bound)
            if (control<QAbstractButton>(widget)->isEnabled() != enabled(name))
                wrong << QLatin1String(widget);
        EXPECT_EQ(wrong, QStringList());
    }
    EXPECT_EQ(prompts.questions, QStringList()) << "nothing was unsaved when it mattered";
}

TEST_F(StartupTest, WordWrapTurnsOnAndOffInTheTranslationOnly)
{
    action("newFile")->trigger();
    for (bool wrap : {false, true}) {
        click(control<QCheckBox>("checkWW"));
        EXPECT_EQ(action("toggleWW")->isChecked(), wrap);
        EXPECT_EQ(valueMemo()->lineWrapMode(), wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
        EXPECT_EQ(commentMemo()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    }
}
