#include "editor/keylistbox.h"
#include "editor/namelistview.h"

#include "../support/testutil.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

using namespace Wordloom;

namespace {

const QByteArray kPack =
    "<languagepack><content>"
    "<key id='zeta'><value>Größe ändern</value><comment>suchwort</comment></key>"
    "<key id='Alpha'><value>GRÖSSE und GRÖẞE</value></key>"
    "<key id='beta'><value>nichts</value></key>"
    "<key id='ändern'><value>Ελληνικά ΣΟΦΙΑ</value></key>"
    "<key id='empty'><value/></key>"
    "</content></languagepack>";

class SearchTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        load(writePack(QStringLiteral("de.xml"), kPack));
    }
    void search(const QString &text)
    {
        // Typing non-ASCII text is not possible with the test's key clicks.
        control<QLineEdit>("suchbegriff")->clear();
        control<QLineEdit>("suchbegriff")->setText(text);
    }
    QStringList results() const
    {
        QStringList names;
        const QAbstractItemModel *model = control<NameListView>("ergenbisse")->model();
        for (int row = 0; row < model->rowCount(); ++row)
            names << model->index(row, 0).data().toString();
        return names;
    }
    void pickResult(int row)
    {
        NameListView *view = control<NameListView>("ergenbisse");
        window->show();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, view->visualRect(view->model()->index(row, 0)).center());
    }
};

} // namespace

TEST_F(SearchTest, FindsStoredTranslationsIgnoringCaseInEveryScript)
{
    // Found names joined by commas; comments, key names and an empty text find nothing.
    const std::pair<const char *, const char *> cases[] = {{"GRÖ", "Alpha,zeta"}, {"größe", "Alpha,zeta"},
        {"σοφια", "ändern"}, {"suchwort", ""}, {"zeta", ""}, {"n", "Alpha,beta,zeta"}, {"", ""}};
    for (const auto &[text, found] : cases) {
        search(QString::fromUtf8(text));
        EXPECT_EQ(results().join(QLatin1Char(',')), QString::fromUtf8(found)) << text;
    }

    // Unsubmitted edits are not searched; submitted ones are.
    pickRow(1); // beta
    valueMemo()->insertPlainText(QStringLiteral("Größe "));
    search(QStringLiteral("größe"));
    EXPECT_EQ(results().size(), 2);
    action("submitAction")->trigger();
    search(QStringLiteral("größe"));
    EXPECT_EQ(results().size(), 3);
}

TEST_F(SearchTest, ManualModeAndChoosingAResult)
{
    QCheckBox *onType = control<QCheckBox>("searchOnType");
    click(onType);
    EXPECT_FALSE(onType->isChecked());
    EXPECT_TRUE(action("suchAction")->isEnabled());
    search(QStringLiteral("größe"));
    EXPECT_TRUE(results().isEmpty()) << "typing searches nothing in manual mode";
    action("suchAction")->trigger();
    EXPECT_EQ(results().size(), 2);
    control<QLineEdit>("suchbegriff")->setText(QStringLiteral("nichts"));
    EXPECT_EQ(results().size(), 2) << "results stay until the next search";
    click(onType);
    EXPECT_FALSE(action("suchAction")->isEnabled());
    EXPECT_EQ(results(), QStringList{QStringLiteral("beta")}) << "checking the box searches at once";

    // Choosing a result shows the key and discards unsubmitted edits.
    QTest::keyClicks(valueMemo(), QStringLiteral("lost"));
    pickResult(0);
    EXPECT_EQ(keyList()->text(), QStringLiteral("beta"));
    EXPECT_EQ(valueMemo()->toPlainText(), QStringLiteral("nichts"));

    // A dropped key stays in the results until the next search; choosing it
    // selects nothing and shows empty fields.
    action("dropAction")->trigger();
    EXPECT_EQ(results(), QStringList{QStringLiteral("beta")});
    pickRow(0);
    control<NameListView>("ergenbisse")->clearSelection();
    control<NameListView>("ergenbisse")->setCurrentIndex(QModelIndex());
    pickResult(0);
    EXPECT_EQ(keyList()->currentRow(), -1);
    EXPECT_EQ(keyList()->text(), QString());
    EXPECT_EQ(valueMemo()->toPlainText(), QString());
}

TEST_F(SearchTest, ChecksReportThroughTheInformationBox)
{
    action("doppelCheck")->trigger();
    action("syntaxCheck")->trigger();
    EXPECT_EQ(prompts.infos, (QStringList{QStringLiteral("Doppel-Check bestanden"), QStringLiteral("Syntax-Check nicht bestanden: ändern")}));
    prompts.infos.clear();
    load(writePack(QStringLiteral("dup.xml"), "<l><content><key id='a'><value>1</value></key><key id='a'><value>2</value></key>"
                                              "<key id=\"it's\"><value>3</value></key></content></l>"));
    action("doppelCheck")->trigger();
    action("syntaxCheck")->trigger();
    EXPECT_EQ(prompts.infos, (QStringList{QStringLiteral("Doppel-Check nicht bestanden: a"), QStringLiteral("Syntax-Check nicht bestanden: it's")}));
    EXPECT_FALSE(window->pack().isModified());

    // Without a pack nothing is found.
    action("closeAction")->trigger();
    search(QStringLiteral("e"));
    EXPECT_TRUE(results().isEmpty());
}
