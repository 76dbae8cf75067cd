#include "editor/mainwindowui.h"

#include "document/languagepack.h"
#include "editor/aboutbox.h"
#include "editor/actiontable.h"
#include "editor/infogrid.h"
#include "editor/keyeditorpanel.h"
#include "editor/keylistbox.h"
#include "editor/layoutparts.h"
#include "editor/namelistview.h"
#include "editor/searchpage.h"
#include "editor/statusline.h"
#include "editor/uifonts.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QShortcut>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace Wordloom {

void MainWindowUi::setupUi(QMainWindow *window, const LanguagePack &pack, const ActionTable &actions)
{
    window->setObjectName(QStringLiteral("MainWindow"));
    window->setWindowTitle(QStringLiteral("Wordloom"));
    window->setWindowIcon(QIcon(AboutBox::programIcon(64)));
    window->setFont(interfaceFont());
    window->resize(669, 651);
    window->move(0, 0);
    window->setMinimumSize(658, 460);
    auto *central = panel("central", window);
    window->setCentralWidget(central);
    auto *mainLayout = tight(new QVBoxLayout(central));
    mainLayout->setContentsMargins(2, 2, 2, 0);

    // Left column: the key list, the add, drop and rename buttons and the
    // word wrap box.
    auto *left = panel("Panel_Links");
    left->setMinimumWidth(185);
    auto *leftLayout = tight(new QVBoxLayout(left));
    leftLayout->addWidget(named(new QLabel(QStringLiteral("Schlüssel")), "Label_Keys"));
    lpKey = named(new KeyListBox(&pack.keys()), "lpKey");
    leftLayout->addWidget(lpKey, 1);
    auto *modification = panel("Panel_ModificationBTNs");
    modification->setFixedHeight(19);
    auto *modificationLayout = tight(new QHBoxLayout(modification));
    const char *const keyButtonNames[] = {"buttonNew", "buttonDrop", "buttonRename"};
    QAction *const keyActions[] = {actions.newAction, actions.dropAction, actions.renameAction};
    QPushButton *keyButtons[3];
    for (int i = 0; i < 3; ++i) {
        keyButtons[i] = ActionTable::bindButton(fixedButton(keyButtonNames[i], 49, 17), keyActions[i]);
        keyButtons[i]->setToolTip(keyActions[i]->toolTip());
        modificationLayout->addWidget(keyButtons[i]);
    }
    modificationLayout->addStretch(1);
    checkWW = ActionTable::actionBox("checkWW", actions.toggleWW);
    modificationLayout->addWidget(checkWW);
    leftLayout->addWidget(modification);

    mKeyEditor = new KeyEditorPanel;
    ActionTable::bindButton(mKeyEditor->resetButton(), actions.resetAction);
    ActionTable::bindButton(mKeyEditor->submitButton(), actions.submitAction);

    auto *columns = named(new QSplitter(Qt::Horizontal), "Splitter_Spalten");
    columns->setHandleWidth(2);
    columns->setChildrenCollapsible(false);
    columns->addWidget(left);
    columns->addWidget(mKeyEditor);
    columns->setStretchFactor(1, 1);
    columns->setSizes({190, 477});
    mainLayout->addWidget(columns, 1);

    // Bottom region: the status line over the tab pages.
    auto *bottom = panel("Panel_Unten");
    bottom->setFixedHeight(142);
    auto *bottomLayout = tight(new QVBoxLayout(bottom));
    mStatusLine = new StatusLine;
    bottomLayout->addWidget(mStatusLine);
    PageControl1 = named(new QTabWidget, "PageControl1");
    PageControl1->setTabPosition(QTabWidget::South);
    PageControl1->setMinimumHeight(102);
    PageControl1->setMaximumHeight(140);
    bottomLayout->addWidget(PageControl1, 1);
    mainLayout->addWidget(bottom);

    auto *checksPage = panel("TabSheet1");
    auto *checksLayout = new QVBoxLayout(checksPage);
    QPushButton *const checkButtons[]
        = {ActionTable::bindButton(fixedButton("buttonDoppelCheck", 113, 25), actions.doppelCheck),
            ActionTable::bindButton(fixedButton("buttonSyntaxCheck", 113, 25), actions.syntaxCheck)};
    for (QPushButton *button : checkButtons)
        checksLayout->addWidget(button);
    checksLayout->addStretch(1);
    PageControl1->addTab(checksPage, QStringLiteral("Checks"));

    auto *exportPage = panel("TabSheet2");
    auto *exportLayout = new QHBoxLayout(exportPage);
    exportModules = named(new QListWidget, "exportModules");
    exportModules->setToolTip(plainToolTip(QStringLiteral("Vorhandene Export-Plugins")));
    exportModules->setSelectionMode(QAbstractItemView::SingleSelection);
    exportLayout->addWidget(exportModules, 1);
    auto *exportColumn = panel("Panel_Export");
    exportColumn->setFixedWidth(235);
    auto *exportColumnLayout = tight(new QVBoxLayout(exportColumn));
    QPushButton *buttonExport = ActionTable::bindButton(fixedButton("buttonExport", 113, 25), actions.exportAction);
    exportColumnLayout->addStretch(1);
    exportColumnLayout->addWidget(buttonExport, 0, Qt::AlignRight);
    exportLayout->addWidget(exportColumn);
    PageControl1->addTab(exportPage, QStringLiteral("Export"));

    auto *packPage = panel("TabSheet4");
    lpInfoblock = named(new InfoGrid, "lpInfoblock");
    tight(new QVBoxLayout(packPage))->addWidget(lpInfoblock);
    PageControl1->addTab(packPage, QStringLiteral("Languagepack"));

    mSearchPage = new SearchPage(pack, actions.suchAction, actions.changeSearchType);
    PageControl1->addTab(mSearchPage, QStringLiteral("Suchen"));
    // The page area grows, within its 140 pixels, to what the search page's
    // rows need; the bottom region with it.
    const int pages = PageControl1->tabBar()->sizeHint().height() + 4
        + std::clamp(mSearchPage->minimumSizeHint().height(), 102, 140);
    PageControl1->setFixedHeight(pages);
    bottom->setFixedHeight(std::max(142, mStatusLine->sizeHint().height() + 2 + pages));

    QMenu *packMenu = named(window->menuBar()->addMenu(QStringLiteral("&Languagepack")), "menuLanguagepack");
    packMenu->addActions(
        {actions.loadAction, actions.newFile, actions.saveAction, actions.saveasAction, actions.closeAction});
    packMenu->addSeparator();
    packMenu->addAction(actions.exitAction);
    QMenu *editMenu = named(window->menuBar()->addMenu(QStringLiteral("&Bearbeiten")), "menuBearbeiten");
    editMenu->addActions({actions.undoAction, actions.redoAction});
    editMenu->addSeparator();
    editMenu->addAction(actions.findAction);
    // Ctrl+F goes to the search page, the search term ready to be replaced.
    QObject::connect(actions.findAction, &QAction::triggered, window, [this] {
        PageControl1->setCurrentWidget(mSearchPage);
        mSearchPage->field()->setFocus();
        mSearchPage->field()->selectAll();
    });
    named(window->menuBar()->addMenu(QStringLiteral("&Hilfe")), "menuHilfe")->addAction(actions.aboutAction);
    // F10 opens the first menu, as in other desktop programs.
    auto *menuKey = new QShortcut(QKeySequence(Qt::Key_F10), window);
    QObject::connect(menuKey, &QShortcut::activated, window,
        [window, packMenu] { window->menuBar()->setActiveAction(packMenu->menuAction()); });

    // Tab follows the window from top left to bottom right.
    QList<QWidget *> order = {lpKey->field(), lpKey->view(), keyButtons[0], keyButtons[1], keyButtons[2], checkWW};
    order << mKeyEditor->tabChain()
          << QList<QWidget *>{PageControl1, checkButtons[0], checkButtons[1], exportModules, buttonExport, lpInfoblock}
          << mSearchPage->tabChain();
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

} // namespace Wordloom
