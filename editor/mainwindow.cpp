#include "editor/mainwindow.h"

#include "checks/keychecks.h"
#include "document/clock.h"
#include "document/error.h"
#include "editor/aboutbox.h"
#include "editor/infogrid.h"
#include "editor/keylistbox.h"
#include "editor/namelistview.h"
#include "editor/newkeydialog.h"
#include "plugins/exportrun.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStringListModel>
#include <QTabWidget>

#include <optional>

namespace Wordloom {

namespace {

const QString kOn = QStringLiteral("1");
const QString kOff = QStringLiteral("0");

// Shows the wait cursor while a long load or save runs.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

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
    buildLayout();
    buildActions();

    connect(lpKey, &KeyListBox::userChanged, this, handler(&MainWindow::keyChosenByUser));
    connect(lpValue, &QPlainTextEdit::textChanged, this, [this] {
        if (!mMemoSilent)
            handler(&MainWindow::lpValueChange)();
    });
    connect(lpComment, &QPlainTextEdit::textChanged, this, [this] {
        if (!mMemoSilent)
            handler(&MainWindow::lpCommentChange)();
    });
    connect(htmlCheckbox, &QCheckBox::clicked, this, handler(&MainWindow::htmlCheckboxClick));
    connect(breakCheckbox, &QCheckBox::clicked, this, handler(&MainWindow::breakCheckboxClick));
    connect(unixCheckBox, &QCheckBox::clicked, this, handler(&MainWindow::unixCheckBoxClick));
    connect(lpInfoblock, &InfoGrid::userEdited, this, handler(&MainWindow::lpInfoblockStringsChange));
    connect(suchbegriff, &QLineEdit::textChanged, this, handler(&MainWindow::suchbegriffChange));
    connect(ergenbisse, &NameListView::userPicked, this, [this](int row) {
        if (row >= 0)
            handler(&MainWindow::ergenbisseClick)();
    });
    connect(exportModules, &QListWidget::itemDoubleClicked, this, handler(&MainWindow::exportModulesDblClick));

    mNewKeyDialog = new NewKeyDialog(this);
    mNewKeyDialog->setObjectName(QStringLiteral("newKeyDialog"));
    mNewKeyDialog->onConfirm = [this](NewKeyDialog &) { handler(&MainWindow::newKeyRequestExecute)(); };
    mNewKeyDialog->hide();
    mRenameKeyDialog = new NewKeyDialog(this);
    mRenameKeyDialog->setObjectName(QStringLiteral("renameKeyDialog"));
    mRenameKeyDialog->onConfirm = [this](NewKeyDialog &) { renameKeyRequest->trigger(); };
    mRenameKeyDialog->hide();
    mAboutBox = new AboutBox(this);
    mAboutBox->hide();
    scanForPlugins(pluginFolder);

    setActions({saveAction, saveasAction, closeAction}, false);
    PageControl1->setCurrentWidget(PageControl1->findChild<QWidget *>(QStringLiteral("TabSheet5")));

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

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        // A text field claims some combinations (Ctrl+A, Ctrl+Up) for itself;
        // an enabled action of the window takes them first. Left unclaimed,
        // the key goes to the window's shortcuts.
        const QKeySequence pressed(static_cast<QKeyEvent *>(event)->keyCombination());
        for (const QAction *action : actions()) {
            if (action->isEnabled() && action->shortcuts().contains(pressed)) {
                event->ignore();
                return true;
            }
        }
    } else if (event->type() == QEvent::KeyPress && (watched == lpValue || watched == lpComment)) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::ControlModifier) {
            static_cast<QPlainTextEdit *>(watched)->insertPlainText(QStringLiteral("\t"));
            return true;
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

QString MainWindow::memoText(const QPlainTextEdit *memo) const
{
    QString text = memo->toPlainText();
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text;
}

void MainWindow::setMemoText(QPlainTextEdit *memo, const QString &text)
{
    if (memoText(memo) == text)
        return;
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    mMemoSilent = true;
    memo->setPlainText(shown);
    mMemoSilent = false;
    if (memo == lpValue)
        lpValueChange();
    else
        lpCommentChange();
}

void MainWindow::clearMemo(QPlainTextEdit *memo)
{
    mMemoSilent = true;
    memo->clear();
    mMemoSilent = false;
}

void MainWindow::setOption(QCheckBox *box, bool checked)
{
    if (box->isChecked() == checked)
        return;
    box->setChecked(checked);
    if (box == htmlCheckbox)
        htmlCheckboxClick();
    else if (box == breakCheckbox)
        breakCheckboxClick();
    else
        unixCheckBoxClick();
}

InfoValues MainWindow::gridValues()
{
    return lpInfoblock->values();
}

void MainWindow::setGridValue(int row, const QString &value)
{
    lpInfoblock->setValue(row, value);
}

void MainWindow::copyGridToFields()
{
    mPack.setInfo(gridValues());
}

void MainWindow::setInfoValue(int row, const QString &value)
{
    InfoValues info = mPack.info();
    QString *const fields[] = {&info.project, &info.name, &info.lang, &info.version, &info.date};
    *fields[row] = value;
    mPack.setInfo(info);
    setGridValue(row, value);
}

QString MainWindow::proposedFileName(const QString &extension) const
{
    const InfoValues &info = mPack.info();
    return info.project + QLatin1Char('_') + info.name + QLatin1Char('_') + info.lang + QLatin1Char('.') + extension;
}

void MainWindow::showPackActions(bool open)
{
    setActions({submitAction, resetAction}, false);
    setActions({exportAction, newAction, renameAction, dropAction, toggleWW, saveasAction, closeAction}, open);
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
    return submitAction->isEnabled() && mPack.state() == LanguagePack::State::Open;
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
    const KeyEntry shown = mPack.entry(mShownKey);
    setMemoText(lpValue, shown.translation);
    setMemoText(lpComment, shown.comment);
    setOption(htmlCheckbox, false);
    setOption(breakCheckbox, false);
    setOption(unixCheckBox, false);
    if (shown.encodeHTML == kOn)
        setOption(htmlCheckbox, true);
    if (shown.preserveLinebreaks == kOn)
        setOption(breakCheckbox, true);
    if (shown.unixNewline == kOn)
        setOption(unixCheckBox, true);
    setActions({submitAction, resetAction}, false);
    showStatus(QStringLiteral("Übersetzung geladen (") + mPack.fileName() + QLatin1Char(')'));
}

void MainWindow::lpValueChange()
{
    setActions({submitAction, resetAction, saveAction}, true);
    showStatus(unsavedNote("Übersetzung geändert"));
}

void MainWindow::lpCommentChange()
{
    setActions({submitAction, resetAction}, true);
    showStatus(unsavedNote("Kommentar geändert"));
}

void MainWindow::htmlCheckboxClick()
{
    setActions({submitAction, resetAction}, true);
}

void MainWindow::breakCheckboxClick()
{
    setActions({submitAction, resetAction}, true);
}

void MainWindow::unixCheckBoxClick()
{
    setActions({submitAction, resetAction}, true);
}

void MainWindow::submitActionExecute()
{
    submitKey(lpKey->text());
}

void MainWindow::submitKey(const QString &name)
{
    const KeyEntry edited{memoText(lpValue), memoText(lpComment), htmlCheckbox->isChecked() ? kOn : kOff,
        breakCheckbox->isChecked() ? kOn : kOff, unixCheckBox->isChecked() ? kOn : kOff};
    const qsizetype row = mPack.commit(name, edited);
    if (row >= 0 && name == lpKey->text())
        lpKey->selectRow(int(row));
    if (name == lpKey->text())
        mShownKey = name;
    setActions({submitAction, resetAction}, false);
    setActions({saveAction, saveasAction}, true);
    showStatus(unsavedNote("Änderungen übernommen"));
}

void MainWindow::resetActionExecute()
{
    const KeyEntry stored = mPack.entry(lpKey->text());
    setMemoText(lpValue, stored.translation);
    setMemoText(lpComment, stored.comment);
    setActions({resetAction, submitAction}, false);
}

void MainWindow::lpInfoblockStringsChange()
{
    // An info edit is unsaved work like any other; without a pack there is
    // nothing to save it to.
    if (mPack.state() != LanguagePack::State::Open)
        return;
    setActions({saveAction, saveasAction}, true);
    mPack.markModified();
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
    // Reads everything before anything of the open pack changes.
    QStringList caseVariants;
    {
        const BusyCursor busy;
        caseVariants = mPack.load(path);
    }

    lpKey->clear();
    clearMemo(lpValue);
    clearMemo(lpComment);
    lpInfoblock->setValues(mPack.info());
    lpKey->selectRow(mPack.keys().count() > 0 ? 0 : -1);
    showPackActions(true);
    saveAction->setEnabled(false);
    lpKeyChange();
    showStatus(QStringLiteral("Languagepack geladen: ") + mPack.fileName());
    lpValue->setFocus();

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
    bumpVersion();
    writePack(mPack.path());
}

void MainWindow::saveasActionExecute()
{
    lpInfoblock->commitPendingEdit();
    SaveDialog1.title = QStringLiteral("Speichern als...");
    SaveDialog1.filter = QStringLiteral("XML-Languagepack (*.xml)|*.xml");
    submitActionExecute();
    copyGridToFields();
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
    // Throws before anything is marked saved; the old file stays intact.
    {
        const BusyCursor busy;
        mPack.write(path, gridValues());
    }
    showStatus(QStringLiteral("Gespeichert: ") + mPack.fileName());
    saveAction->setEnabled(false);
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
    showPackActions(true);
    saveAction->setEnabled(true);
    lpKeyChange();
    showStatus(QStringLiteral("Neues Languagepack erstellt"));
    PageControl1->setCurrentWidget(PageControl1->findChild<QWidget *>(QStringLiteral("TabSheet4")));
}

void MainWindow::closeActionExecute()
{
    if (!checkUnsavedChanges())
        return;
    lpKey->clear();
    clearMemo(lpValue);
    clearMemo(lpComment);
    mPack.close();
    lpInfoblock->setValues(mPack.info());
    SaveDialog1.fileName.clear();
    showPackActions(false);
    saveAction->setEnabled(false);
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
    clearMemo(lpValue);
    clearMemo(lpComment);
    setOption(htmlCheckbox, false);
    setOption(breakCheckbox, false);
    setOption(unixCheckBox, false);
    mShownKey = name;
    lpValue->setFocus();
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
    const qsizetype row = mPack.renameKey(lpKey->text(), lpKey->currentRow(), newName, memoText(lpValue));
    if (row < 0) {
        showInfo(QStringLiteral("Schlüssel bereits vorhanden!"));
        return;
    }
    lpKey->selectRow(int(row));
    mShownKey = newName;
    setActions({saveAction, saveasAction}, true);
    showStatus(QStringLiteral("Key/Value geändert (") + mPack.fileName() + QStringLiteral(" nicht gespeichert)"));
}

// Search.

void MainWindow::suchActionExecute()
{
    const Hashlist &translations = mPack.data().hashlistKeys;
    // The first search of a large pack builds the search index first.
    std::optional<BusyCursor> busy;
    if (!translations.isSearchReady() && translations.count() > 10000 && !suchbegriff->text().isEmpty())
        busy.emplace();
    mResults->setStringList(translations.namesContaining(suchbegriff->text()));
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
        copyGridToFields();
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
    const bool wrap = checkWW->isChecked();
    lpValue->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    lpValue->setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
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
