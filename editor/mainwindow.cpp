#include "editor/mainwindow.h"

#include "checks/keychecks.h"
#include "document/clock.h"
#include "document/error.h"
#include "document/searchresults.h"
#include "document/workerpool.h"
#include "editor/aboutbox.h"
#include "editor/backgroundwork.h"
#include "editor/infogrid.h"
#include "editor/keyeditorpanel.h"
#include "editor/keylistbox.h"
#include "editor/layoutparts.h"
#include "editor/namelistview.h"
#include "editor/newkeydialog.h"
#include "editor/uifonts.h"
#include "plugins/exportrun.h"

#include <QAction>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

#include <optional>

namespace Wordloom {

namespace {

// From this many translations on, building the search index takes long
// enough to do it in the background, and to show the wait cursor.
constexpr qsizetype kLargeSearch = 10000;

void placeAtStoredPosition(QWidget *dialog)
{
    if (const QScreen *screen = dialog->screen())
        dialog->move(screen->availableGeometry().topLeft());
}

void showInFront(QWidget *dialog)
{
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

} // namespace

MainWindow::MainWindow(Prompts &prompts, const Clock &clock, const QString &pluginFolder, QWidget *parent)
    : QMainWindow(parent)
    , mPrompts(prompts)
    , mClock(clock)
{
    buildActions();
    buildFrame();

    connect(lpKey, &KeyListBox::userChanged, this, handler(&MainWindow::keyChosenByUser));
    connect(mKeyEditor, &KeyEditorPanel::translationChanged, this, handler(&MainWindow::lpValueChange));
    connect(mKeyEditor, &KeyEditorPanel::commentChanged, this, handler(&MainWindow::lpCommentChange));
    connect(mKeyEditor, &KeyEditorPanel::optionClicked, this, [this](KeyEditorPanel::Option option) {
        void (MainWindow::*const clicks[])() = {
            &MainWindow::htmlCheckboxClick, &MainWindow::breakCheckboxClick, &MainWindow::unixCheckBoxClick};
        handler(clicks[option])();
    });
    connect(lpInfoblock, &InfoGrid::userEdited, this, [this](int row) {
        guarded([this, row] { lpInfoblockStringsChange(row); });
    });
    connect(&mPack, &LanguagePack::infoChanged, this, [this](int row) {
        InfoValues info = mPack.info();
        lpInfoblock->setValue(row, LanguagePack::infoField(info, row));
    });
    connect(&mPack, &LanguagePack::modifiedChanged, this, &MainWindow::showPackSummary);
    connect(&mPack.history(), &QUndoStack::indexChanged, this, [this] {
        updateActions();
        showPackSummary();
    });
    connect(suchbegriff, &QLineEdit::textChanged, this, handler(&MainWindow::suchbegriffChange));
    connect(ergenbisse, &NameListView::userPicked, this, [this](int row) {
        if (row >= 0)
            handler(&MainWindow::ergenbisseClick)();
    });
    connect(exportModules, &QListWidget::itemDoubleClicked, this, handler(&MainWindow::exportModulesDblClick));

    mNewKeyDialog = named(new NewKeyDialog(this), "newKeyDialog");
    mNewKeyDialog->onConfirm = [this](NewKeyDialog &) { handler(&MainWindow::newKeyRequestExecute)(); };
    mNewKeyDialog->hide();
    mRenameKeyDialog = named(new NewKeyDialog(this), "renameKeyDialog");
    mRenameKeyDialog->onConfirm = [this](NewKeyDialog &) { renameKeyRequest->trigger(); };
    mRenameKeyDialog->hide();
    mAboutBox = new AboutBox(this);
    mAboutBox->hide();
    scanForPlugins(pluginFolder);

    updateActions();
    showPackSummary();
    showPage("TabSheet5");

    OpenDialog1.title = QStringLiteral("Languagepack laden");
    OpenDialog1.filter = QStringLiteral("Languagepacks (*.xml)|*.xml");
    OpenDialog1.defaultExtension = QStringLiteral("xml");

    // The window's shortcuts go before what a text field would make of the
    // same keys.
    for (QWidget *widget : findChildren<QWidget *>())
        if (widget->window() == this && widget->focusPolicy() != Qt::NoFocus)
            widget->installEventFilter(this);
}

MainWindow::~MainWindow() = default;

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
    undoAction = makeAction("undoAction", QStringLiteral("Rückgängig"), QString(), QKeySequence(Qt::CTRL | Qt::Key_Z),
        false, &MainWindow::undoActionExecute);
    redoAction = makeAction("redoAction", QStringLiteral("Wiederholen"), QString(),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), false, &MainWindow::redoActionExecute);
    redoAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});

    // Ctrl+Return takes over and goes on, like Ctrl+Down.
    nextAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Down), QKeySequence(Qt::CTRL | Qt::Key_Return)});
    for (QAction *action : {toggleWW, changeSearchType}) {
        action->setCheckable(true);
        action->setChecked(true);
    }
}

QAction *MainWindow::makeAction(const char *name, const QString &caption, const QString &hint,
    const QKeySequence &shortcut, bool enabled, void (MainWindow::*method)())
{
    auto *action = named(new QAction(caption, this), name);
    if (!hint.isEmpty())
        action->setToolTip(plainToolTip(hint));
    action->setShortcut(shortcut);
    action->setEnabled(enabled);
    // Shortcuts belong to the window, whether or not a menu shows the action.
    addAction(action);
    connect(action, &QAction::triggered, this, handler(method));
    return action;
}

QPushButton *MainWindow::bindButton(QPushButton *button, QAction *action)
{
    const auto sync = [button, action] {
        button->setText(action->text());
        button->setEnabled(action->isEnabled());
    };
    sync();
    connect(action, &QAction::changed, button, sync);
    connect(button, &QPushButton::clicked, action, &QAction::trigger);
    return button;
}

QCheckBox *MainWindow::actionBox(const char *name, QAction *action)
{
    auto *box = named(new QCheckBox(action->text()), name);
    box->setToolTip(action->toolTip());
    box->setChecked(action->isChecked());
    box->setEnabled(action->isEnabled());
    connect(action, &QAction::changed, box, [box, action] { box->setEnabled(action->isEnabled()); });
    // The box takes its new state first, then the action's handler reads it.
    connect(box, &QCheckBox::clicked, action, [action](bool checked) {
        action->setChecked(checked);
        // Runs the handler; trigger() would toggle the state once more.
        emit action->triggered(checked);
    });
    return box;
}

void MainWindow::buildFrame()
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

    // Left column: the key list, the add, drop and rename buttons and the
    // word wrap box.
    auto *left = panel("Panel_Links");
    left->setMinimumWidth(185);
    auto *leftLayout = tight(new QVBoxLayout(left));
    leftLayout->addWidget(named(new QLabel(QStringLiteral("Schlüssel")), "Label_Keys"));
    lpKey = named(new KeyListBox(&mPack.keys()), "lpKey");
    leftLayout->addWidget(lpKey, 1);
    auto *modification = panel("Panel_ModificationBTNs");
    modification->setFixedHeight(19);
    auto *modificationLayout = tight(new QHBoxLayout(modification));
    QPushButton *const keyButtons[] = {bindButton(fixedButton("buttonNew", 49, 17), newAction),
        bindButton(fixedButton("buttonDrop", 49, 17), dropAction), bindButton(fixedButton("buttonRename", 49, 17), renameAction)};
    for (QPushButton *button : keyButtons)
        modificationLayout->addWidget(button);
    modificationLayout->addStretch(1);
    checkWW = actionBox("checkWW", toggleWW);
    modificationLayout->addWidget(checkWW);
    leftLayout->addWidget(modification);

    mKeyEditor = new KeyEditorPanel;
    bindButton(mKeyEditor->resetButton(), resetAction);
    bindButton(mKeyEditor->submitButton(), submitAction);

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
    // The messages at the left; the pack's name and counts stay at the right.
    auto *statusLine = tight(new QHBoxLayout);
    statusBarLabel = named(new QLabel, "statusBar");
    packSummary = named(new QLabel, "packSummary");
    for (QLabel *label : {statusBarLabel, packSummary}) {
        label->setFixedHeight(25);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setTextFormat(Qt::PlainText);
        statusLine->addWidget(label);
    }
    statusLine->setStretch(0, 1);
    bottomLayout->addLayout(statusLine);
    PageControl1 = named(new QTabWidget, "PageControl1");
    PageControl1->setTabPosition(QTabWidget::South);
    PageControl1->setMinimumHeight(102);
    PageControl1->setMaximumHeight(140);
    bottomLayout->addWidget(PageControl1, 1);
    mainLayout->addWidget(bottom);

    auto *checksPage = panel("TabSheet1");
    auto *checksLayout = new QVBoxLayout(checksPage);
    QPushButton *const checkButtons[] = {bindButton(fixedButton("buttonDoppelCheck", 113, 25), doppelCheck),
        bindButton(fixedButton("buttonSyntaxCheck", 113, 25), syntaxCheck)};
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
    QPushButton *buttonExport = bindButton(fixedButton("buttonExport", 113, 25), exportAction);
    exportColumnLayout->addStretch(1);
    exportColumnLayout->addWidget(buttonExport, 0, Qt::AlignRight);
    exportLayout->addWidget(exportColumn);
    PageControl1->addTab(exportPage, QStringLiteral("Export"));

    auto *packPage = panel("TabSheet4");
    lpInfoblock = named(new InfoGrid, "lpInfoblock");
    tight(new QVBoxLayout(packPage))->addWidget(lpInfoblock);
    PageControl1->addTab(packPage, QStringLiteral("Languagepack"));

    auto *searchPage = panel("TabSheet5");
    auto *searchLayout = new QHBoxLayout(searchPage);
    auto *searchColumn = panel("Panel_Suchen");
    searchColumn->setFixedWidth(201);
    auto *searchColumnLayout = tight(new QVBoxLayout(searchColumn));
    suchbegriff = named(new QLineEdit, "suchbegriff");
    suchbegriff->setToolTip(plainToolTip(QStringLiteral("Bitte Suchtext eingeben")));
    QPushButton *buttonSuchen = bindButton(fixedButton("buttonSuchen", 113, 25), suchAction);
    searchOnType = actionBox("searchOnType", changeSearchType);
    searchColumnLayout->addWidget(suchbegriff);
    searchColumnLayout->addWidget(buttonSuchen);
    searchColumnLayout->addWidget(searchOnType);
    searchColumnLayout->addStretch(1);
    searchLayout->addWidget(searchColumn);
    ergenbisse = named(new NameListView, "ergenbisse");
    ergenbisse->setToolTip(plainToolTip(QStringLiteral("Suchergebnisse")));
    mResults = new SearchResults(mPack.data().hashlistKeys, this);
    mPack.data().hashlistKeys.setBeforeRelayout([this] { mResults->keepNames(); });
    ergenbisse->setModel(mResults);
    searchLayout->addWidget(ergenbisse, 1);
    PageControl1->addTab(searchPage, QStringLiteral("Suchen"));

    QMenu *packMenu = named(menuBar()->addMenu(QStringLiteral("&Languagepack")), "menuLanguagepack");
    packMenu->addActions({loadAction, newFile, saveAction, saveasAction, closeAction});
    packMenu->addSeparator();
    packMenu->addAction(exitAction);
    named(menuBar()->addMenu(QStringLiteral("&Bearbeiten")), "menuBearbeiten")->addActions({undoAction, redoAction});
    named(menuBar()->addMenu(QStringLiteral("&Hilfe")), "menuHilfe")->addAction(aboutAction);
    // F10 opens the first menu, as in other desktop programs.
    auto *menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this, [this, packMenu] { menuBar()->setActiveAction(packMenu->menuAction()); });

    // Tab follows the window from top left to bottom right.
    QList<QWidget *> order = {lpKey->field(), lpKey->view(), keyButtons[0], keyButtons[1], keyButtons[2], checkWW};
    order << mKeyEditor->tabChain()
          << QList<QWidget *>{PageControl1, checkButtons[0], checkButtons[1], exportModules, buttonExport, lpInfoblock,
                 suchbegriff, buttonSuchen, searchOnType, ergenbisse};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void MainWindow::showPage(const char *name)
{
    PageControl1->setCurrentWidget(PageControl1->findChild<QWidget *>(QLatin1String(name)));
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        // A text field claims some combinations (Ctrl+A, Ctrl+Up) for itself;
        // an enabled action of the window takes them first. Left unclaimed,
        // the key goes to the window's shortcuts.
        const QKeySequence pressed(static_cast<QKeyEvent *>(event)->keyCombination());
        // A text field with typing of its own to undo keeps its undo keys.
        if ((undoAction->shortcuts().contains(pressed) && fieldCanUndo(watched, false))
            || (redoAction->shortcuts().contains(pressed) && fieldCanUndo(watched, true)))
            return QMainWindow::eventFilter(watched, event);
        for (const QAction *action : actions()) {
            if (action->isEnabled() && action->shortcuts().contains(pressed)) {
                event->ignore();
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::guarded(const std::function<void()> &handler)
{
    QString message;
    try {
        handler();
        return true;
    } catch (const Error &error) {
        message = error.message();
    } catch (const std::bad_alloc &) {
        message = QStringLiteral("Nicht genügend Arbeitsspeicher");
    } catch (const std::exception &error) {
        message = QString::fromLocal8Bit(error.what());
    } catch (...) {
        message = QStringLiteral("Unbekannter Fehler");
    }
    if (!message.endsWith(QLatin1Char('.')))
        message += QLatin1Char('.');
    mPrompts.showError(message);
    return false;
}

std::function<void()> MainWindow::handler(void (MainWindow::*method)())
{
    return [this, method] { guarded([this, method] { (this->*method)(); }); };
}

void MainWindow::showStatus(const QString &message)
{
    statusBarLabel->setText(message);
}

QString MainWindow::statusText() const
{
    return statusBarLabel->text();
}

void MainWindow::showInfo(const QString &message)
{
    mPrompts.showInfo(message);
}

InfoValues MainWindow::gridValues()
{
    lpInfoblock->commitPendingEdit();
    return mPack.info();
}

void MainWindow::setInfoValue(int row, const QString &value)
{
    mPack.setInfoValue(row, value);
    lpInfoblock->setValue(row, value);
}

QString MainWindow::proposedFileName(const QString &extension) const
{
    const InfoValues &info = mPack.info();
    return info.project + QLatin1Char('_') + info.name + QLatin1Char('_') + info.lang + QLatin1Char('.') + extension;
}

void MainWindow::updateActions()
{
    const bool open = mPack.state() == LanguagePack::State::Open;
    setActions({submitAction, resetAction}, mPendingEdits);
    saveAction->setEnabled(mSaveOffered);
    saveasAction->setEnabled(open || mSaveAsOffered);
    setActions({exportAction, newAction, renameAction, dropAction, toggleWW, closeAction}, open);
    const PackStep *undo = mPack.undoStep();
    const PackStep *redo = mPack.redoStep();
    undoAction->setEnabled(undo);
    redoAction->setEnabled(redo);
    undoAction->setText(undo ? QStringLiteral("Rückgängig: ") + undo->text() : QStringLiteral("Rückgängig"));
    redoAction->setText(redo ? QStringLiteral("Wiederholen: ") + redo->text() : QStringLiteral("Wiederholen"));
}

void MainWindow::setPendingEdits(bool pending)
{
    mPendingEdits = pending;
    updateActions();
}

void MainWindow::offerSave(bool save, bool saveAs)
{
    mSaveOffered = save;
    mSaveAsOffered = saveAs;
    updateActions();
}

void MainWindow::showPackSummary()
{
    const QLocale german(QLocale::German);
    QString text;
    if (mPack.state() == LanguagePack::State::Open) {
        text = mPack.fileName().isEmpty() ? QStringLiteral("Unbenannt") : mPack.fileName();
        if (mPack.isModified())
            text += QStringLiteral(" *");
        text += QStringLiteral("   ") + german.toString(mPack.keys().count()) + QStringLiteral(" Schlüssel, ")
            + german.toString(mPack.untranslatedCount()) + QStringLiteral(" ohne Übersetzung");
    }
    packSummary->setText(text);
}

bool MainWindow::fieldCanUndo(QObject *watched, bool redo) const
{
    if (const auto *memo = qobject_cast<const QPlainTextEdit *>(watched))
        return redo ? memo->document()->isRedoAvailable() : memo->document()->isUndoAvailable();
    if (const auto *field = qobject_cast<const QLineEdit *>(watched))
        return redo ? field->isRedoAvailable() : field->isUndoAvailable();
    return false;
}

QString MainWindow::unsavedNote(const char *what) const
{
    return QString::fromUtf8(what) + QStringLiteral(" (nicht gespeichert: ") + mPack.fileName() + QLatin1Char(')');
}

void MainWindow::setActions(std::initializer_list<QAction *> actions, bool enabled)
{
    for (QAction *action : actions)
        action->setEnabled(enabled);
}

// Key selection and editing.

bool MainWindow::hasPendingEdits() const
{
    return mPendingEdits && mPack.state() == LanguagePack::State::Open;
}

void MainWindow::takeOverPendingEdits()
{
    if (hasPendingEdits())
        submitKey(mShownKey);
}

void MainWindow::keyChosenByUser()
{
    takeOverPendingEdits();
    lpKeyChange();
}

void MainWindow::showKeyAt(int row)
{
    if (row < 0 || row >= mPack.keys().count())
        return;
    takeOverPendingEdits();
    lpKey->selectRow(row);
    lpKeyChange();
}

void MainWindow::lpKeyChange()
{
    mShownKey = lpKey->text();
    mKeyEditor->showEntry(mPack.entry(mShownKey));
    setPendingEdits(false);
    showStatus(QStringLiteral("Übersetzung geladen (") + mPack.fileName() + QLatin1Char(')'));
}

void MainWindow::lpValueChange()
{
    mSaveOffered = true;
    setPendingEdits(true);
    showStatus(unsavedNote("Übersetzung geändert"));
}

void MainWindow::lpCommentChange()
{
    setPendingEdits(true);
    showStatus(unsavedNote("Kommentar geändert"));
}

void MainWindow::htmlCheckboxClick()
{
    setPendingEdits(true);
}

void MainWindow::breakCheckboxClick()
{
    setPendingEdits(true);
}

void MainWindow::unixCheckBoxClick()
{
    setPendingEdits(true);
}

void MainWindow::submitActionExecute()
{
    submitKey(lpKey->text());
}

void MainWindow::submitKey(const QString &name)
{
    const qsizetype row = mPack.commit(name, mKeyEditor->entry());
    if (row >= 0 && name == lpKey->text())
        lpKey->selectRow(int(row));
    if (name == lpKey->text())
        mShownKey = name;
    mPendingEdits = false;
    offerSave(true, true);
    showStatus(unsavedNote("Änderungen übernommen"));
}

void MainWindow::resetActionExecute()
{
    const KeyEntry stored = mPack.entry(lpKey->text());
    mKeyEditor->setTexts(stored.translation, stored.comment);
    setPendingEdits(false);
}

void MainWindow::lpInfoblockStringsChange(int row)
{
    // An info edit is a step like any other; without a pack there is
    // nothing to save it to.
    InfoValues shown = lpInfoblock->values();
    mPack.editInfoValue(row, LanguagePack::infoField(shown, row));
    if (mPack.state() == LanguagePack::State::Open)
        offerSave(true, true);
}

// Undo and redo.

void MainWindow::undoActionExecute()
{
    lpInfoblock->commitPendingEdit();
    takeOverPendingEdits();
    const PackStep *step = mPack.undoStep();
    if (!step)
        return;
    const QString key = step->key();
    const int infoRow = step->infoRow();
    mPack.undo();
    showStepResult(key, infoRow);
}

void MainWindow::redoActionExecute()
{
    lpInfoblock->commitPendingEdit();
    takeOverPendingEdits();
    const PackStep *step = mPack.redoStep();
    if (!step)
        return;
    const QString key = step->key();
    const int infoRow = step->infoRow();
    mPack.redo();
    showStepResult(key, infoRow);
}

void MainWindow::showStepResult(const QString &key, int infoRow)
{
    mSaveOffered = mPack.isModified();
    if (infoRow >= 0) {
        showPage("TabSheet4");
        lpInfoblock->setCurrentCell(infoRow, 1);
    } else {
        // A key no longer listed leaves the row where it stood selected.
        const qsizetype row = mPack.keys().find(key);
        const int current = std::min(lpKey->currentRow(), int(mPack.keys().count()) - 1);
        lpKey->selectRow(row >= 0 ? int(row) : std::max(current, 0) < mPack.keys().count() ? std::max(current, 0) : -1);
        if (row < 0 && mPack.keys().count() == 0)
            lpKey->clear();
    }
    lpKeyChange();
    showStatus(QStringLiteral("Schritt angewandt (") + mPack.fileName() + QLatin1Char(')'));
}

// Loading, saving, new pack, close and exit.

void MainWindow::loadActionExecute()
{
    // Loading replaces the open pack, so unsaved work is asked about first.
    if (!checkUnsavedChanges())
        return;
    const QString path = mPrompts.openFile(OpenDialog1);
    if (path.isEmpty())
        return;
    OpenDialog1.fileName = path;
    // Reads everything before anything of the open pack changes; a large
    // file is read in the background, and a cancelled read changes nothing.
    std::optional<PackContent> read = runWithProgress<PackContent>(this, QStringLiteral("Languagepack wird geladen …"),
        QFileInfo(path).size(), [&path](Progress *p) { return LanguagePack::read(path, p); });
    if (!read) {
        showStatus(QStringLiteral("Laden abgebrochen"));
        return;
    }
    const QStringList caseVariants = mPack.adopt(std::move(*read), path);

    lpKey->clear();
    mKeyEditor->clearTexts();
    lpInfoblock->setValues(mPack.info());
    lpKey->selectRow(mPack.keys().count() > 0 ? 0 : -1);
    mPendingEdits = false;
    offerSave(false, false);
    lpKeyChange();
    showStatus(QStringLiteral("Languagepack geladen: ") + mPack.fileName());
    mKeyEditor->focusTranslation();
    prepareSearch();

    if (!caseVariants.isEmpty())
        showInfo(QStringLiteral("Diese Schlüssel unterscheiden sich nur in der Groß-/Kleinschreibung und teilen "
                                "sich daher Übersetzung, Kommentar und Optionen; beim Speichern erhalten sie "
                                "dieselben Texte: ")
            + caseVariants.join(QStringLiteral(", ")));
}

void MainWindow::saveActionExecute()
{
    lpInfoblock->commitPendingEdit();
    submitActionExecute();
    if (mPack.path().isEmpty()) {
        saveasActionExecute();
        return;
    }
    // A version the user typed is written as typed.
    if (!mPack.isVersionEdited())
        bumpVersion();
    writePack(mPack.path());
}

void MainWindow::saveasActionExecute()
{
    lpInfoblock->commitPendingEdit();
    SaveDialog1.title = QStringLiteral("Speichern als...");
    SaveDialog1.filter = QStringLiteral("XML-Languagepack (*.xml)|*.xml");
    submitActionExecute();
    SaveDialog1.fileName = !mPack.path().isEmpty() ? mPack.path() : proposedFileName(QStringLiteral("xml"));
    const QString path = mPrompts.saveFile(SaveDialog1);
    if (path.isEmpty())
        return;
    SaveDialog1.fileName = path;
    if (QFileInfo::exists(path)
        && !mPrompts.confirm(QStringLiteral("Diese Datei existiert bereits. Soll die Datei überschrieben werden?")))
        return;
    writePack(path);
}

void MainWindow::writePack(const QString &path)
{
    stampDate();
    switch (mPack.state()) {
    case LanguagePack::State::NeverOpened:
        showInfo(QStringLiteral("Ooops...\nKein Languagepack geladen\nBitte erst neues Languagpack anlegen"));
        return;
    case LanguagePack::State::Empty:
        showInfo(QStringLiteral("Ooops...\nSpeichern fehlgeschlagen...\nBitte erst neues Languagpack anlegen"));
        return;
    case LanguagePack::State::Open:
        break;
    }
    // Throws before anything is marked saved; the old file stays intact. A
    // large pack is written in the background.
    const qint64 existing = QFileInfo(mPack.path()).size();
    const InfoValues info = gridValues();
    const bool written = runWithProgress<bool>(this, QStringLiteral("Languagepack wird gespeichert …"),
        existing > 0 ? existing : 330 * qint64(mPack.keys().count()), [&](Progress *p) {
            mPack.writeFile(path, info, p);
            return true;
        }).has_value();
    if (!written) {
        showStatus(QStringLiteral("Speichern abgebrochen"));
        return;
    }
    mPack.markWritten(path);
    showStatus(QStringLiteral("Gespeichert: ") + mPack.fileName());
    offerSave(false, mSaveAsOffered);
    showPackSummary();
}

void MainWindow::bumpVersion()
{
    setInfoValue(3, Wordloom::bumpVersion(mPack.info().version));
}

void MainWindow::stampDate()
{
    // Date and time are two readings of the clock.
    const QDate date = mClock.currentDate();
    const QTime time = mClock.currentTime();
    lastChange = QDateTime(date, time);
    setInfoValue(4, formatDateStamp(date, time));
}

bool MainWindow::checkUnsavedChanges()
{
    lpInfoblock->commitPendingEdit();
    if (mPack.isSaved() && !hasPendingEdits())
        return true;
    switch (mPrompts.askUnsavedChanges(QStringLiteral("Languagepack nicht gespeichert! Jetzt speichern?"))) {
    case UnsavedAnswer::Yes:
        saveActionExecute();
        // A Save As dialog the user cancelled cancels the command too.
        return mPack.isSaved();
    case UnsavedAnswer::No:
        return true;
    case UnsavedAnswer::Cancel:
        break;
    }
    return false;
}

void MainWindow::newFileExecute()
{
    if (!checkUnsavedChanges())
        return;
    setInfoValue(0, QStringLiteral("Unnamed"));
    setInfoValue(1, QStringLiteral("Package"));
    setInfoValue(2, QStringLiteral("Lang"));
    setInfoValue(3, QStringLiteral("1.0.0"));
    stampDate();
    SaveDialog1.fileName.clear();
    lpKey->clear();
    mPack.create(mPack.info());
    mPendingEdits = false;
    offerSave(true, mSaveAsOffered);
    showPackSummary();
    lpKeyChange();
    showStatus(QStringLiteral("Neues Languagepack erstellt"));
    showPage("TabSheet4");
}

void MainWindow::closeActionExecute()
{
    if (!checkUnsavedChanges())
        return;
    lpKey->clear();
    mKeyEditor->clearTexts();
    mPack.close();
    lpInfoblock->setValues(mPack.info());
    SaveDialog1.fileName.clear();
    mPendingEdits = false;
    offerSave(false, false);
    showPackSummary();
    lpKeyChange();
    showStatus(QStringLiteral("Kein Languagepack geladen"));
}

void MainWindow::exitActionExecute()
{
    if (!checkUnsavedChanges())
        return;
    mClosingConfirmed = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Closing the window by any means asks about unsaved work, like Exit.
    bool mayClose = mClosingConfirmed;
    if (!mayClose)
        guarded([&] { mayClose = checkUnsavedChanges(); });
    if (!mayClose) {
        event->ignore();
        return;
    }
    mNewKeyDialog->hide();
    mRenameKeyDialog->hide();
    mAboutBox->hide();
    event->accept();
}

// Key management.

void MainWindow::newActionExecute()
{
    placeAtStoredPosition(mNewKeyDialog);
    showInFront(mNewKeyDialog);
    mNewKeyDialog->newkey()->selectAll();
    mNewKeyDialog->newkey()->setFocus();
}

void MainWindow::newKeyRequestExecute()
{
    takeOverPendingEdits();
    const QString name = mNewKeyDialog->keyName();
    const qsizetype existing = mPack.keys().find(name);
    if (existing >= 0) {
        showInfo(QStringLiteral("Schlüssel bereits vorhanden!"));
        lpKey->selectRow(int(existing));
        lpKeyChange();
        return;
    }
    lpKey->selectRow(int(mPack.addKey(name)));
    mKeyEditor->clearTexts();
    mKeyEditor->clearOptions();
    mShownKey = name;
    mKeyEditor->focusTranslation();
}

void MainWindow::dropActionExecute()
{
    const int row = lpKey->currentRow();
    mPack.dropKey(lpKey->text(), row);
    // The entry before the dropped one is shown, or the first.
    const int shown = std::max(row - 1, 0);
    lpKey->selectRow(shown < mPack.keys().count() ? shown : -1);
    lpKeyChange();
}

void MainWindow::renameActionExecute()
{
    placeAtStoredPosition(mRenameKeyDialog);
    mRenameKeyDialog->setKeyName(lpKey->text());
    showInFront(mRenameKeyDialog);
    mRenameKeyDialog->newkey()->setFocus();
}

void MainWindow::renameKeyRequestExecute()
{
    const QString newName = mRenameKeyDialog->keyName();
    const qsizetype row = mPack.renameKey(lpKey->text(), lpKey->currentRow(), newName, mKeyEditor->translation());
    if (row < 0) {
        showInfo(QStringLiteral("Schlüssel bereits vorhanden!"));
        return;
    }
    lpKey->selectRow(int(row));
    mShownKey = newName;
    offerSave(true, true);
    showStatus(QStringLiteral("Key/Value geändert (") + mPack.fileName() + QStringLiteral(" nicht gespeichert)"));
}

// Search.

// The search index of a loaded pack is built in the background, so the
// first keystroke does not wait for it.
void MainWindow::prepareSearch()
{
    if (mPack.data().hashlistKeys.count() <= kLargeSearch)
        return;
    const std::shared_ptr<Hashlist::IndexBuild> build = mPack.data().hashlistKeys.prepareSearchIndex();
    if (!build)
        return;
    mSearchBuild = build;
    auto *watcher = new QFutureWatcher<void>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, build] {
        watcher->deleteLater();
        adoptSearchIndex(build);
    });
    mSearchFuture = QtConcurrent::run(&workerPool(), [build] { build->run(); });
    watcher->setFuture(mSearchFuture);
}

void MainWindow::adoptSearchIndex(const std::shared_ptr<Hashlist::IndexBuild> &build)
{
    if (mSearchBuild != build)
        return;
    mSearchFuture.waitForFinished();
    mPack.data().hashlistKeys.adoptSearchIndex(*build);
    mSearchBuild.reset();
}

bool MainWindow::isSearchReady() const
{
    return !mSearchBuild;
}

void MainWindow::suchActionExecute()
{
    const Hashlist &translations = mPack.data().hashlistKeys;
    // A search before the background build is done waits for it; without
    // one, the first search of a large pack builds the index first.
    std::optional<BusyCursor> busy;
    if (!translations.isSearchReady() && translations.count() > kLargeSearch && !suchbegriff->text().isEmpty()) {
        busy.emplace();
        if (mSearchBuild)
            adoptSearchIndex(mSearchBuild);
    }
    mResults->show(translations.linesContaining(suchbegriff->text()));
}

void MainWindow::suchbegriffChange()
{
    if (searchOnType->isChecked())
        suchActionExecute();
}

void MainWindow::changeSearchTypeExecute()
{
    if (searchOnType->isChecked()) {
        suchAction->setEnabled(false);
        suchActionExecute();
    } else {
        suchAction->setEnabled(true);
    }
}

void MainWindow::ergenbisseClick()
{
    const QString name = ergenbisse->currentIndex().data().toString();
    takeOverPendingEdits();
    lpKey->selectRow(int(mPack.keys().find(name)));
    lpKeyChange();
}

// Checks.

void MainWindow::doppelCheckExecute()
{
    showInfo(duplicateCheckMessage(checkForDuplicates(mPack.keys().names())));
}

void MainWindow::syntaxCheckExecute()
{
    showInfo(syntaxCheckMessage(checkKeySyntax(mPack.keys().names())));
}

// Export.

void MainWindow::scanForPlugins(const QString &folder)
{
    mPlugins.scan(folder);
    exportModules->addItems(mPlugins.exportNames());
}

void MainWindow::exportActionExecute()
{
    const QList<QListWidgetItem *> selected = exportModules->selectedItems();
    if (selected.isEmpty()) {
        showInfo(QStringLiteral("Bitte ein Export-Modul auswählen"));
        return;
    }
    lpInfoblock->commitPendingEdit();
    const auto chooseFile = [this](const ExportOffer &offer) {
        SaveDialog1.title = offer.dialogTitle();
        SaveDialog1.defaultExtension = offer.extension;
        SaveDialog1.filter = offer.dialogFilter();
        SaveDialog1.fileName = proposedFileName(offer.extension);
        const QString path = mPrompts.saveFile(SaveDialog1);
        if (!path.isEmpty())
            SaveDialog1.fileName = path;
        return path;
    };
    if (runExport(mPlugins.libraryPath(selected.constFirst()->text()), mPack.data(), chooseFile)
        == ExportOutcome::NotLoaded)
        showInfo(QStringLiteral("Oops: Fehler beim Laden des Plugins... :("));
}

void MainWindow::exportModulesDblClick()
{
    exportActionExecute();
}

// Window.

void MainWindow::toggleWWExecute()
{
    mKeyEditor->setTranslationWrapped(checkWW->isChecked());
}

void MainWindow::aboutActionExecute()
{
    showInFront(mAboutBox);
}

void MainWindow::nextActionExecute()
{
    showKeyAt(lpKey->currentRow() + 1);
}

void MainWindow::prevActionExecute()
{
    showKeyAt(lpKey->currentRow() - 1);
}

} // namespace Wordloom
