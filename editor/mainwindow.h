#pragma once

#include "document/languagepack.h"
#include "editor/actiontable.h"
#include "editor/exportcommand.h"
#include "editor/filecommands.h"
#include "editor/mainwindowui.h"
#include "editor/prompts.h"

#include <QDateTime>
#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QListWidget;
class QTabWidget;

namespace Wordloom {

class AboutBox;
class InfoGrid;
class Journal;
class Clock;
class KeyEditorPanel;
class KeyListBox;
class NewKeyDialog;
class ReferencePanel;
class SearchPage;
class StatusLine;

// The editor's one main window: the controls, the action table and every
// handler. The open pack's data lives in the LanguagePack it holds.
class MainWindow : public QMainWindow, private MainWindowUi, private FileCommandsHost {
    Q_OBJECT
public:
    // Export plug-ins are looked for in pluginFolder, normally
    // PluginCatalog::programPluginFolder().
    MainWindow(Prompts &prompts, const Clock &clock, const QString &pluginFolder, QWidget *parent = nullptr);
    ~MainWindow() override;

    LanguagePack &pack() { return mPack; }
    const LanguagePack &pack() const { return mPack; }
    NewKeyDialog *newKeyDialog() const { return mNewKeyDialog; }
    NewKeyDialog *renameKeyDialog() const { return mRenameKeyDialog; }
    AboutBox *aboutBox() const { return mAboutBox; }
    ReferencePanel *referencePanel() const { return mReferencePanel; }
    const PluginCatalog &plugins() const { return mExport.plugins(); }
    QString statusText() const;

    // Handlers, named after their action or control and event.
    void lpKeyChange();
    // The user chose another key in the key box.
    void keyChosenByUser();
    void lpValueChange();
    void lpCommentChange();
    void htmlCheckboxClick();
    void breakCheckboxClick();
    void unixCheckBoxClick();
    void submitActionExecute();
    // Stores the editor's texts and options under a name, as "Übernehmen".
    void submitKey(const QString &name);
    // Whether the editor holds edits not yet taken over.
    bool hasPendingEdits() const override;
    // Takes the pending edits over under the key shown.
    void takeOverPendingEdits();
    // Shows the key at a row of the list, after taking edits over.
    void showKeyAt(int row);
    void resetActionExecute();
    void lpInfoblockStringsChange(int row);
    void undoActionExecute();
    void redoActionExecute();

    // Loading, saving, a new pack, closing and the recovery offer.
    FileCommands &files() { return mFiles; }
    void exitActionExecute();
    // At start-up: opens the pack named on the command line, if any, and
    // offers what sessions that ended without saving left.
    void openAtStart(const QString &path);

    void newActionExecute();
    void newKeyRequestExecute();
    void dropActionExecute();
    void renameActionExecute();
    void renameKeyRequestExecute();

    void suchActionExecute();
    // Whether no search index is being built in the background (a load of
    // a large pack starts one).
    bool isSearchReady() const;
    void suchbegriffChange();
    void changeSearchTypeExecute();
    void ergenbisseClick();
    // F3 and Shift+F3: the next or previous result from the current key.
    void stepToResult(bool forward);
    void replaceAllExecute();

    void doppelCheckExecute();
    void syntaxCheckExecute();

    void scanForPlugins(const QString &folder);
    void exportActionExecute();
    void exportModulesDblClick();

    void toggleWWExecute();
    void aboutActionExecute();
    void nextActionExecute();
    void prevActionExecute();

    void showInfo(const QString &message);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Runs each action's handler when it is triggered.
    void connectActions();

    // Runs a handler; an error ends it and is shown in the error box.
    bool guarded(const std::function<void()> &handler);
    // A slot that runs the handler through guarded().
    std::function<void()> handler(void (MainWindow::*method)());
    void showStatus(const QString &message) override;
    void showPage(const char *name);

    void commitInfoEdit() override;
    void submitPendingEdits() override;
    void showFreshPack(Fresh how) override;
    void showWritten() override;
    // Sets every enabled state from the pack, the pending edits and what
    // the last commands offered to save.
    void updateActions();
    void setPendingEdits(bool pending);
    void offerSave(bool save, bool saveAs);
    // Selects the key in the list and shows it.
    void showKey(const QString &name);
    // Undoes or redoes a step after taking pending edits over.
    void replayStep(bool forward);
    // Shows what an undone or redone step changed.
    void showStepResult(const QString &key, int infoRow);
    // "<what> (nicht gespeichert: <file>)" for the status line.
    QString unsavedNote(const char *what) const;

    Prompts &mPrompts;
    const Clock &mClock;
    LanguagePack mPack;
    // The key whose data the editor shows.
    QString mShownKey;
    bool mClosingConfirmed = false;
    // The editor shows edits not yet taken over.
    bool mPendingEdits = false;
    // Save and Save As as the last commands left them; Save As is also on
    // while a pack is open.
    bool mSaveOffered = false;
    bool mSaveAsOffered = false;

    FileCommands mFiles{*this, *this, mPrompts, mClock, mPack};
    ExportCommand mExport{mPrompts, mFiles.saveDialog()};

    NewKeyDialog *mNewKeyDialog = nullptr;
    NewKeyDialog *mRenameKeyDialog = nullptr;
    AboutBox *mAboutBox = nullptr;
    ReferencePanel *mReferencePanel = nullptr;

    ActionTable mActions;
};

} // namespace Wordloom
