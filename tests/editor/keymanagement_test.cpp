#include "editor/newkeydialog.h"

#include "../support/testutil.h"

#include <QLineEdit>

using namespace Wordloom;

namespace {

const QByteArray kPack =
    "<languagepack name='app' lang='de' version='1.0.0' date='d' project='demo'><content>"
    "<key id='alpha' encodeHTML='1' preserveLinebreaks='1'><value>Erste</value><comment>Notiz A</comment></key>"
    "<key id='beta'><value>Zweite</value></key><key id='gamma'><value>Dritte</value></key>"
    "</content></languagepack>";

class KeyManagementTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        loadPack(kPack);
    }
    void renameTo(const QString &name)
    {
        action("renameAction")->trigger();
        NewKeyDialog *dialog = window->renameKeyDialog();
        EXPECT_EQ(dialog->keyName(), keyList()->text());
        dialog->newkey()->selectAll();
        QTest::keyClicks(dialog->newkey(), name);
        QTest::mouseClick(dialog->findChild<QAbstractButton *>(QStringLiteral("Button1")), Qt::LeftButton);
    }
    QString keys() const { return listedKeys().join(QLatin1Char(',')); }
    QString stored(const char *key) const { return window->pack().data().hashlistKeys.value(QLatin1String(key)); }
};

} // namespace

TEST_F(KeyManagementTest, AddingAKey)
{
    NewKeyDialog *dialog = window->newKeyDialog();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Schlüssel anlegen"));
    EXPECT_FALSE(dialog->isModal());
    // Emptying the memos notifies nothing: Save and the status stay.
    action("saveAction")->setEnabled(false);
    const QString status = window->statusText();
    addKey(QStringLiteral("delta"));
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(enabled("saveAction"));
    EXPECT_EQ(window->statusText(), status);
    EXPECT_EQ(keys(), QStringLiteral("alpha,beta,delta,gamma"));
    EXPECT_EQ(keyList()->text(), QStringLiteral("delta"));
    EXPECT_EQ(keyList()->currentRow(), 2);
    EXPECT_EQ(valueMemo()->toPlainText(), QString());
    EXPECT_EQ(commentMemo()->toPlainText(), QString());
    EXPECT_FALSE(control<QCheckBox>("htmlCheckbox")->isChecked());
    EXPECT_TRUE(enabled("submitAction")) << "unchecking a checked box counts as a click";
    EXPECT_FALSE(window->pack().data().hashlistHTML.contains(QStringLiteral("delta"))) << "no data until Übernehmen";
    EXPECT_TRUE(window->pack().isModified());

    // The dialog offers the last name again, selected; "Abbrechen" adds nothing.
    action("newAction")->trigger();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->newkey()->selectedText(), QStringLiteral("delta"));
    dialog->Button2Click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(listedKeys().size(), 4);

    // An existing name in another case is refused and shown.
    addKey(QStringLiteral("BETA"));
    EXPECT_EQ(prompts.infos, QStringList{QStringLiteral("Schlüssel bereits vorhanden!")});
    EXPECT_EQ(keyList()->text(), QStringLiteral("beta"));
    EXPECT_EQ(valueMemo()->toPlainText(), QStringLiteral("Zweite"));
    EXPECT_EQ(listedKeys().size(), 4);

    // An empty name becomes an empty entry, which saving skips.
    addKey(QString());
    EXPECT_EQ(listedKeys().first(), QString());
}

TEST_F(KeyManagementTest, DroppingShowsTheEntryBeforeOrTheNewFirst)
{
    pickRow(1);
    const struct {
        const char *keys, *shown;
    } drops[] = {{"alpha,gamma", "alpha"}, {"gamma", "gamma"}, {"", ""}};
    for (const auto &drop : drops) {
        action("dropAction")->trigger();
        EXPECT_EQ(keys(), QLatin1String(drop.keys));
        EXPECT_EQ(keyList()->text(), QLatin1String(drop.shown));
        EXPECT_EQ(valueMemo()->toPlainText(), stored(drop.shown));
        EXPECT_EQ(window->statusText(), QStringLiteral("Übersetzung geladen (de.xml)"));
    }
    EXPECT_EQ(keyList()->currentRow(), -1);
    EXPECT_TRUE(window->pack().isModified());
    EXPECT_EQ(stored("beta"), QString());

    // Renaming in an empty list adds the name with the memo's text.
    QTest::keyClicks(valueMemo(), QStringLiteral("Text"));
    renameTo(QStringLiteral("first"));
    EXPECT_EQ(keys(), QStringLiteral("first"));
    EXPECT_EQ(stored("first"), QStringLiteral("Text"));
}

TEST_F(KeyManagementTest, Renaming)
{
    // Onto another key in any case is refused.
    pickRow(1);
    renameTo(QStringLiteral("GAMMA"));
    EXPECT_EQ(prompts.infos, QStringList{QStringLiteral("Schlüssel bereits vorhanden!")});
    EXPECT_EQ(keys(), QStringLiteral("alpha,beta,gamma"));
    EXPECT_FALSE(window->pack().isModified());

    // The same key in another letter case is fine.
    renameTo(QStringLiteral("Beta"));
    EXPECT_EQ(keys(), QStringLiteral("alpha,Beta,gamma"));
    EXPECT_EQ(stored("beta"), QStringLiteral("Zweite"));

    // The translation is the memo's, unsubmitted text included; the document
    // tests cover the other lists.
    pickRow(0);
    QTest::keyClicks(valueMemo(), QStringLiteral("neu: "));
    action("saveAction")->setEnabled(false);
    renameTo(QStringLiteral("omega"));
    EXPECT_EQ(keys(), QStringLiteral("Beta,gamma,omega"));
    EXPECT_EQ(keyList()->text(), QStringLiteral("omega"));
    EXPECT_EQ(keyList()->currentRow(), 2);
    EXPECT_EQ(stored("omega"), QStringLiteral("neu: Erste"));
    EXPECT_EQ(window->statusText(), QStringLiteral("Key/Value geändert (de.xml nicht gespeichert)"));
    EXPECT_TRUE(enabled("saveAction"));
    EXPECT_TRUE(window->pack().isModified());
}
