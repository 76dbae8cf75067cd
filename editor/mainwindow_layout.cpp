// The window's controls, menu and action table.
#include "editor/mainwindow.h"

#include "editor/aboutbox.h"
#include "editor/infogrid.h"
#include "editor/keylistbox.h"
#include "editor/namelistview.h"
#include "editor/newkeydialog.h"
#include "editor/uifonts.h"

#include <QAction>
#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStringListModel>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace Wordloom {

namespace {

template <typename W> W *named(W *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QWidget *panel(const char *name, QWidget *parent = nullptr)
{
    return named(new QWidget(parent), name);
}

QPushButton *button(const char *name, int width, int height)
{
    auto *b = named(new QPushButton, name);
    b->setFixedSize(width, height);
    b->setAutoDefault(false);
    return b;
}

template <typename L> L *tight(L *layout)
{
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    return layout;
}

} // namespace

void MainWindow::buildLayout()
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Wordloom"));
    setWindowIcon(QIcon(AboutBox::programIcon(64)));
    setFont(interfaceFont());
    resize(669, 651);
    move(0, 0);
    setMinimumSize(658, 460);

    auto *central = panel("central", this);
    setCentralWidget(central);
    auto *mainLayout = tight(new QVBoxLayout(central));
    mainLayout->setContentsMargins(2, 2, 2, 0);

    // Left column: the key list and the add, drop and rename buttons.
    auto *left = panel("Panel_Links");
    left->setMinimumWidth(185);
    auto *leftLayout = tight(new QVBoxLayout(left));
    leftLayout->addWidget(named(new QLabel(QStringLiteral("Schlüssel")), "Label_Keys"));
    lpKey = named(new KeyListBox, "lpKey");
    lpKey->setModel(&mPack.keys());
    lpKey->setToolTip(plainToolTip(QStringLiteral("Zu übersetzende Schlüsselwörter")));
    leftLayout->addWidget(lpKey, 1);
    auto *modification = panel("Panel_ModificationBTNs");
    modification->setFixedHeight(19);
    auto *modificationLayout = tight(new QHBoxLayout(modification));
    buttonNew = button("buttonNew", 49, 17);
    buttonDrop = button("buttonDrop", 49, 17);
    buttonRename = button("buttonRename", 49, 17);
    checkWW = named(new QCheckBox, "checkWW");
    checkWW->setChecked(true);
    checkWW->setToolTip(plainToolTip(QStringLiteral("Wordwrap ein-/ausschalten")));
    modificationLayout->addWidget(buttonNew);
    modificationLayout->addWidget(buttonDrop);
    modificationLayout->addWidget(buttonRename);
    modificationLayout->addStretch(1);
    modificationLayout->addWidget(checkWW);
    leftLayout->addWidget(modification);

    // Right column: comment above, translation and options below.
    auto *right = panel("Panel_Rechts");
    right->setMinimumWidth(450);
    auto *rightLayout = tight(new QVBoxLayout(right));
    auto *rightSplitter = named(new QSplitter(Qt::Vertical), "Splitter_Rechts");
    rightSplitter->setHandleWidth(2);
    rightSplitter->setChildrenCollapsible(false);
    rightLayout->addWidget(rightSplitter);

    auto *commentPanel = panel("Panel_Comment");
    commentPanel->setMinimumHeight(38);
    auto *commentLayout = tight(new QVBoxLayout(commentPanel));
    commentLayout->addWidget(named(new QLabel(QStringLiteral("Kommentar")), "Label_Comment"));
    lpComment = named(new QPlainTextEdit, "lpComment");
    lpComment->setToolTip(plainToolTip(QStringLiteral("Kommentar")));
    lpComment->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    lpComment->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lpComment->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    commentLayout->addWidget(lpComment, 1);

    auto *translationPanel = panel("Panel_Translation");
    auto *translationLayout = tight(new QVBoxLayout(translationPanel));
    translationLayout->addWidget(named(new QLabel(QStringLiteral("Übersetzung")), "Label_Translation"));
    lpValue = named(new QPlainTextEdit, "lpValue");
    lpValue->setFont(translationFont());
    lpValue->setMinimumSize(450, 70);
    lpValue->setToolTip(plainToolTip(QStringLiteral("Die Übersetzung des ausgewählten Schlüsselwortes")));
    lpValue->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    translationLayout->addWidget(lpValue, 1);

    auto *transButtons = panel("Panel_TransBTNs");
    transButtons->setFixedHeight(72);
    auto *transLayout = tight(new QHBoxLayout(transButtons));
    auto *options = panel("Panel_Options");
    options->setFixedWidth(190);
    auto *optionsLayout = tight(new QVBoxLayout(options));
    htmlCheckbox = named(new QCheckBox(QStringLiteral("in HTML umwandeln")), "htmlCheckbox");
    htmlCheckbox->setToolTip(plainToolTip(QStringLiteral("Text soll in der Übersetzung nach HTML umgewandelt werden")));
    breakCheckbox = named(new QCheckBox(QStringLiteral("Umbrüche erhalten")), "breakCheckbox");
    breakCheckbox->setToolTip(plainToolTip(QStringLiteral("Die Umbrüche sollen in der Übersetzung erhalten bleiben. Bei "
                                             "Umwandlung in HTML werden alle Umbrüche in <BR>'s konvertiert.")));
    unixCheckBox = named(new QCheckBox(QStringLiteral("UNIX Linebreak")), "unixCheckBox");
    unixCheckBox->setToolTip(plainToolTip(QStringLiteral("Ausgabe-Datei soll nur LF's enthalten und keine CRLF's")));
    optionsLayout->addWidget(htmlCheckbox);
    optionsLayout->addWidget(breakCheckbox);
    optionsLayout->addWidget(unixCheckBox);
    optionsLayout->addStretch(1);
    transLayout->addWidget(options);
    transLayout->addStretch(1);
    buttonReset = button("buttonReset", 115, 25);
    buttonReset->setToolTip(plainToolTip(QStringLiteral("Änderungen für dieses Schlüsselwort verwerfen")));
    buttonSubmit = button("buttonSubmit", 115, 25);
    buttonSubmit->setToolTip(plainToolTip(QStringLiteral("Änderungen für dieses Schlüsselwort übernehmen")));
    transLayout->addWidget(buttonReset, 0, Qt::AlignBottom);
    transLayout->addWidget(buttonSubmit, 0, Qt::AlignBottom);
    translationLayout->addWidget(transButtons);

    rightSplitter->addWidget(commentPanel);
    rightSplitter->addWidget(translationPanel);
    rightSplitter->setStretchFactor(1, 1);
    rightSplitter->setSizes({104, 400});

    auto *columns = named(new QSplitter(Qt::Horizontal), "Splitter_Spalten");
    columns->setHandleWidth(2);
    columns->setChildrenCollapsible(false);
    columns->addWidget(left);
    columns->addWidget(right);
    columns->setStretchFactor(1, 1);
    columns->setSizes({190, 477});
    mainLayout->addWidget(columns, 1);

    // Bottom region: the status line over the tab pages.
    auto *bottom = panel("Panel_Unten");
    bottom->setFixedHeight(142);
    auto *bottomLayout = tight(new QVBoxLayout(bottom));
    statusBarLabel = named(new QLabel, "statusBar");
    statusBarLabel->setFixedHeight(25);
    statusBarLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusBarLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    statusBarLabel->setTextFormat(Qt::PlainText);
    bottomLayout->addWidget(statusBarLabel);
    PageControl1 = named(new QTabWidget, "PageControl1");
    PageControl1->setTabPosition(QTabWidget::South);
    PageControl1->setMinimumHeight(102);
    PageControl1->setMaximumHeight(140);
    bottomLayout->addWidget(PageControl1, 1);
    mainLayout->addWidget(bottom);

    auto *checksPage = panel("TabSheet1");
    auto *checksLayout = new QVBoxLayout(checksPage);
    buttonDoppelCheck = button("buttonDoppelCheck", 113, 25);
    buttonSyntaxCheck = button("buttonSyntaxCheck", 113, 25);
    checksLayout->addWidget(buttonDoppelCheck);
    checksLayout->addWidget(buttonSyntaxCheck);
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
    buttonExport = button("buttonExport", 113, 25);
    exportColumnLayout->addStretch(1);
    exportColumnLayout->addWidget(buttonExport, 0, Qt::AlignRight);
    exportLayout->addWidget(exportColumn);
    PageControl1->addTab(exportPage, QStringLiteral("Export"));

    auto *packPage = panel("TabSheet4");
    auto *packLayout = tight(new QVBoxLayout(packPage));
    packLayout->setContentsMargins(0, 0, 0, 0);
    lpInfoblock = named(new InfoGrid, "lpInfoblock");
    lpInfoblock->setToolTip(plainToolTip(QStringLiteral("Optionen für das Languagepack festlegen")));
    packLayout->addWidget(lpInfoblock);
    PageControl1->addTab(packPage, QStringLiteral("Languagepack"));

    auto *searchPage = panel("TabSheet5");
    auto *searchLayout = new QHBoxLayout(searchPage);
    auto *searchColumn = panel("Panel_Suchen");
    searchColumn->setFixedWidth(201);
    auto *searchColumnLayout = tight(new QVBoxLayout(searchColumn));
    suchbegriff = named(new QLineEdit, "suchbegriff");
    suchbegriff->setToolTip(plainToolTip(QStringLiteral("Bitte Suchtext eingeben")));
    buttonSuchen = button("buttonSuchen", 113, 25);
    searchOnType = named(new QCheckBox, "searchOnType");
    searchOnType->setChecked(true);
    searchOnType->setToolTip(plainToolTip(QStringLiteral("Bereeits beim Eintippen des Textes suchen")));
    searchColumnLayout->addWidget(suchbegriff);
    searchColumnLayout->addWidget(buttonSuchen);
    searchColumnLayout->addWidget(searchOnType);
    searchColumnLayout->addStretch(1);
    searchLayout->addWidget(searchColumn);
    ergenbisse = named(new NameListView, "ergenbisse");
    ergenbisse->setToolTip(plainToolTip(QStringLiteral("Suchergebnisse")));
    mResults = new QStringListModel(this);
    ergenbisse->setModel(mResults);
    searchLayout->addWidget(ergenbisse, 1);
    PageControl1->addTab(searchPage, QStringLiteral("Suchen"));

    // Tab in the text fields moves on; Ctrl+Tab types a tab (see eventFilter).
    lpComment->setTabChangesFocus(true);
    lpValue->setTabChangesFocus(true);
    // Tab follows the window from top left to bottom right.
    const QList<QWidget *> order = {lpKey->field(), lpKey->view(), buttonNew, buttonDrop, buttonRename, checkWW,
        lpComment, lpValue, htmlCheckbox, breakCheckbox, unixCheckBox, buttonReset, buttonSubmit, PageControl1,
        buttonDoppelCheck, buttonSyntaxCheck, exportModules, buttonExport, lpInfoblock, suchbegriff, buttonSuchen,
        searchOnType, ergenbisse};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

QAction *MainWindow::makeAction(const char *name, const QString &caption, const QString &hint,
    const QKeySequence &shortcut, bool enabled, void (MainWindow::*method)())
{
    auto *action = new QAction(caption, this);
    action->setObjectName(QLatin1String(name));
    if (!hint.isEmpty())
        action->setToolTip(plainToolTip(hint));
    action->setShortcut(shortcut);
    action->setEnabled(enabled);
    // Shortcuts belong to the window, whether or not a menu shows the action.
    addAction(action);
    connect(action, &QAction::triggered, this, handler(method));
    return action;
}

void MainWindow::bindButton(QPushButton *button, QAction *action)
{
    const auto sync = [button, action] {
        button->setText(action->text());
        button->setEnabled(action->isEnabled());
    };
    sync();
    connect(action, &QAction::changed, button, sync);
    connect(button, &QPushButton::clicked, action, &QAction::trigger);
}

void MainWindow::buildActions()
{
    const QKeySequence none;
    loadAction = makeAction("loadAction", QStringLiteral("Languagepack laden"), QStringLiteral("Läd ein existierendes Languagepack"),
        QKeySequence(Qt::CTRL | Qt::Key_L), true, &MainWindow::loadActionExecute);
    newFile = makeAction("newFile", QStringLiteral("Neues Languagepack"), QStringLiteral("Erstellt ein neues, leeres Languagepack"),
        QKeySequence(Qt::CTRL | Qt::Key_N), true, &MainWindow::newFileExecute);
    saveAction = makeAction("saveAction", QStringLiteral("Speichern"), QStringLiteral("Speichert das aktuelle Languagepack"),
        QKeySequence(Qt::CTRL | Qt::Key_S), false, &MainWindow::saveActionExecute);
    saveasAction = makeAction("saveasAction", QStringLiteral("Speichern als"), QStringLiteral("Speichert das Languagepack unter einem neuen Namen"),
        none, false, &MainWindow::saveasActionExecute);
    closeAction = makeAction("closeAction", QStringLiteral("Schleßen"), QStringLiteral("Schließt das aktuelle Languagepack"),
        QKeySequence(Qt::CTRL | Qt::Key_W), false, &MainWindow::closeActionExecute);
    exitAction = makeAction("exitAction", QStringLiteral("Beenden"), QStringLiteral("Programm beenden"),
        QKeySequence(Qt::CTRL | Qt::Key_Q), true, &MainWindow::exitActionExecute);
    exportAction = makeAction("exportAction", QStringLiteral("Export starten"), QStringLiteral("Exportiert das Languagepack"),
        none, false, &MainWindow::exportActionExecute);
    newAction = makeAction("newAction", QStringLiteral("+"), QString(), QKeySequence(Qt::CTRL | Qt::Key_A), false,
        &MainWindow::newActionExecute);
    dropAction = makeAction("dropAction", QStringLiteral("-"), QString(), none, false, &MainWindow::dropActionExecute);
    renameAction = makeAction("renameAction", QStringLiteral("o"), QString(), none, false, &MainWindow::renameActionExecute);
    renameKeyRequest = makeAction("renameKeyRequest", QStringLiteral("renameKeyRequest"), QString(), none, true,
        &MainWindow::renameKeyRequestExecute);
    submitAction = makeAction("submitAction", QStringLiteral("Übernehmen"), QStringLiteral("Änderungen übernehmen"), none, false,
        &MainWindow::submitActionExecute);
    resetAction = makeAction("resetAction", QStringLiteral("Verwerfen"), QStringLiteral("Änderungen verwerfen"), none, false,
        &MainWindow::resetActionExecute);
    suchAction = makeAction("suchAction", QStringLiteral("Suchen"), QStringLiteral("Sucht nach Texten im Languagepack"), none, false,
        &MainWindow::suchActionExecute);
    changeSearchType = makeAction("changeSearchType", QStringLiteral("beim Tippen suchen"),
        QStringLiteral("Bereeits beim Eintippen des Textes suchen"), none, true, &MainWindow::changeSearchTypeExecute);
    toggleWW = makeAction("toggleWW", QString(), QStringLiteral("Wordwrap ein-/ausschalten"), none, false, &MainWindow::toggleWWExecute);
    doppelCheck = makeAction("doppelCheck", QStringLiteral("Doppel-Check"), QString(), none, true, &MainWindow::doppelCheckExecute);
    syntaxCheck = makeAction("syntaxCheck", QStringLiteral("Syntax-Check"), QString(), none, true, &MainWindow::syntaxCheckExecute);
    aboutAction = makeAction("aboutAction", QStringLiteral("Info"), QString(), none, true, &MainWindow::aboutActionExecute);
    nextAction = makeAction("nextAction", QStringLiteral("Next"), QStringLiteral("Go to next key"),
        QKeySequence(Qt::CTRL | Qt::Key_Down), true, &MainWindow::nextActionExecute);
    prevAction = makeAction("prevAction", QStringLiteral("Previous"), QStringLiteral("Go to previous key"),
        QKeySequence(Qt::CTRL | Qt::Key_Up), true, &MainWindow::prevActionExecute);

    // The two boxes bound to actions take their new state first, then the
    // action's handler reads it.
    for (auto [box, action] : {std::pair{checkWW, toggleWW}, std::pair{searchOnType, changeSearchType}}) {
        action->setCheckable(true);
        action->setChecked(box->isChecked());
        if (!action->text().isEmpty())
            box->setText(action->text());
        box->setEnabled(action->isEnabled());
        connect(action, &QAction::changed, box, [box, action] { box->setEnabled(action->isEnabled()); });
        connect(box, &QCheckBox::clicked, action, [action](bool checked) {
            action->setChecked(checked);
            // Runs the handler; trigger() would toggle the state once more.
            emit action->triggered(checked);
        });
    }

    bindButton(buttonNew, newAction);
    bindButton(buttonDrop, dropAction);
    bindButton(buttonRename, renameAction);
    bindButton(buttonReset, resetAction);
    bindButton(buttonSubmit, submitAction);
    bindButton(buttonDoppelCheck, doppelCheck);
    bindButton(buttonSyntaxCheck, syntaxCheck);
    bindButton(buttonExport, exportAction);
    bindButton(buttonSuchen, suchAction);

    QMenu *packMenu = menuBar()->addMenu(QStringLiteral("&Languagepack"));
    packMenu->setObjectName(QStringLiteral("menuLanguagepack"));
    packMenu->addAction(loadAction);
    packMenu->addAction(newFile);
    packMenu->addAction(saveAction);
    packMenu->addAction(saveasAction);
    packMenu->addAction(closeAction);
    packMenu->addSeparator();
    packMenu->addAction(exitAction);
    QMenu *helpMenu = menuBar()->addMenu(QStringLiteral("&Hilfe"));
    helpMenu->setObjectName(QStringLiteral("menuHilfe"));
    helpMenu->addAction(aboutAction);
    // F10 opens the first menu, as in other desktop programs.
    auto *menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this, [this, packMenu] { menuBar()->setActiveAction(packMenu->menuAction()); });

    // Ctrl+Return takes over and goes on, like Ctrl+Down.
    nextAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Down), QKeySequence(Qt::CTRL | Qt::Key_Return)});
}

} // namespace Wordloom
