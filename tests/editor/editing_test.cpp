#include "../support/testutil.h"

#include <QMenuBar>
#include <QTabWidget>
#include <functional>

using namespace Wordloom;

namespace {

const QByteArray kPack
    = "<languagepack name='app' lang='de' version='1.0.3' date='d' project='demo'><info>i</info><content>"
      "<key id='beta' encodeHTML='1' preserveLinebreaks='x' unixNewline='1'><value>Zweite&#13;&#10;Zeile</value>"
      "<comment>Notiz</comment></key>"
      "<key id='alpha'><value>Erste&#13;&#10;zwei</value></key>"
      "<key id='gamma'><value>Erste&#13;&#10;zwei</value></key>"
      "<key id='empty'><value/></key>"
      "<key id='two'><value>&#13;&#10;&#13;&#10;</value></key>"
      "</content></languagepack>";

// Rows in sorted order.
enum Row { Alpha, Beta, Empty, Gamma, Two };

// The listed keys, the current key, what the key editor shows and the
// project's grid value.
struct State {
    QStringList keys;
    QString key;
    ShownEntry entry;
    QString project = QStringLiteral("demo");
    bool operator==(const State &) const = default;
};

void PrintTo(const State &state, std::ostream *out)
{
    *out << "{keys: " << state.keys.join(u',').toStdString() << ", key: " << state.key.toStdString() << ", entry: ";
    PrintTo(state.entry, out);
    *out << ", project: " << state.project.toStdString() << '}';
}

class EditingTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        loadPack(kPack);
    }
    const KeyData &data() const { return window->pack().data(); }
    // The three stored options of a key, as in "010".
    QString options(const QString &key) const
    {
        return data().hashlistHTML.value(key) + data().hashlistBreaks.value(key) + data().hashlistLinebreaks.value(key);
    }
    void submit() { action("submitAction")->trigger(); }
    void renameTo(const QString &name)
    {
        action("renameAction")->trigger();
        NewKeyDialog *dialog = window->renameKeyDialog();
        EXPECT_EQ(dialog->keyName(), keyList()->text());
        dialog->newkey()->selectAll();
        QTest::keyClicks(dialog->newkey(), name);
        QTest::mouseClick(dialog->findChild<QAbstractButton *>(QStringLiteral("Button1")), Qt::LeftButton);
    }
    State state() const { return {listedKeys(), keyList()->text(), shown(), gridValue(0)}; }
};

} // namespace

TEST_F(EditingTest, ShowingAKeyNotifiesOnlyRealChangesAndLineBreaksAreStoredAsCrLf)
{
    pickRow(Beta); // only an option of exactly "1" is on
    EXPECT_EQ(shown(), (ShownEntry{u"Zweite\nZeile"_s, u"Notiz"_s, u"101"_s}));

    // A key whose translation equals the memo's leaves Save as it was; a different one turns it on.
    pickRow(Alpha);
    action("saveAction")->trigger(); // Save off
    pickRow(Gamma);
    EXPECT_FALSE(enabled("saveAction"));
    pickRow(Empty);
    EXPECT_TRUE(enabled("saveAction"));
    EXPECT_FALSE(window->pack().isModified()) << "showing keys changes no flag";

    const struct {
        Row row;
        const char *shown, *stored; // stored after typing "!" at the end
    } cases[] = {{Beta, "Zweite\nZeile", "Zweite\r\nZeile!"}, {Two, "\n\n", "\r\n\r\n!"}};
    for (const auto &row : cases) {
        SCOPED_TRACE(row.shown);
        pickRow(row.row);
        EXPECT_EQ(valueMemo()->toPlainText(), QString::fromLatin1(row.shown));
        QTest::keyClick(valueMemo(), Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(valueMemo(), QStringLiteral("!"));
        submit();
        EXPECT_EQ(data().hashlistKeys.value(keyList()->text()), QString::fromLatin1(row.stored));
    }
    QTest::keyClicks(commentMemo(), QStringLiteral("x"));
    QTest::keyClick(commentMemo(), Qt::Key_Return);
    submit();
    EXPECT_EQ(data().hashlistComments.value(QStringLiteral("two")), QStringLiteral("x\r\n"));
}

TEST_F(EditingTest, VerwerfenRestoresTheTextsAndGridEditsAreUnsavedWork)
{
    QTest::keyClicks(commentMemo(), QStringLiteral("c"));
    QTest::keyClicks(valueMemo(), QStringLiteral("!"));
    click(control<QCheckBox>("htmlCheckbox"));
    action("resetAction")->trigger();
    EXPECT_EQ(shown(), (ShownEntry{u"Erste\nzwei"_s, u""_s, u"100"_s})) << "an option stays toggled";
    EXPECT_FALSE(window->pack().isModified());

    action("saveAction")->trigger(); // Save off
    setGridValue(0, QStringLiteral("other"));
    EXPECT_TRUE(window->pack().isModified());
    EXPECT_TRUE(enabled("saveAction"));
}

TEST_F(EditingTest, TakingOverStoresTheEditorUnderTheNameInTheField)
{
    // Each box is stored by itself, on and off again.
    const std::pair<const char *, const char *> boxes[]
        = {{"htmlCheckbox", "100"}, {"breakCheckbox", "010"}, {"unixCheckBox", "001"}};
    for (const auto &[name, stored] : boxes) {
        for (const char *expected : {stored, "000"}) {
            click(control<QCheckBox>(name));
            submit();
            EXPECT_EQ(options(QStringLiteral("alpha")), QLatin1String(expected)) << name;
        }
    }
    EXPECT_FALSE(data().hashlistComments.contains(QStringLiteral("alpha")));

    // An odd stored option shows off and is stored as "0"; emptying the
    // translation removes it while the key stays listed.
    pickRow(Beta);
    QTest::keyClicks(commentMemo(), QStringLiteral("+"));
    valueMemo()->clear();
    submit();
    EXPECT_EQ(options(QStringLiteral("beta")), QStringLiteral("101"));
    EXPECT_EQ(data().hashlistComments.value(QStringLiteral("beta")), QStringLiteral("+Notiz"));
    EXPECT_FALSE(data().hashlistKeys.contains(QStringLiteral("beta")));
    EXPECT_EQ(listedKeys().value(Beta), QStringLiteral("beta"));

    // A typed name in another case shows the entry; taking over stores that spelling.
    typeKey(QStringLiteral("GAMMA"));
    EXPECT_EQ(keyList()->currentRow(), int(Gamma));
    QTest::keyClicks(valueMemo(), QStringLiteral("?"));
    submit();
    const std::vector<qint32> hits = data().hashlistKeys.linesContaining(QStringLiteral("?"));
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(data().hashlistKeys.lineName(hits[0]), QStringLiteral("GAMMA"));

    // A typed name that is not listed joins the list, so it is saved.
    typeKey(QStringLiteral("unlisted"));
    EXPECT_EQ(keyList()->currentRow(), -1);
    QTest::keyClicks(valueMemo(), QStringLiteral("loose"));
    submit();
    EXPECT_EQ(data().hashlistKeys.value(QStringLiteral("unlisted")), QStringLiteral("loose"));
    EXPECT_EQ(listedKeys().value(keyList()->currentRow()), QStringLiteral("unlisted"));
}

TEST_F(EditingTest, AddingAKey)
{
    // Emptying the memos notifies nothing: Save stays off until Übernehmen.
    pickRow(Beta);
    action("saveAction")->trigger(); // Save off
    addKey(QStringLiteral("delta"));
    EXPECT_FALSE(window->newKeyDialog()->isVisible());
    EXPECT_FALSE(enabled("saveAction"));
    const QStringList withDelta = {u"alpha"_s, u"beta"_s, u"delta"_s, u"empty"_s, u"gamma"_s, u"two"_s};
    EXPECT_EQ(state(), (State{withDelta, u"delta"_s, {u""_s, u""_s, u"000"_s}}));
    EXPECT_TRUE(enabled("submitAction")) << "unchecking a checked box counts as a click";
    EXPECT_TRUE(window->pack().isModified());

    // "Abbrechen" adds nothing; an existing name in another case is refused and shown.
    action("newAction")->trigger();
    window->newKeyDialog()->Button2Click();
    addKey(QStringLiteral("BETA"));
    EXPECT_EQ(prompts.infos, QStringList{QStringLiteral("Schlüssel bereits vorhanden!")});
    EXPECT_EQ(state(), (State{withDelta, u"beta"_s, {u"Zweite\nZeile"_s, u"Notiz"_s, u"101"_s}}));
}

TEST_F(EditingTest, DroppingShowsTheEntryBeforeOrTheNewFirst)
{
    pickRow(Beta);
    const State left[]
        = {{{u"alpha"_s, u"empty"_s, u"gamma"_s, u"two"_s}, u"alpha"_s, {u"Erste\nzwei"_s, u""_s, u"000"_s}},
            {{u"empty"_s, u"gamma"_s, u"two"_s}, u"empty"_s, {u""_s, u""_s, u"000"_s}},
            {{u"gamma"_s, u"two"_s}, u"gamma"_s, {u"Erste\nzwei"_s, u""_s, u"000"_s}},
            {{u"two"_s}, u"two"_s, {u"\n\n"_s, u""_s, u"000"_s}}, {{}, u""_s, {u""_s, u""_s, u"000"_s}}};
    for (const State &expected : left) {
        action("dropAction")->trigger();
        EXPECT_EQ(state(), expected);
    }
    EXPECT_EQ(keyList()->currentRow(), -1);
    EXPECT_TRUE(window->pack().isModified());

    // Renaming in an empty list adds the name with the memo's text.
    QTest::keyClicks(valueMemo(), QStringLiteral("Text"));
    renameTo(QStringLiteral("first"));
    EXPECT_EQ(data().hashlistKeys.value(QStringLiteral("first")), QStringLiteral("Text"));
}

TEST_F(EditingTest, RenamingCarriesCommentAndOptions)
{
    pickRow(Beta);
    renameTo(QStringLiteral("GAMMA")); // onto another key in any case is refused
    EXPECT_EQ(prompts.infos, QStringList{QStringLiteral("Schlüssel bereits vorhanden!")});
    EXPECT_FALSE(window->pack().isModified());
    renameTo(QStringLiteral("Beta")); // the same key in another case is fine
    EXPECT_EQ(state(),
        (State{{u"alpha"_s, u"Beta"_s, u"empty"_s, u"gamma"_s, u"two"_s}, u"Beta"_s,
            {u"Zweite\nZeile"_s, u"Notiz"_s, u"101"_s}}));

    // The translation is the memo's, unsubmitted text included.
    QTest::keyClicks(valueMemo(), QStringLiteral("neu: "));
    renameTo(QStringLiteral("omega"));
    EXPECT_EQ(state(),
        (State{{u"alpha"_s, u"empty"_s, u"gamma"_s, u"omega"_s, u"two"_s}, u"omega"_s,
            {u"neu: Zweite\nZeile"_s, u"Notiz"_s, u"101"_s}}));
    EXPECT_EQ(data().hashlistKeys.value(QStringLiteral("omega")), QStringLiteral("neu: Zweite\r\nZeile"));
    EXPECT_EQ(options(QStringLiteral("omega")), QStringLiteral("1x1"));
    EXPECT_TRUE(enabled("saveAction"));
}

TEST_F(EditingTest, UndoAndRedoAcrossKeysFromTheEditMenu)
{
    QStringList menus;
    for (const QAction *menu : window->menuBar()->actions())
        menus << menu->text();
    EXPECT_EQ(menus, QStringList({u"&Languagepack"_s, u"&Bearbeiten"_s, u"&Hilfe"_s}));
    QAction *undo = action("undoAction");
    QAction *redo = action("redoAction");
    EXPECT_EQ(undo->shortcuts(), QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Z"))});
    EXPECT_EQ(redo->shortcuts(),
        QList<QKeySequence>({QKeySequence(QStringLiteral("Ctrl+Shift+Z")), QKeySequence(QStringLiteral("Ctrl+Y"))}));
    const auto texts = [&] {
        return QStringList({undo->isEnabled() ? undo->text() : u"-"_s, redo->isEnabled() ? redo->text() : u"-"_s});
    };
    EXPECT_EQ(texts(), QStringList({u"-"_s, u"-"_s}));
    const State loaded = state();
    activate();

    QTest::keyClicks(valueMemo(), QStringLiteral("!"));
    submit();
    const ShownEntry changed = shown();
    pickRow(Beta);
    action("dropAction")->trigger();
    setGridValue(0, QStringLiteral("other"));
    EXPECT_EQ(texts(), QStringList({u"Rückgängig: „Projekt“ ändern"_s, u"-"_s}));
    const State after = state();

    // Each undo shows what it changed; undoing all is the pack as loaded.
    const auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(keyList()->view(), key, modifiers);
        State now = state();
        now.keys.clear();
        return now;
    };
    EXPECT_EQ(press(Qt::Key_Z, Qt::ControlModifier), (State{{}, u"alpha"_s, changed}));
    EXPECT_EQ(texts(), QStringList({u"Rückgängig: Schlüssel „beta“ löschen"_s, u"Wiederholen: „Projekt“ ändern"_s}));
    EXPECT_EQ(press(Qt::Key_Z, Qt::ControlModifier),
        (State{{}, u"beta"_s, {u"Zweite\nZeile"_s, u"Notiz"_s, u"101"_s}}));
    EXPECT_EQ(press(Qt::Key_Z, Qt::ControlModifier), (State{{}, u"alpha"_s, {u"Erste\nzwei"_s, u""_s, u"000"_s}}));
    EXPECT_EQ(state(), loaded);
    EXPECT_FALSE(window->pack().isModified()) << "back at the state as loaded";
    EXPECT_EQ(texts(), QStringList({u"-"_s, u"Wiederholen: Übersetzung von „alpha“"_s}));
    for (int i = 0; i < 3; ++i)
        press(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(state(), after);
    EXPECT_TRUE(window->pack().isModified());

    // Typing of its own in a memo is undone there first.
    const int steps = window->pack().history().index();
    QTest::keyClicks(commentMemo(), QStringLiteral("xy"));
    QTest::keyClick(commentMemo(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(commentMemo()->toPlainText(), QString());
    EXPECT_EQ(window->pack().history().index(), steps);
    EXPECT_FALSE(redo->isEnabled()) << "the memo's own undo, not a step's";
}

using StartupTest = EditorTest;

TEST_F(StartupTest, ActionStatesThroughAPacksLife)
{
    const char *const names[]
        = {"loadAction", "newFile", "saveAction", "saveasAction", "closeAction", "exitAction", "exportAction",
            "newAction", "dropAction", "renameAction", "renameKeyRequest", "submitAction", "resetAction", "suchAction",
            "changeSearchType", "toggleWW", "doppelCheck", "syntaxCheck", "aboutAction", "nextAction", "prevAction"};
    const QString file = writePack(QStringLiteral("de.xml"),
        "<languagepack><content><key id='a'><value>A</value></key></content></languagepack>");
    const auto run = [this](const char *name) { return [this, name] { action(name)->trigger(); }; };
    const struct {
        const char *step;
        std::function<void()> run;
        const char *enabled; // one digit per action above
    } steps[] = {
        // load new save saveas close exit, export, + - o renameKeyRequest, submit reset, such type, ww checks info next
        // prev
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
    // Word wrap goes off in the translation only.
    click(control<QCheckBox>("checkWW"));
    EXPECT_EQ(valueMemo()->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(commentMemo()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
}

TEST_F(StartupTest, TheInfoGridShowsAllFiveRowsAtTheDefaultSize)
{
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    control<QTabWidget>("PageControl1")->setCurrentIndex(2);
    QCoreApplication::processEvents();
    const QRect last = grid()->visualItemRect(grid()->item(4, 1));
    EXPECT_FALSE(last.isEmpty());
    EXPECT_LE(last.bottom(), grid()->viewport()->height());
    EXPECT_GE(control<QWidget>("Panel_Unten")->height(), 142);
    // The key buttons and the word-wrap box show their actions' hints.
    const std::pair<const char *, const char *> tips[]
        = {{"buttonNew", "Schlüssel hinzufügen (Strg+A)"}, {"buttonDrop", "Schlüssel löschen"},
            {"buttonRename", "Schlüssel umbenennen"}, {"checkWW", "Wordwrap ein-/ausschalten"}};
    for (const auto &[name, tip] : tips)
        EXPECT_EQ(control<QWidget>(name)->toolTip(), QString::fromUtf8(tip)) << name;
}
