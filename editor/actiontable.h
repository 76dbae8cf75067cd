#pragma once

#include <QList>

class QAction;
class QCheckBox;
class QKeySequence;
class QObject;
class QPushButton;
class QWidget;

namespace Wordloom {

class LanguagePack;

// The window's actions with their captions, hints, shortcuts and states at
// start, and the controls bound to them. Each action belongs to the owner,
// so its shortcut works whether or not a menu shows it.
class ActionTable {
public:
    explicit ActionTable(QWidget *owner);

    // The button shows the action's caption and enabled state.
    static QPushButton *bindButton(QPushButton *button, QAction *action);
    // A check box that drives a checkable action.
    static QCheckBox *actionBox(const char *name, QAction *action);
    // Whether an enabled action takes the key combination before the
    // focused control. A text field keeps its own standard keys (select
    // all, clipboard, word and line moves), and its undo keys while it has
    // typing of its own to undo.
    bool claims(const QKeySequence &pressed, const QObject *focus) const;
    // Sets every enabled state that changes while the program runs, from
    // the pack, the editor's pending edits and what the last commands
    // offered to save; Save As is also on while a pack is open.
    void showState(const LanguagePack &pack, bool pendingEdits, bool saveOffered, bool saveAsOffered);

    QAction *loadAction;
    QAction *newFile;
    QAction *saveAction;
    QAction *saveasAction;
    QAction *closeAction;
    QAction *exitAction;
    QAction *exportAction;
    QAction *newAction;
    QAction *dropAction;
    QAction *renameAction;
    QAction *renameKeyRequest;
    QAction *submitAction;
    QAction *resetAction;
    QAction *suchAction;
    QAction *findAction;
    QAction *changeSearchType;
    QAction *toggleWW;
    QAction *doppelCheck;
    QAction *syntaxCheck;
    QAction *aboutAction;
    QAction *nextAction;
    QAction *prevAction;
    QAction *undoAction;
    QAction *redoAction;

private:
    QList<QAction *> mAll;
};

} // namespace Wordloom
