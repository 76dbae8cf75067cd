#include "editor/mainwindow.h"

#include "checks/keychecks.h"
#include "document/clock.h"
#include "document/error.h"
#include "document/journal.h"
#include "editor/aboutbox.h"
#include "editor/checkspage.h"
#include "editor/errorguard.h"
#include "editor/infogrid.h"
#include "editor/keyeditorpanel.h"
#include "editor/keylistbox.h"
#include "editor/layoutparts.h"
#include "editor/namelistview.h"
#include "editor/newkeydialog.h"
#include "editor/referencepanel.h"
#include "editor/searchpage.h"
#include "editor/shortcutrouter.h"
#include "editor/statusline.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTabWidget>

namespace Wordloom {

MainWindow::MainWindow(Prompts &prompts, const Clock &clock, const QString &pluginFolder, QWidget *parent)
    : QMainWindow(parent)
    , mPrompts(prompts)
    , mClock(clock)
    , mActions(this)
{
    setupUi(this, mPack, mActions);
    connectActions();
    mReferencePanel = new ReferencePanel(this, mPack, mPrompts, mKeyEditor, mStatusLine,
        findChild<QMenu *>(QStringLiteral("menuLanguagepack")));
    mReferencePanel->beforeAdding = [this] { takeOverPendingEdits(); };
    mChecksPage->attach(mPrompts, mReferencePanel);
    connect(mChecksPage, &ChecksPage::keyPicked, this, [this](const QString &name) {
        guarded([this, &name] {
            takeOverPendingEdits();
            showKey(name);
        });
    });
    mSearchPage->setReference(mReferencePanel->reference());
    connect(mReferencePanel, &ReferencePanel::keysAdded, this, [this](const QString &first) {
        offerSave(true, true);
        showKey(first);
    });

    connect(lpKey, &KeyListBox::userChanged, this, handler(&MainWindow::keyChosenByUser));
    connect(mKeyEditor, &KeyEditorPanel::translationChanged, this, handler(&MainWindow::lpValueChange));
    connect(mKeyEditor, &KeyEditorPanel::commentChanged, this, handler(&MainWindow::lpCommentChange));
    connect(mKeyEditor, &KeyEditorPanel::optionClicked, this, [this](KeyEditorPanel::Option option) {
        void (MainWindow::*const clicks[])()
            = {&MainWindow::htmlCheckboxClick, &MainWindow::breakCheckboxClick, &MainWindow::unixCheckBoxClick};
        handler(clicks[int(option)])();
    });
    connect(lpInfoblock, &InfoGrid::userEdited, this,
        [this](int row) { guarded([this, row] { lpInfoblockStringsChange(row); }); });
    connect(&mPack, &LanguagePack::infoChanged, this,
        [this](int row) { lpInfoblock->setValue(row, LanguagePack::infoField(mPack.info(), row)); });
    connect(&mPack, &LanguagePack::modifiedChanged, this, [this] { mStatusLine->showSummary(mPack); });
    connect(&mPack.history(), &QUndoStack::indexChanged, this, [this] {
        updateActions();
        mStatusLine->showSummary(mPack);
    });
    connect(mSearchPage->field(), &QLineEdit::textChanged, this, handler(&MainWindow::suchbegriffChange));
    connect(mSearchPage->results(), &NameListView::userPicked, this, [this](int row) {
        if (row >= 0)
            handler (&MainWindow::ergenbisseClick)();
    });
    connect(mSearchPage, &SearchPage::queryChanged, this, handler(&MainWindow::suchbegriffChange));
    connect(mSearchPage->replaceButton(), &QPushButton::clicked, this, handler(&MainWindow::replaceAllExecute));
    for (const bool forward : {true, false}) {
        QAction *step = forward ? mSearchPage->findNextAction() : mSearchPage->findPreviousAction();
        addAction(step);
        connect(step, &QAction::triggered, this,
            [this, forward] { guarded([this, forward] { stepToResult(forward); }); });
    }
    connect(exportModules, &QListWidget::itemDoubleClicked, this, handler(&MainWindow::exportModulesDblClick));

    mNewKeyDialog = named(new NewKeyDialog(this), "newKeyDialog");
    mNewKeyDialog->onConfirm = [this](NewKeyDialog &) { handler (&MainWindow::newKeyRequestExecute)(); };
    mNewKeyDialog->hide();
    mRenameKeyDialog = named(new NewKeyDialog(this), "renameKeyDialog");
    mRenameKeyDialog->onConfirm = [this](NewKeyDialog &) { mActions.renameKeyRequest->trigger(); };
    mRenameKeyDialog->hide();
    mAboutBox = new AboutBox(this);
    mAboutBox->hide();
    scanForPlugins(pluginFolder);
    // After the message of the command that made the step.
    connect(&mFiles.journal(), &Journal::failed, this, &MainWindow::showStatus, Qt::QueuedConnection);

    updateActions();
    mStatusLine->showSummary(mPack);
    showPage("TabSheet5");

    // The window's shortcuts go before what a text field would make of the
    // same keys.
    new ShortcutRouter(this, mActions);
}

MainWindow::~MainWindow() = default;

void MainWindow::connectActions()
{
    const ActionTable &a = mActions;
    const std::pair<QAction *, void (MainWindow::*)()> handlers[] = {
        {a.exitAction, &MainWindow::exitActionExecute},
        {a.exportAction, &MainWindow::exportActionExecute},
        {a.newAction, &MainWindow::newActionExecute},
        {a.dropAction, &MainWindow::dropActionExecute},
        {a.renameAction, &MainWindow::renameActionExecute},
        {a.renameKeyRequest, &MainWindow::renameKeyRequestExecute},
        {a.submitAction, &MainWindow::submitActionExecute},
        {a.resetAction, &MainWindow::resetActionExecute},
        {a.suchAction, &MainWindow::suchActionExecute},
        {a.changeSearchType, &MainWindow::changeSearchTypeExecute},
        {a.toggleWW, &MainWindow::toggleWWExecute},
        {a.doppelCheck, &MainWindow::doppelCheckExecute},
        {a.syntaxCheck, &MainWindow::syntaxCheckExecute},
        {a.aboutAction, &MainWindow::aboutActionExecute},
        {a.nextAction, &MainWindow::nextActionExecute},
        {a.prevAction, &MainWindow::prevActionExecute},
        {a.undoAction, &MainWindow::undoActionExecute},
        {a.redoAction, &MainWindow::redoActionExecute},
    };
    for (const auto &[action, method] : handlers)
        connect(action, &QAction::triggered, this, handler(method));
    const std::pair<QAction *, void (FileCommands::*)()> fileHandlers[] = {
        {a.loadAction, &FileCommands::loadActionExecute},
        {a.newFile, &FileCommands::newFileExecute},
        {a.saveAction, &FileCommands::saveActionExecute},
        {a.saveasAction, &FileCommands::saveasActionExecute},
        {a.closeAction, &FileCommands::closeActionExecute},
    };
    for (const auto &entry : fileHandlers) {
        const auto method = entry.second;
        connect(entry.first, &QAction::triggered, this,
            [this, method] { guarded([this, method] { (mFiles.*method)(); }); });
    }
}

void MainWindow::showPage(const char *name)
{
    PageControl1->setCurrentWidget(PageControl1->findChild<QWidget *>(QLatin1String(name)));
}

bool MainWindow::guarded(const std::function<void()> &handler)
{
    return runGuarded(mPrompts, handler);
}

std::function<void()> MainWindow::handler(void (MainWindow::*method)())
{
    return [this, method] { guarded([this, method] { (this->*method)(); }); };
}

void MainWindow::showStatus(const QString &message)
{
    mStatusLine->showMessage(message);
}

QString MainWindow::statusText() const
{
    return mStatusLine->message();
}

void MainWindow::showInfo(const QString &message)
{
    mPrompts.showInfo(message);
}

void MainWindow::updateActions()
{
    mActions.showState(mPack, mPendingEdits, mSaveOffered, mSaveAsOffered);
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

QString MainWindow::unsavedNote(const char *what) const
{
    return QString::fromUtf8(what) + QStringLiteral(" (nicht gespeichert: ") + mPack.fileName() + QLatin1Char(')');
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
    mReferencePanel->showKey(mShownKey);
    mChecksPage->showKey(mShownKey);
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
    // A take-over that changes nothing is no change.
    if (mKeyEditor->shows(mPack.entry(name)))
        return setPendingEdits(false);
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
    mPack.editInfoValue(row, LanguagePack::infoField(lpInfoblock->values(), row));
    if (mPack.state() == LanguagePack::State::Open)
        offerSave(true, true);
}

// Undo and redo.

void MainWindow::undoActionExecute()
{
    replayStep(false);
}

void MainWindow::redoActionExecute()
{
    replayStep(true);
}

void MainWindow::replayStep(bool forward)
{
    lpInfoblock->commitPendingEdit();
    takeOverPendingEdits();
    const PackStep *step = forward ? mPack.redoStep() : mPack.undoStep();
    if (!step)
        return;
    const QString key = step->key();
    const int infoRow = step->infoRow();
    forward ? mPack.redo() : mPack.undo();
    mSearchPage->refresh();
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
        const int count = int(mPack.keys().count());
        lpKey->selectRow(row >= 0 ? int(row) : count > 0 ? std::clamp(lpKey->currentRow(), 0, count - 1) : -1);
    }
    lpKeyChange();
    showStatus(QStringLiteral("Schritt angewandt (") + mPack.fileName() + QLatin1Char(')'));
}

// Loading, saving, new pack, close and exit.

void MainWindow::commitInfoEdit()
{
    lpInfoblock->commitPendingEdit();
}

void MainWindow::submitPendingEdits()
{
    if (mPendingEdits)
        submitActionExecute();
}

void MainWindow::showFreshPack(Fresh how)
{
    if (how != Fresh::Recovered) {
        lpKey->clear();
        mKeyEditor->clearTexts();
        lpInfoblock->setValues(mPack.info());
        offerSave(how == Fresh::Created, how == Fresh::Created && mSaveAsOffered);
        mStatusLine->showSummary(mPack);
    }
    lpKey->selectRow(mPack.keys().count() > 0 ? 0 : -1);
    lpKeyChange();
    if (how == Fresh::Loaded) {
        mKeyEditor->focusTranslation();
        mSearchPage->prepare();
    } else if (how == Fresh::Created) {
        showPage("TabSheet4");
    }
}

void MainWindow::showWritten()
{
    offerSave(false, mSaveAsOffered);
    mStatusLine->showSummary(mPack);
}

void MainWindow::openAtStart(const QString &path)
{
    if (path.isEmpty())
        guarded([this] { mFiles.offerRecovery(); });
    else
        guarded([this, &path] { mFiles.openPath(path); });
}

void MainWindow::exitActionExecute()
{
    if (!mFiles.checkUnsavedChanges())
        return;
    mClosingConfirmed = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Closing the window by any means asks about unsaved work, like Exit.
    bool mayClose = mClosingConfirmed;
    if (!mayClose)
        guarded([&] { mayClose = mFiles.checkUnsavedChanges(); });
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

bool MainWindow::isSearchReady() const
{
    return mSearchPage->isReady();
}

void MainWindow::suchActionExecute()
{
    mSearchPage->search();
}

void MainWindow::suchbegriffChange()
{
    if (mSearchPage->onTypeBox()->isChecked())
        suchActionExecute();
}

void MainWindow::changeSearchTypeExecute()
{
    if (mSearchPage->onTypeBox()->isChecked()) {
        mActions.suchAction->setEnabled(false);
        suchActionExecute();
    } else {
        mActions.suchAction->setEnabled(true);
    }
}

void MainWindow::ergenbisseClick()
{
    const QString name = mSearchPage->results()->currentIndex().data().toString();
    takeOverPendingEdits();
    showKey(name);
}

void MainWindow::stepToResult(bool forward)
{
    takeOverPendingEdits();
    if (const QString name = mSearchPage->stepResult(lpKey->text(), forward); !name.isEmpty())
        showKey(name);
}

void MainWindow::showKey(const QString &name)
{
    // This spelling, not a twin differing only in case.
    const qsizetype exact = mPack.keys().exactRow(name);
    lpKey->selectRow(int(exact >= 0 ? exact : mPack.keys().find(name)));
    lpKeyChange();
}

void MainWindow::replaceAllExecute()
{
    takeOverPendingEdits();
    const QString done = mSearchPage->replaceAll(mPack, mPrompts);
    offerSave(mPack.isModified(), mSaveAsOffered);
    lpKeyChange();
    if (!done.isEmpty())
        showStatus(mPack.isModified() ? unsavedNote(done.toUtf8().constData()) : done);
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
    exportModules->addItems(mExport.scan(folder));
    if (const QString skipped = mExport.skippedMessage(); !skipped.isEmpty())
        showStatus(skipped);
}

void MainWindow::exportActionExecute()
{
    const QList<QListWidgetItem *> selected = exportModules->selectedItems();
    if (selected.isEmpty()) {
        showInfo(QStringLiteral("Bitte ein Export-Modul auswählen"));
        return;
    }
    lpInfoblock->commitPendingEdit();
    // The work is on disk before the plug-in's helper starts.
    mFiles.journal().sync();
    const QString exported = mExport.run(selected.constFirst()->text(), mPack, this);
    if (!exported.isEmpty())
        showStatus(exported);
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
