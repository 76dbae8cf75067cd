#include "editor/aboutbox.h"
#include "editor/keylistbox.h"
#include "editor/newkeydialog.h"

#include "../support/testutil.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTextDocument>

using namespace Wordloom;

using StartupTest = EditorTest;

TEST_F(StartupTest, ActionTableAtStartUp)
{
    // Every action's enabled state at start-up.
    for (const char *name : {"loadAction", "newFile", "exitAction", "renameKeyRequest", "changeSearchType", "doppelCheck",
             "syntaxCheck", "aboutAction", "nextAction", "prevAction"})
        EXPECT_TRUE(action(name)->isEnabled()) << name;
    for (const char *name : {"saveAction", "saveasAction", "closeAction", "exportAction", "newAction", "dropAction",
             "renameAction", "submitAction", "resetAction", "suchAction", "toggleWW"})
        EXPECT_FALSE(action(name)->isEnabled()) << name;
    const std::pair<const char *, const char *> shortcuts[] = {{"loadAction", "Ctrl+L"}, {"newFile", "Ctrl+N"},
        {"saveAction", "Ctrl+S"}, {"closeAction", "Ctrl+W"}, {"exitAction", "Ctrl+Q"}, {"newAction", "Ctrl+A"},
        {"nextAction", "Ctrl+Down"}, {"prevAction", "Ctrl+Up"}, {"saveasAction", ""}, {"dropAction", ""}};
    for (const auto &[name, keys] : shortcuts)
        EXPECT_EQ(action(name)->shortcut(), QKeySequence(QString::fromUtf8(keys))) << name;
    // Captions and hints with misspellings or umlauts, kept as they are.
    const struct {
        const char *name, *caption, *hint;
    } texts[] = {
        {"loadAction", "Languagepack laden", "Läd ein existierendes Languagepack"},
        {"closeAction", "Schleßen", "Schließt das aktuelle Languagepack"},
        {"submitAction", "Übernehmen", "Änderungen übernehmen"},
        {"resetAction", "Verwerfen", "Änderungen verwerfen"},
        {"changeSearchType", "beim Tippen suchen", "Bereeits beim Eintippen des Textes suchen"},
        {"toggleWW", "", "Wordwrap ein-/ausschalten"},
    };
    for (const auto &row : texts) {
        EXPECT_EQ(action(row.name)->text(), QString::fromUtf8(row.caption)) << row.name;
        EXPECT_EQ(action(row.name)->toolTip(), QString::fromUtf8(row.hint)) << row.name;
    }
    EXPECT_TRUE(action("toggleWW")->isChecked());
    EXPECT_TRUE(action("changeSearchType")->isChecked());
    EXPECT_TRUE(window->pack().isSaved());
    EXPECT_FALSE(window->pack().isModified());
    EXPECT_EQ(window->pack().fileName(), QString());
    EXPECT_EQ(window->statusText(), QString());

    // Buttons follow their actions.
    for (const auto &[name, on] : {std::pair{"buttonNew", false}, std::pair{"buttonSubmit", false}, std::pair{"buttonSuchen", false},
             std::pair{"buttonDoppelCheck", true}, std::pair{"checkWW", false}, std::pair{"searchOnType", true}, std::pair{"suchbegriff", true}})
        EXPECT_EQ(control<QWidget>(name)->isEnabled(), on) << name;
    EXPECT_EQ(control<QPushButton>("buttonSubmit")->text(), QStringLiteral("Übernehmen"));
}

TEST_F(StartupTest, WindowLayoutMenusAndTabs)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Wordloom"));
    EXPECT_EQ(window->size(), QSize(669, 651));
    EXPECT_EQ(window->minimumSize(), QSize(658, 460));
    EXPECT_EQ(window->pos(), QPoint(0, 0));
    EXPECT_EQ(window->font().pixelSize(), 11);
    EXPECT_EQ(valueMemo()->font().pixelSize(), 13);
    EXPECT_TRUE(QFontInfo(valueMemo()->font()).fixedPitch());

    auto *pages = control<QTabWidget>("PageControl1");
    QStringList tabs;
    for (int i = 0; i < pages->count(); ++i)
        tabs << pages->tabText(i);
    EXPECT_EQ(tabs, QStringLiteral("Checks,Export,Languagepack,Suchen").split(QLatin1Char(',')));
    EXPECT_EQ(pages->currentWidget()->objectName(), QStringLiteral("TabSheet5"));
    EXPECT_EQ(pages->tabPosition(), QTabWidget::South);

    auto *grid = control<QTableWidget>("lpInfoblock");
    ASSERT_EQ(grid->rowCount(), 5);
    const char *const rows[] = {"Projekt", "Name", "Sprache", "Version", "letzte Änderung"};
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(grid->item(row, 0)->text(), QString::fromUtf8(rows[row]));
        EXPECT_FALSE(grid->item(row, 0)->flags() & Qt::ItemIsEditable);
        EXPECT_TRUE(grid->item(row, 1)->flags() & Qt::ItemIsEditable);
        EXPECT_EQ(grid->item(row, 1)->text(), QString());
    }
    EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), QStringLiteral("Option"));
    EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), QStringLiteral("Wert"));

    const QList<QAction *> menus = window->menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), QStringLiteral("&Languagepack"));
    QStringList entries;
    for (QAction *entry : menus[0]->menu()->actions())
        entries << (entry->isSeparator() ? QStringLiteral("|") : entry->text());
    EXPECT_EQ(entries, (QStringList{QStringLiteral("Languagepack laden"), QStringLiteral("Neues Languagepack"),
                           QStringLiteral("Speichern"), QStringLiteral("Speichern als"), QStringLiteral("Schleßen"),
                           QStringLiteral("|"), QStringLiteral("Beenden")}));
    EXPECT_EQ(menus[1]->text(), QStringLiteral("&Hilfe"));
    EXPECT_EQ(menus[1]->menu()->actions().value(0)->text(), QStringLiteral("Info"));

    // Tool tips only where they belong.
    EXPECT_EQ(keyList()->toolTip(), QStringLiteral("Zu übersetzende Schlüsselwörter"));
    EXPECT_EQ(control<QPushButton>("buttonReset")->toolTip(), QStringLiteral("Änderungen für dieses Schlüsselwort verwerfen"));
    // Shown as it stands, "<BR>" included.
    QTextDocument shown;
    shown.setHtml(control<QCheckBox>("breakCheckbox")->toolTip());
    EXPECT_TRUE(shown.toPlainText().endsWith(QStringLiteral("alle Umbrüche in <BR>'s konvertiert.")));
    for (const char *name : {"buttonNew", "buttonDoppelCheck", "buttonSuchen"})
        EXPECT_EQ(control<QWidget>(name)->toolTip(), QString()) << name;

    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_EQ(control<QWidget>("Panel_Links")->width(), 190);
    EXPECT_EQ(control<QWidget>("Panel_Comment")->height(), 104);
    EXPECT_EQ(control<QWidget>("Panel_Unten")->height(), 142);
    EXPECT_EQ(control<QWidget>("Panel_Options")->width(), 190);
    EXPECT_EQ(control<QLabel>("statusBar")->height(), 25);
    EXPECT_EQ(control<QPushButton>("buttonNew")->size(), QSize(49, 17));
    EXPECT_EQ(control<QPushButton>("buttonSubmit")->size(), QSize(115, 25));
    // A picture of the window for a person to look at.
    const QString picture = QCoreApplication::applicationDirPath() + QStringLiteral("/mainwindow.png");
    EXPECT_TRUE(window->grab().save(picture));
}

TEST_F(StartupTest, WordWrapTouchesOnlyTheTranslation)
{
    action("newFile")->trigger();
    auto *box = control<QCheckBox>("checkWW");
    EXPECT_EQ(valueMemo()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    click(box);
    EXPECT_FALSE(action("toggleWW")->isChecked());
    EXPECT_EQ(valueMemo()->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(valueMemo()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(commentMemo()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    click(box);
    EXPECT_EQ(valueMemo()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(valueMemo()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST_F(StartupTest, AboutBoxIsReused)
{
    action("aboutAction")->trigger();
    AboutBox *box = window->aboutBox();
    EXPECT_TRUE(box->isVisible());
    EXPECT_FALSE(box->isModal());
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Info über Wordloom"));
    ASSERT_NE(box->findChild<QLabel *>(QStringLiteral("Version")), nullptr);
    EXPECT_EQ(box->findChild<QLabel *>(QStringLiteral("Version"))->text(), QStringLiteral("Version 1.3"));
    QTest::mouseClick(box->findChild<QPushButton *>(QStringLiteral("OKButton")), Qt::LeftButton);
    EXPECT_FALSE(box->isVisible());
    action("aboutAction")->trigger();
    EXPECT_EQ(window->aboutBox(), box);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(window->findChildren<AboutBox *>().size(), 1);
}

TEST_F(StartupTest, ShortcutsReachTheWindowBeforeTheFocusedMemo)
{
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

    // Without a pack Ctrl+A is the memo's own: the add-key action is disabled.
    valueMemo()->setFocus();
    QTest::keyClicks(valueMemo(), QStringLiteral("abc"));
    QTest::keyClick(valueMemo(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_FALSE(window->newKeyDialog()->isVisible());
    EXPECT_EQ(valueMemo()->textCursor().selectedText(), QStringLiteral("abc"));

    action("newFile")->trigger();
    valueMemo()->setFocus();
    QTest::keyClicks(valueMemo(), QStringLiteral("text"));
    QTest::keyClick(valueMemo(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(window->newKeyDialog()->isVisible());
    EXPECT_EQ(valueMemo()->textCursor().selectedText(), QString()) << "the memo did not select all";
    window->newKeyDialog()->hide();

    // Ctrl+S from the comment memo saves: a new pack asks for a name.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    commentMemo()->setFocus();
    prompts.savePaths.push_back(QString());
    QTest::keyClick(commentMemo(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(prompts.saveDialogs.size(), 1u);
}

TEST_F(StartupTest, HandlerErrorsEndInTheErrorBoxWithAFullStop)
{
    load(writePack(QStringLiteral("broken.xml"), "<languagepack><content>"));
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_TRUE(prompts.errors[0].startsWith(QStringLiteral("Die Datei \"broken.xml\" ist kein gültiges XML")));
    EXPECT_TRUE(prompts.errors[0].endsWith(QLatin1Char('.')));
    // A damaged key names the file, the line and the key; one full stop.
    load(writePack(QStringLiteral("twice.xml"), "<languagepack><content>\n<key id='k'><value>a<b/></value></key></content></languagepack>"));
    EXPECT_EQ(prompts.errors.value(1),
        QStringLiteral("Die Datei \"twice.xml\", Zeile 2, Schlüssel \"k\": Element enthält keinen einzelnen Textknoten."));
    prompts.errors.clear();
    // The program goes on; each status message replaces the last whole.
    action("newFile")->trigger();
    EXPECT_EQ(window->statusText(), QStringLiteral("Neues Languagepack erstellt"));
    QTest::keyClicks(commentMemo(), QStringLiteral("x"));
    EXPECT_EQ(window->statusText(), QStringLiteral("Kommentar geändert (nicht gespeichert: )"));
    action("resetAction")->trigger();
    prompts.unsavedAnswers.push_back(UnsavedAnswer::No);
    action("closeAction")->trigger();
    EXPECT_EQ(window->statusText(), QStringLiteral("Kein Languagepack geladen"));
}
