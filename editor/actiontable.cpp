#include "editor/actiontable.h"

#include "document/languagepack.h"
#include "editor/layoutparts.h"
#include "editor/uifonts.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QTextEdit>

namespace Wordloom {

namespace {

QAction *make(QWidget *owner, const char *name, const QString &caption, const QString &hint,
    const QKeySequence &shortcut, bool enabled)
{
    auto *action = named(new QAction(caption, owner), name);
    if (!hint.isEmpty())
        action->setToolTip(plainToolTip(hint));
    action->setShortcut(shortcut);
    action->setEnabled(enabled);
    owner->addAction(action);
    return action;
}

bool fieldCanUndo(const QObject *focus, bool redo)
{
    if (const auto *memo = qobject_cast<const QPlainTextEdit *>(focus))
        return redo ? memo->document()->isRedoAvailable() : memo->document()->isUndoAvailable();
    if (const auto *field = qobject_cast<const QLineEdit *>(focus))
        return redo ? field->isRedoAvailable() : field->isUndoAvailable();
    return false;
}

bool isTextField(const QObject *focus)
{
    return qobject_cast<const QLineEdit *>(focus) || qobject_cast<const QPlainTextEdit *>(focus)
        || qobject_cast<const QTextEdit *>(focus);
}

// The keys a text field keeps for itself, whatever the window binds to them.
bool fieldKeeps(const QKeySequence &pressed)
{
    using Key = QKeySequence;
    for (Key::StandardKey key : {Key::SelectAll, Key::Copy, Key::Cut, Key::Paste, Key::MoveToNextWord,
             Key::MoveToPreviousWord, Key::SelectNextWord, Key::SelectPreviousWord, Key::MoveToStartOfLine,
             Key::MoveToEndOfLine, Key::SelectStartOfLine, Key::SelectEndOfLine, Key::MoveToStartOfDocument,
             Key::MoveToEndOfDocument, Key::SelectStartOfDocument, Key::SelectEndOfDocument})
        if (Key::keyBindings(key).contains(pressed))
            return true;
    return false;
}

} // namespace

ActionTable::ActionTable(QWidget *owner)
{
    const QKeySequence none;
    loadAction = make(owner, "loadAction", QStringLiteral("Languagepack laden"),
        QStringLiteral("Läd ein existierendes Languagepack"), QKeySequence(Qt::CTRL | Qt::Key_L), true);
    newFile = make(owner, "newFile", QStringLiteral("Neues Languagepack"),
        QStringLiteral("Erstellt ein neues, leeres Languagepack"), QKeySequence(Qt::CTRL | Qt::Key_N), true);
    saveAction = make(owner, "saveAction", QStringLiteral("Speichern"),
        QStringLiteral("Speichert das aktuelle Languagepack"), QKeySequence(Qt::CTRL | Qt::Key_S), false);
    saveasAction = make(owner, "saveasAction", QStringLiteral("Speichern als"),
        QStringLiteral("Speichert das Languagepack unter einem neuen Namen"),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), false);
    closeAction = make(owner, "closeAction", QStringLiteral("Schleßen"),
        QStringLiteral("Schließt das aktuelle Languagepack"), QKeySequence(Qt::CTRL | Qt::Key_W), false);
    exitAction = make(owner, "exitAction", QStringLiteral("Beenden"), QStringLiteral("Programm beenden"),
        QKeySequence(Qt::CTRL | Qt::Key_Q), true);
    exportAction = make(owner, "exportAction", QStringLiteral("Export starten"),
        QStringLiteral("Exportiert das Languagepack"), none, false);
    newAction = make(owner, "newAction", QStringLiteral("+"), QStringLiteral("Schlüssel hinzufügen (Strg+A)"),
        QKeySequence(Qt::CTRL | Qt::Key_A), false);
    dropAction = make(owner, "dropAction", QStringLiteral("-"), QStringLiteral("Schlüssel löschen"), none, false);
    renameAction
        = make(owner, "renameAction", QStringLiteral("o"), QStringLiteral("Schlüssel umbenennen"), none, false);
    renameKeyRequest = make(owner, "renameKeyRequest", QStringLiteral("renameKeyRequest"), QString(), none, true);
    submitAction = make(owner, "submitAction", QStringLiteral("Übernehmen"), QStringLiteral("Änderungen übernehmen"),
        none, false);
    resetAction
        = make(owner, "resetAction", QStringLiteral("Verwerfen"), QStringLiteral("Änderungen verwerfen"), none, false);
    suchAction = make(owner, "suchAction", QStringLiteral("Suchen"),
        QStringLiteral("Sucht nach Texten im Languagepack"), none, false);
    findAction = make(owner, "findAction", QStringLiteral("Suchen …"), QStringLiteral("Springt in das Suchfeld"),
        QKeySequence(Qt::CTRL | Qt::Key_F), true);
    changeSearchType = make(owner, "changeSearchType", QStringLiteral("beim Tippen suchen"),
        QStringLiteral("Bereeits beim Eintippen des Textes suchen"), none, true);
    toggleWW = make(owner, "toggleWW", QString(), QStringLiteral("Wordwrap ein-/ausschalten"), none, false);
    doppelCheck = make(owner, "doppelCheck", QStringLiteral("Doppel-Check"), QString(), none, true);
    syntaxCheck = make(owner, "syntaxCheck", QStringLiteral("Syntax-Check"), QString(), none, true);
    aboutAction = make(owner, "aboutAction", QStringLiteral("Info"), QString(), none, true);
    nextAction = make(owner, "nextAction", QStringLiteral("Next"), QStringLiteral("Go to next key"),
        QKeySequence(Qt::CTRL | Qt::Key_Down), true);
    prevAction = make(owner, "prevAction", QStringLiteral("Previous"), QStringLiteral("Go to previous key"),
        QKeySequence(Qt::CTRL | Qt::Key_Up), true);
    undoAction
        = make(owner, "undoAction", QStringLiteral("Rückgängig"), QString(), QKeySequence(Qt::CTRL | Qt::Key_Z), false);
    redoAction = make(owner, "redoAction", QStringLiteral("Wiederholen"), QString(),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), false);
    redoAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});

    // Ctrl+Return takes over and goes on, like Ctrl+Down.
    nextAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Down), QKeySequence(Qt::CTRL | Qt::Key_Return)});
    for (QAction *action : {toggleWW, changeSearchType}) {
        action->setCheckable(true);
        action->setChecked(true);
    }
    mAll = owner->actions();
}

bool ActionTable::claims(const QKeySequence &pressed, const QObject *focus) const
{
    if (isTextField(focus) && fieldKeeps(pressed))
        return false;
    if ((undoAction->shortcuts().contains(pressed) && fieldCanUndo(focus, false))
        || (redoAction->shortcuts().contains(pressed) && fieldCanUndo(focus, true)))
        return false;
    for (const QAction *action : mAll)
        if (action->isEnabled() && action->shortcuts().contains(pressed))
            return true;
    return false;
}

void ActionTable::showState(const LanguagePack &pack, bool pendingEdits, bool saveOffered, bool saveAsOffered)
{
    const bool open = pack.state() == LanguagePack::State::Open;
    for (QAction *action : {submitAction, resetAction})
        action->setEnabled(pendingEdits);
    saveAction->setEnabled(saveOffered);
    saveasAction->setEnabled(open || saveAsOffered);
    for (QAction *action : {exportAction, newAction, renameAction, dropAction, toggleWW, closeAction})
        action->setEnabled(open);
    const PackStep *undo = pack.undoStep();
    const PackStep *redo = pack.redoStep();
    undoAction->setEnabled(undo);
    redoAction->setEnabled(redo);
    undoAction->setText(undo ? QStringLiteral("Rückgängig: ") + undo->text() : QStringLiteral("Rückgängig"));
    redoAction->setText(redo ? QStringLiteral("Wiederholen: ") + redo->text() : QStringLiteral("Wiederholen"));
}

QPushButton *ActionTable::bindButton(QPushButton *button, QAction *action)
{
    const auto sync = [button, action] {
        button->setText(action->text());
        button->setEnabled(action->isEnabled());
    };
    sync();
    QObject::connect(action, &QAction::changed, button, sync);
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    return button;
}

QCheckBox *ActionTable::actionBox(const char *name, QAction *action)
{
    auto *box = named(new QCheckBox(action->text()), name);
    box->setToolTip(action->toolTip());
    box->setChecked(action->isChecked());
    box->setEnabled(action->isEnabled());
    QObject::connect(action, &QAction::changed, box, [box, action] { box->setEnabled(action->isEnabled()); });
    // The box takes its new state first, then the action's handler reads it.
    QObject::connect(box, &QCheckBox::clicked, action, [action](bool checked) {
        action->setChecked(checked);
        // Runs the handler; trigger() would toggle the state once more.
        emit action->triggered(checked);
    });
    return box;
}

} // namespace Wordloom
