#include "editor/aboutbox.h"

#include "../support/testutil.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMenuBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextDocument>
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
    // Buttons and boxes show their action's caption and follow its state.
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
        EXPECT_EQ(wrong, QStringList());
        for (const auto &[widget, name] : bound) {
            EXPECT_EQ(control<QAbstractButton>(widget)->isEnabled(), enabled(name)) << widget;
            EXPECT_EQ(control<QAbstractButton>(widget)->text(), action(name)->text()) << widget;
        }
    }
    EXPECT_EQ(prompts.questions, QStringList()) << "nothing was unsaved when it mattered";
}

TEST_F(StartupTest, WindowMenusTabsAndTips)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Wordloom"));
    EXPECT_EQ(window->geometry(), QRect(0, 0, 669, 651));
    EXPECT_EQ(window->minimumSize(), QSize(658, 460));
    EXPECT_EQ(window->font().pixelSize(), 11);
    EXPECT_EQ(valueMemo()->font().pixelSize(), 13);
    EXPECT_TRUE(QFontInfo(valueMemo()->font()).fixedPitch());

    // Menu entries with their shortcuts, captions spelled as they are.
    QStringList entries;
    for (QAction *menu : window->menuBar()->actions()) {
        entries << menu->text() + QLatin1Char(':');
        for (QAction *entry : menu->menu()->actions())
            entries << (entry->isSeparator() ? QStringLiteral("|") : entry->text() + QLatin1Char(' ') + entry->shortcut().toString());
    }
    EXPECT_EQ(entries.join(QLatin1Char(',')),
        QStringLiteral("&Languagepack:,Languagepack laden Ctrl+L,Neues Languagepack Ctrl+N,Speichern Ctrl+S,Speichern als ,"
                       "Schleßen Ctrl+W,|,Beenden Ctrl+Q,&Hilfe:,Info "));

    auto *pages = control<QTabWidget>("PageControl1");
    QStringList tabs;
    for (int i = 0; i < pages->count(); ++i)
        tabs << pages->tabText(i);
    EXPECT_EQ(tabs.join(QLatin1Char(',')), QStringLiteral("Checks,Export,Languagepack,Suchen"));
    EXPECT_EQ(pages->currentWidget()->objectName(), QStringLiteral("TabSheet5"));
    auto *grid = control<QTableWidget>("lpInfoblock");
    EXPECT_EQ(grid->item(4, 0)->text(), QStringLiteral("letzte Änderung"));
    EXPECT_FALSE(grid->item(4, 0)->flags() & Qt::ItemIsEditable);

    // Tool tips only where they belong; "<BR>" shows as it stands.
    EXPECT_EQ(keyList()->toolTip(), QStringLiteral("Zu übersetzende Schlüsselwörter"));
    EXPECT_EQ(grid->toolTip(), QStringLiteral("Optionen für das Languagepack festlegen"));
    EXPECT_EQ(control<QWidget>("searchOnType")->toolTip(), QStringLiteral("Bereeits beim Eintippen des Textes suchen"));
    QTextDocument shown;
    shown.setHtml(control<QCheckBox>("breakCheckbox")->toolTip());
    EXPECT_TRUE(shown.toPlainText().endsWith(QStringLiteral("alle Umbrüche in <BR>'s konvertiert.")));
    for (const char *name : {"buttonNew", "buttonDoppelCheck", "buttonSuchen"})
        EXPECT_EQ(control<QWidget>(name)->toolTip(), QString()) << name;

    // A picture of the window for a person to look at.
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_EQ(control<QWidget>("Panel_Links")->width(), 190);
    EXPECT_TRUE(window->grab().save(QCoreApplication::applicationDirPath() + QStringLiteral("/mainwindow.png")));
}

TEST_F(StartupTest, WordWrapAndTheAboutBox)
{
    action("newFile")->trigger();
    click(control<QCheckBox>("checkWW"));
    EXPECT_FALSE(action("toggleWW")->isChecked());
    EXPECT_EQ(valueMemo()->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(valueMemo()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(commentMemo()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    click(control<QCheckBox>("checkWW"));
    EXPECT_EQ(valueMemo()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(valueMemo()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    action("aboutAction")->trigger();
    AboutBox *about = window->aboutBox();
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(about->isModal());
    EXPECT_EQ(about->windowTitle(), QStringLiteral("Info über Wordloom"));
    ASSERT_NE(about->findChild<QLabel *>(QStringLiteral("Version")), nullptr);
    EXPECT_EQ(about->findChild<QLabel *>(QStringLiteral("Version"))->text(), QStringLiteral("Version 1.3"));
    QTest::mouseClick(about->findChild<QAbstractButton *>(QStringLiteral("OKButton")), Qt::LeftButton);
    EXPECT_FALSE(about->isVisible());
    action("aboutAction")->trigger();
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(window->findChildren<AboutBox *>().size(), 1);
}
