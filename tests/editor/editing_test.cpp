#include "../support/testutil.h"

using namespace Wordloom;

namespace {

const QByteArray kPack =
    "<languagepack name='app' lang='de' version='1.0.3' date='d' project='demo'><info>i</info><content>"
    "<key id='beta' encodeHTML='1' preserveLinebreaks='x' unixNewline='1'><value>Zweite&#13;&#10;Zeile</value>"
    "<comment>Notiz</comment></key>"
    "<key id='alpha'><value>Erste&#13;&#10;zwei</value></key>"
    "<key id='gamma'><value>Erste&#13;&#10;zwei</value></key>"
    "<key id='empty'><value/></key>"
    "<key id='cr'><value>1&#13;2</value></key>"
    "<key id='lf'><value>1\n2</value></key>"
    "<key id='two'><value>&#13;&#10;&#13;&#10;</value></key>"
    "</content></languagepack>";

// Rows in sorted order.
enum Row { Alpha, Beta, Cr, Empty, Gamma, Lf, Two };

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
};

} // namespace

TEST_F(EditingTest, ShowingAKeyNotifiesOnlyRealChangesAndLineBreaksAreStoredAsCrLf)
{
    pickRow(Beta); // only an option of exactly "1" is on
    EXPECT_EQ(shown(), QStringLiteral("Zweite\nZeile|Notiz|101"));

    // A key whose translation equals the memo's leaves Save as it was; a different one turns it on.
    pickRow(Alpha);
    action("saveAction")->setEnabled(false);
    pickRow(Gamma);
    EXPECT_FALSE(enabled("saveAction"));
    pickRow(Empty);
    EXPECT_TRUE(enabled("saveAction"));
    EXPECT_FALSE(window->pack().isModified()) << "showing keys changes no flag";

    const struct {
        Row row;
        const char *shown, *stored; // stored after typing "!" at the end
    } cases[] = {{Beta, "Zweite\nZeile", "Zweite\r\nZeile!"}, {Cr, "1\n2", "1\r\n2!"}, {Lf, "1\n2", "1\r\n2!"},
        {Two, "\n\n", "\r\n\r\n!"}};
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
    EXPECT_EQ(shown(), QStringLiteral("Erste\nzwei||100")) << "an option stays toggled";
    EXPECT_FALSE(window->pack().isModified());

    action("saveAction")->setEnabled(false);
    setGridValue(0, QStringLiteral("other"));
    EXPECT_TRUE(window->pack().isModified());
    EXPECT_TRUE(enabled("saveAction"));
}

TEST_F(EditingTest, TakingOverStoresTheEditorUnderTheNameInTheField)
{
    // Each box is stored by itself, on and off again.
    const std::pair<const char *, const char *> boxes[] = {
        {"htmlCheckbox", "100"}, {"breakCheckbox", "010"}, {"unixCheckBox", "001"}};
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
