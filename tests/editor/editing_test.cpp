#include "editor/keylistbox.h"

#include "../support/testutil.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QTest>

using namespace Wordloom;

namespace {

const QByteArray kPack =
    "<languagepack name='app' lang='de' version='1.0.3' date='d' project='demo'><info>i</info><content>"
    "<key id='beta' encodeHTML='1' preserveLinebreaks='x' unixNewline='1'><value>Zweite&#13;&#10;Zeile</value>"
    "<comment>Notiz</comment></key>"
    "<key id='alpha'><value>Erste</value></key>"
    "<key id='gamma'><value>Erste</value></key>"
    "<key id='empty'><value/></key>"
    "</content></languagepack>";

class EditingTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        load(writePack(QStringLiteral("de.xml"), kPack));
    }
    QCheckBox *box(const char *name) const { return control<QCheckBox>(name); }
    bool enabled(const char *name) const { return action(name)->isEnabled(); }
};

} // namespace

TEST_F(EditingTest, ShowingAKeyFillsTheEditorAndRunsTheChangeRules)
{
    // The first key in sorted order is shown after loading.
    EXPECT_EQ(keyList()->text(), QStringLiteral("alpha"));
    EXPECT_EQ(valueMemo()->toPlainText(), QStringLiteral("Erste"));
    EXPECT_TRUE(enabled("saveAction")) << "the shown translation differs from the empty memo";
    EXPECT_FALSE(enabled("submitAction"));
    EXPECT_FALSE(enabled("resetAction"));
    EXPECT_EQ(window->statusText(), QStringLiteral("Languagepack geladen: de.xml"));

    pickRow(1); // beta
    EXPECT_EQ(keyList()->text(), QStringLiteral("beta"));
    EXPECT_EQ(valueMemo()->toPlainText(), QStringLiteral("Zweite\nZeile"));
    EXPECT_EQ(commentMemo()->toPlainText(), QStringLiteral("Notiz"));
    EXPECT_TRUE(box("htmlCheckbox")->isChecked());
    EXPECT_FALSE(box("breakCheckbox")->isChecked()) << "only exactly \"1\" is on";
    EXPECT_TRUE(box("unixCheckBox")->isChecked());
    EXPECT_FALSE(enabled("submitAction"));
    EXPECT_EQ(window->statusText(), QStringLiteral("Übersetzung geladen (de.xml)"));

    // Showing a key whose translation equals the memo leaves Save as it was.
    pickRow(0); // alpha
    action("saveAction")->setEnabled(false);
    pickRow(3); // gamma, same text
    EXPECT_FALSE(enabled("saveAction"));
    pickRow(2); // empty: memo changes, Save comes on
    EXPECT_TRUE(enabled("saveAction"));
    EXPECT_EQ(valueMemo()->toPlainText(), QString());
    EXPECT_FALSE(window->pack().isModified()) << "showing keys changes no flag";
}

TEST_F(EditingTest, EditsEnableTheirActionsAndReportInTheStatusLine)
{
    action("saveAction")->setEnabled(false);
    QTest::keyClicks(commentMemo(), QStringLiteral("c"));
    EXPECT_TRUE(enabled("submitAction"));
    EXPECT_TRUE(enabled("resetAction"));
    EXPECT_FALSE(enabled("saveAction")) << "a comment edit leaves Save alone";
    EXPECT_EQ(window->statusText(), QStringLiteral("Kommentar geändert (nicht gespeichert: de.xml)"));

    QTest::keyClicks(valueMemo(), QStringLiteral("!"));
    EXPECT_TRUE(enabled("saveAction"));
    EXPECT_EQ(window->statusText(), QStringLiteral("Übersetzung geändert (nicht gespeichert: de.xml)"));

    // "Verwerfen" after both: the comment's message stays, the memos are restored.
    action("resetAction")->trigger();
    EXPECT_EQ(valueMemo()->toPlainText(), QStringLiteral("Erste"));
    EXPECT_EQ(commentMemo()->toPlainText(), QString());
    EXPECT_EQ(window->statusText(), QStringLiteral("Kommentar geändert (nicht gespeichert: de.xml)"));
    EXPECT_FALSE(enabled("submitAction"));
    EXPECT_FALSE(enabled("resetAction"));

    // An option click alone: "Verwerfen" keeps the box toggled and the status.
    const QString status = window->statusText();
    click(box("htmlCheckbox"));
    EXPECT_TRUE(enabled("submitAction"));
    EXPECT_EQ(window->statusText(), status);
    action("resetAction")->trigger();
    EXPECT_TRUE(box("htmlCheckbox")->isChecked());
    EXPECT_FALSE(enabled("submitAction"));
    EXPECT_EQ(window->statusText(), status);
    EXPECT_FALSE(window->pack().isModified());

    // Editing the info grid is unsaved work like any other.
    action("saveAction")->setEnabled(false);
    setGridValue(0, QStringLiteral("other"));
    EXPECT_TRUE(window->pack().isModified());
    EXPECT_TRUE(enabled("saveAction"));
}

TEST_F(EditingTest, SubmitStoresTheEditorUnderTheNameInTheField)
{
    const KeyData &data = window->pack().data();
    QTest::keyClick(valueMemo(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(valueMemo(), Qt::Key_Return);
    QTest::keyClicks(valueMemo(), QStringLiteral("neu"));
    click(box("breakCheckbox"));
    action("submitAction")->trigger();
    EXPECT_EQ(data.hashlistKeys.value(QStringLiteral("alpha")), QStringLiteral("Erste\r\nneu"));
    EXPECT_EQ((QStringList{data.hashlistHTML.value(QStringLiteral("alpha")), data.hashlistBreaks.value(QStringLiteral("alpha")),
                  data.hashlistLinebreaks.value(QStringLiteral("alpha"))}),
        (QStringList{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("0")}));
    EXPECT_FALSE(data.hashlistComments.contains(QStringLiteral("alpha")));
    EXPECT_TRUE(window->pack().isModified());
    EXPECT_FALSE(window->pack().isSaved());
    EXPECT_TRUE(enabled("saveAction"));
    EXPECT_TRUE(enabled("saveasAction"));
    EXPECT_FALSE(enabled("submitAction"));
    EXPECT_EQ(window->statusText(), QStringLiteral("Änderungen übernommen (nicht gespeichert: de.xml)"));

    // An odd stored option shows off and is stored as "0" on the next submit.
    pickRow(1);
    QTest::keyClicks(commentMemo(), QStringLiteral("+"));
    action("submitAction")->trigger();
    EXPECT_EQ(data.hashlistBreaks.value(QStringLiteral("beta")), QStringLiteral("0"));

    // Emptying the translation removes its line; the key stays listed.
    valueMemo()->selectAll();
    QTest::keyClick(valueMemo(), Qt::Key_Delete);
    action("submitAction")->trigger();
    EXPECT_FALSE(data.hashlistKeys.contains(QStringLiteral("beta")));
    EXPECT_TRUE(listedKeys().contains(QStringLiteral("beta")));

    // A typed name in another case shows the entry; submit stores that spelling.
    typeKey(QStringLiteral("GAMMA"));
    EXPECT_EQ(valueMemo()->toPlainText(), QStringLiteral("Erste"));
    EXPECT_EQ(keyList()->currentRow(), 3);
    QTest::keyClicks(valueMemo(), QStringLiteral("?"));
    action("submitAction")->trigger();
    EXPECT_EQ(data.hashlistKeys.nameAt(data.hashlistKeys.count() - 1), QStringLiteral("GAMMA"));
    EXPECT_TRUE(listedKeys().contains(QStringLiteral("gamma")));

    // A typed name that is not listed joins the list, so what is stored under
    // it is saved.
    typeKey(QStringLiteral("unlisted"));
    EXPECT_EQ(keyList()->currentRow(), -1);
    QTest::keyClicks(valueMemo(), QStringLiteral("loose"));
    action("submitAction")->trigger();
    EXPECT_EQ(data.hashlistKeys.value(QStringLiteral("unlisted")), QStringLiteral("loose"));
    EXPECT_EQ(keyList()->currentRow(), int(window->pack().keys().find(QStringLiteral("unlisted"))));
    EXPECT_GE(keyList()->currentRow(), 0);
}
