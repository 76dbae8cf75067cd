#pragma once

#include "document/languagepack.h"
#include "editor/prompts.h"
#include "plugins/plugincatalog.h"

#include <QDateTime>
#include <QFuture>
#include <QMainWindow>
#include <functional>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace Wordloom {

class AboutBox;
class InfoGrid;
class Clock;
class KeyEditorPanel;
class KeyListBox;
class NameListView;
class NewKeyDialog;
class SearchResults;

// The editor's one main window: the controls, the action table and every
// handler. The open pack's data lives in the LanguagePack it holds.
class MainWindow : public QMainWindow {
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
    const PluginCatalog &plugins() const { return mPlugins; }
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
    bool hasPendingEdits() const;
    // Takes the pending edits over under the key shown.
    void takeOverPendingEdits();
    // Shows the key at a row of the list, after taking edits over.
    void showKeyAt(int row);
    void resetActionExecute();
    void lpInfoblockStringsChange(int row);
    void undoActionExecute();
    void redoActionExecute();

    void loadActionExecute();
    void saveActionExecute();
    void saveasActionExecute();
    void writePack(const QString &path);
    void bumpVersion();
    void stampDate();

    bool checkUnsavedChanges();
    void newFileExecute();
    void closeActionExecute();
    void exitActionExecute();

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
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildActions();
    void buildFrame();
    QAction *makeAction(const char *name, const QString &caption, const QString &hint,
        const QKeySequence &shortcut, bool enabled, void (MainWindow::*method)());
    // The button shows the action's caption and enabled state.
    QPushButton *bindButton(QPushButton *button, QAction *action);
    // A check box that drives a checkable action.
    QCheckBox *actionBox(const char *name, QAction *action);

    // Runs a handler; an error ends it and is shown in the error box.
    bool guarded(const std::function<void()> &handler);
    // A slot that runs the handler through guarded().
    std::function<void()> handler(void (MainWindow::*method)());
    void showStatus(const QString &message);
    // Builds the search index of a loaded pack in the background; a search
    // that comes first waits for it.
    void prepareSearch();
    void adoptSearchIndex(const std::shared_ptr<Hashlist::IndexBuild> &build);
    void showPage(const char *name);

    // The info values, with a cell still being edited taken over.
    InfoValues gridValues();
    // Sets an info field and its grid row.
    void setInfoValue(int row, const QString &value);
    // project_name_language.extension from the info fields.
    QString proposedFileName(const QString &extension) const;
    // Sets every enabled state from the pack, the pending edits and what
    // the last commands offered to save.
    void updateActions();
    void setPendingEdits(bool pending);
    void offerSave(bool save, bool saveAs);
    // The pack's name, whether it is modified, and its counts.
    void showPackSummary();
    // Whether a text field has typing of its own to undo or redo.
    bool fieldCanUndo(QObject *watched, bool redo) const;
    // Shows what an undone or redone step changed.
    void showStepResult(const QString &key, int infoRow);
    // "<what> (nicht gespeichert: <file>)" for the status line.
    QString unsavedNote(const char *what) const;
    void setActions(std::initializer_list<QAction *> actions, bool enabled);

    Prompts &mPrompts;
    const Clock &mClock;
    LanguagePack mPack;
    PluginCatalog mPlugins;
    QDateTime lastChange;
    // The key whose data the editor shows.
    QString mShownKey;
    bool mClosingConfirmed = false;
    // The editor shows edits not yet taken over.
    bool mPendingEdits = false;
    // Save and Save As as the last commands left them; Save As is also on
    // while a pack is open.
    bool mSaveOffered = false;
    bool mSaveAsOffered = false;

    FileDialogSettings OpenDialog1;
    FileDialogSettings SaveDialog1;

    NewKeyDialog *mNewKeyDialog = nullptr;
    NewKeyDialog *mRenameKeyDialog = nullptr;
    AboutBox *mAboutBox = nullptr;

    // Controls.
    KeyListBox *lpKey = nullptr;
    KeyEditorPanel *mKeyEditor = nullptr;
    QCheckBox *checkWW = nullptr;
    QLabel *statusBarLabel = nullptr;
    QLabel *packSummary = nullptr;
    QTabWidget *PageControl1 = nullptr;
    QListWidget *exportModules = nullptr;
    InfoGrid *lpInfoblock = nullptr;
    QLineEdit *suchbegriff = nullptr;
    QCheckBox *searchOnType = nullptr;
    NameListView *ergenbisse = nullptr;
    SearchResults *mResults = nullptr;
    // The search index being built in the background, if any.
    std::shared_ptr<Hashlist::IndexBuild> mSearchBuild;
    QFuture<void> mSearchFuture;

    // Actions.
    QAction *loadAction = nullptr;
    QAction *newFile = nullptr;
    QAction *saveAction = nullptr;
    QAction *saveasAction = nullptr;
    QAction *closeAction = nullptr;
    QAction *exitAction = nullptr;
    QAction *exportAction = nullptr;
    QAction *newAction = nullptr;
    QAction *dropAction = nullptr;
    QAction *renameAction = nullptr;
    QAction *renameKeyRequest = nullptr;
    QAction *submitAction = nullptr;
    QAction *resetAction = nullptr;
    QAction *suchAction = nullptr;
    QAction *changeSearchType = nullptr;
    QAction *toggleWW = nullptr;
    QAction *doppelCheck = nullptr;
    QAction *syntaxCheck = nullptr;
    QAction *aboutAction = nullptr;
    QAction *nextAction = nullptr;
    QAction *prevAction = nullptr;
    QAction *undoAction = nullptr;
    QAction *redoAction = nullptr;
};

} // namespace Wordloom
