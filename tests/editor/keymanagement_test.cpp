#include "editor/newkeydialog.h"

#include "../support/testutil.h"

#include <QLineEdit>

using namespace Wordloom;

namespace {

const QByteArray kPack = "<languagepack><content><key id='alpha' encodeHTML='1' preserveLinebreaks='1'><value>Erste</value><comment>Notiz A</comment></key>"
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
    // The listed keys, the shown key and its translation.
    QString state() const { return listedKeys().join(QLatin1Char(',')) + QLatin1Char('|') + shown(); }
    QString stored(const char *key) const { return window->pack().data().hashlistKeys.value(QLatin1String(key)); }
};

} // namespace

TEST_F(KeyManagementTest, AddingAKey)
{
    // Emptying the memos notifies nothing: Save stays off until Übernehmen.
    action("saveAction")->setEnabled(false);
    addKey(QStringLiteral("delta"));
    EXPECT_FALSE(window->newKeyDialog()->isVisible());
    EXPECT_FALSE(enabled("saveAction"));
    EXPECT_EQ(state() + keyList()->text(), QStringLiteral("alpha,beta,delta,gamma|||000delta"));
    EXPECT_TRUE(enabled("submitAction")) << "unchecking a checked box counts as a click";
    EXPECT_TRUE(window->pack().isModified());

    // "Abbrechen" adds nothing; an existing name in another case is refused and shown.
    action("newAction")->trigger();
    window->newKeyDialog()->Button2Click();
    addKey(QStringLiteral("BETA"));
    EXPECT_EQ(prompts.infos, QStringList{QStringLiteral("Schlüssel bereits vorhanden!")});
    EXPECT_EQ(state(), QStringLiteral("alpha,beta,delta,gamma|Zweite||000"));
}

TEST_F(KeyManagementTest, DroppingShowsTheEntryBeforeOrTheNewFirst)
{
    pickRow(1);
    for (const char *expected : {"alpha,gamma|Erste|Notiz A|110", "gamma|Dritte||000", "|||000"}) {
        action("dropAction")->trigger();
        EXPECT_EQ(state(), QLatin1String(expected));
    }
    EXPECT_EQ(keyList()->currentRow(), -1);
    EXPECT_TRUE(window->pack().isModified());

    // Renaming in an empty list adds the name with the memo's text.
    QTest::keyClicks(valueMemo(), QStringLiteral("Text"));
    renameTo(QStringLiteral("first"));
    EXPECT_EQ(stored("first"), QStringLiteral("Text"));
}

TEST_F(KeyManagementTest, Renaming)
{
    pickRow(1);
    renameTo(QStringLiteral("GAMMA")); // onto another key in any case is refused
    EXPECT_EQ(prompts.infos, QStringList{QStringLiteral("Schlüssel bereits vorhanden!")});
    EXPECT_FALSE(window->pack().isModified());
    renameTo(QStringLiteral("Beta")); // the same key in another case is fine
    EXPECT_EQ(state(), QStringLiteral("alpha,Beta,gamma|Zweite||000"));

    // The translation is the memo's, unsubmitted text included.
    pickRow(0);
    QTest::keyClicks(valueMemo(), QStringLiteral("neu: "));
    action("saveAction")->setEnabled(false);
    renameTo(QStringLiteral("omega"));
    EXPECT_EQ(state() + keyList()->text(), QStringLiteral("Beta,gamma,omega|neu: Erste|Notiz A|110omega"));
    EXPECT_EQ(stored("omega"), QStringLiteral("neu: Erste"));
    EXPECT_TRUE(enabled("saveAction"));
}
