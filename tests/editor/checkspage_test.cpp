#include "../support/testutil.h"

#include "editor/checkspage.h"
#include "editor/findingsmodel.h"

#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeView>

using namespace Wordloom;

namespace {

const QByteArray kSource = "<languagepack name='app' lang='en'><content>"
                           "<key id='copied'><value>%d files copied</value></key>"
                           "<key id='open'><value>Open</value></key>"
                           "<key id='save'><value>Save</value></key>"
                           "</content></languagepack>";

const QByteArray kTranslation = "<languagepack name='app' lang='de'><content>"
                                "<key id='copied'><value>Dateien kopiert</value></key>"
                                "<key id='Open'><value>Öffnen</value></key>"
                                "<key id='open'><value>Öffnen</value></key>"
                                "<key id='save'><value>Save</value></key>"
                                "<key id='extra'><value>the the end</value></key>"
                                "</content></languagepack>";

class ChecksPageTest : public EditorTest {
protected:
    ChecksPage *page() const { return control<ChecksPage>("TabSheet1"); }
    QTreeView *view() const { return page()->findingsView(); }
    QStringList rows() const
    {
        QStringList shown;
        for (const Finding &f : page()->findings().findings())
            shown.append(f.key + u'|' + QLatin1String(f.check->id));
        return shown;
    }
    void press(QPushButton *button)
    {
        ASSERT_TRUE(button->isEnabled()) << button->objectName().toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
    }
    void clickFinding(const QString &row)
    {
        const int at = int(rows().indexOf(row));
        ASSERT_GE(at, 0) << row.toStdString();
        const QModelIndex index = view()->model()->index(at, 1);
        view()->scrollTo(index);
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, Qt::NoModifier, view()->visualRect(index).center());
    }
};

} // namespace

TEST_F(ChecksPageTest, AllChecksFindingsShowTheKeyAndFollowEditsAndDismissals)
{
    const QString de = loadPack(kTranslation);
    EXPECT_TRUE(prompts.infos.isEmpty()) << "no box about letter case on load";
    EXPECT_EQ(window->statusText(),
        QStringLiteral("2 Schlüssel unterscheiden sich nur in der Groß-/Kleinschreibung: siehe „Checks“"));
    prompts.openPaths.push_back(writePack(QStringLiteral("en.xml"), kSource));
    action("openReferenceAction")->trigger();
    window->show();
    control<QTabWidget>("PageControl1")->setCurrentWidget(page());

    // What each action leaves in the list; the reference's checks run only
    // while it is open.
    const QStringList all{u"Open|case-variants"_s, u"open|case-variants"_s, u"copied|placeholders"_s,
        u"extra|repeated-word"_s, u"save|same-as-reference"_s};
    press(page()->checkAllButton());
    EXPECT_EQ(rows(), all);
    typeKey(QStringLiteral("sa"));
    EXPECT_EQ(rows(), all) << "a name half typed is no key with findings";

    clickFinding(u"open|case-variants"_s);
    EXPECT_EQ(keyList()->text(), u"open"_s) << "the finding's spelling, not its case twin";
    clickFinding(u"copied|placeholders"_s);
    EXPECT_EQ(keyList()->text(), QStringLiteral("copied"));
    EXPECT_TRUE(page()->keyLine()->isVisible());
    EXPECT_EQ(page()->keyLine()->text(), QStringLiteral("Fehler: Platzhalter fehlt: %d"));

    valueMemo()->setPlainText(QStringLiteral("%d Dateien kopiert"));
    action("submitAction")->trigger();
    EXPECT_EQ(rows(), QStringList({all[0], all[1], all[3], all[4]})) << "the fixed finding is gone";
    EXPECT_FALSE(page()->keyLine()->isVisible());
    window->undoActionExecute();
    EXPECT_EQ(rows(), all) << "and back with the undo";
    window->redoActionExecute();

    clickFinding(u"save|same-as-reference"_s);
    press(page()->dismissButton());
    EXPECT_EQ(rows(), QStringList({all[0], all[1], all[3]}));
    EXPECT_TRUE(readBytes(Dismissals::pathBeside(de)).startsWith("same-as-reference\tsave\t"));

    // Loading again forgets the unsaved fix; the dismissal stays.
    prompts.unsavedAnswers.push_back(UnsavedAnswer::No);
    load(de);
    EXPECT_TRUE(rows().isEmpty());
    press(page()->checkAllButton());
    EXPECT_EQ(rows(), QStringList({all[0], all[1], all[2], all[3]}));
    action("closeReferenceAction")->trigger();
    press(page()->checkAllButton());
    EXPECT_EQ(rows(), QStringList({all[0], all[1], all[3]}));
    EXPECT_TRUE(prompts.infos.isEmpty());
}
