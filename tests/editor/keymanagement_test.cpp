#include "editor/keylistbox.h"
#include "editor/newkeydialog.h"

#include "../support/testutil.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace Wordloom;

namespace {

const QByteArray kPack =
    "<languagepack name='app' lang='de' version='1.0.0' date='d' project='demo'><content>"
    "<key id='alpha' encodeHTML='1' preserveLinebreaks='1' unixNewline='0'><value>Erste</value><comment>Notiz A</comment></key>"
    "<key id='beta'><value>Zweite</value></key>"
    "<key id='gamma'><value>Dritte</value></key>"
    "</content></languagepack>";

class KeyManagementTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        load(writePack(QStringLiteral("de.xml"), kPack));
    }
    void renameTo(const QString &name)
    {
        action("renameAction")->trigger();
        NewKeyDialog *dialog = window->renameKeyDialog();
        EXPECT_EQ(dialog->keyName(), keyList()->text());
        dialog->newkey()->selectAll();
        QTest::keyClick(dialog->newkey(), Qt::Key_Delete);
        QTest::keyClicks(dialog->newkey(), name);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("Button1")), Qt::LeftButton);
    }
    const KeyData &data() const { return window->pack().data(); }
};

} // namespace

TEST_F(KeyManagementTest, AddingAKey)
{
    NewKeyDialog *dialog = window->newKeyDialog();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Schlüssel anlegen"));
    EXPECT_FALSE(dialog->isModal());
    click(control<QCheckBox>("htmlCheckbox")); // now off for alpha
    click(control<QCheckBox>("unixCheckBox")); // now on

    addKey(QStringLiteral("delta"));
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(listedKeys(), (QStringList{QStringLiteral("alpha"), QStringLiteral("beta"), QStringLiteral("delta"), QStringLiteral("gamma")}));
    EXPECT_EQ(keyList()->text(), QStringLiteral("delta"));
    EXPECT_EQ(keyList()->currentRow(), 2);
    EXPECT_EQ(valueMemo()->toPlainText(), QString());
    EXPECT_EQ(commentMemo()->toPlainText(), QString());
    EXPECT_FALSE(control<QCheckBox>("breakCheckbox")->isChecked());
    EXPECT_FALSE(control<QCheckBox>("unixCheckBox")->isChecked());
    EXPECT_TRUE(action("submitAction")->isEnabled()) << "unchecking a checked box counts as a click";
    EXPECT_FALSE(data().hashlistKeys.contains(QStringLiteral("delta"))) << "no data until Übernehmen";
    EXPECT_TRUE(window->pack().isModified());

    // The dialog offers the last name again, selected.
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

TEST_F(KeyManagementTest, DroppingKeys)
{
    pickRow(1); // beta
    action("dropAction")->trigger();
    EXPECT_EQ(listedKeys(), (QStringList{QStringLiteral("alpha"), QStringLiteral("gamma")}));
    EXPECT_EQ(keyList()->text(), QStringLiteral("alpha")) << "the entry before the dropped one";
    EXPECT_EQ(valueMemo()->toPlainText(), QStringLiteral("Erste"));
    EXPECT_FALSE(data().hashlistKeys.contains(QStringLiteral("beta")));
    EXPECT_TRUE(window->pack().isModified());
    EXPECT_EQ(window->statusText(), QStringLiteral("Übersetzung geladen (de.xml)"));

    action("dropAction")->trigger(); // the first entry
    EXPECT_EQ(keyList()->text(), QStringLiteral("gamma"));

    action("dropAction")->trigger(); // the only entry
    EXPECT_TRUE(listedKeys().isEmpty());
    EXPECT_EQ(keyList()->currentRow(), -1);
    EXPECT_EQ(keyList()->text(), QString());

    // Renaming in an empty list adds the name with the memo's text.
    QTest::keyClicks(valueMemo(), QStringLiteral("Text"));
    renameTo(QStringLiteral("first"));
    EXPECT_EQ(listedKeys(), QStringList{QStringLiteral("first")});
    EXPECT_EQ(data().hashlistKeys.value(QStringLiteral("first")), QStringLiteral("Text"));

    // A dropped name added again starts without data.
    addKey(QStringLiteral("alpha"));
    EXPECT_EQ(commentMemo()->toPlainText(), QString());
    EXPECT_FALSE(control<QCheckBox>("htmlCheckbox")->isChecked());
}

TEST_F(KeyManagementTest, Renaming)
{
    // Onto another key in any case is refused.
    pickRow(1); // beta
    renameTo(QStringLiteral("GAMMA"));
    EXPECT_EQ(prompts.infos, QStringList{QStringLiteral("Schlüssel bereits vorhanden!")});
    EXPECT_EQ(listedKeys(), (QStringList{QStringLiteral("alpha"), QStringLiteral("beta"), QStringLiteral("gamma")}));
    EXPECT_FALSE(window->pack().isModified());

    // The same key in another letter case is fine.
    renameTo(QStringLiteral("Beta"));
    EXPECT_EQ(listedKeys(), (QStringList{QStringLiteral("alpha"), QStringLiteral("Beta"), QStringLiteral("gamma")}));
    EXPECT_EQ(data().hashlistKeys.nameAt(data().hashlistKeys.count() - 1), QStringLiteral("Beta"));
    EXPECT_EQ(data().hashlistKeys.value(QStringLiteral("beta")), QStringLiteral("Zweite"));
    EXPECT_EQ(prompts.infos.size(), 1);

    // A rename carries all of the key's data.
    pickRow(0); // alpha
    QTest::keyClicks(valueMemo(), QStringLiteral("neu: "));
    renameTo(QStringLiteral("omega"));
    EXPECT_EQ(listedKeys(), (QStringList{QStringLiteral("Beta"), QStringLiteral("gamma"), QStringLiteral("omega")}));
    EXPECT_EQ(keyList()->text(), QStringLiteral("omega"));
    EXPECT_EQ(keyList()->currentRow(), 2);
    // The translation is the memo's, unsubmitted text included; the document
    // tests cover the other lists.
    EXPECT_EQ(data().hashlistKeys.value(QStringLiteral("omega")), QStringLiteral("neu: Erste"));
    EXPECT_EQ(window->statusText(), QStringLiteral("Key/Value geändert (de.xml nicht gespeichert)"));
    EXPECT_TRUE(action("saveAction")->isEnabled());
    EXPECT_TRUE(window->pack().isModified());

    // Shown again under the new name, everything is there.
    pickRow(0);
    pickRow(2);
    EXPECT_EQ(commentMemo()->toPlainText(), QStringLiteral("Notiz A"));
    EXPECT_TRUE(control<QCheckBox>("htmlCheckbox")->isChecked());
}
