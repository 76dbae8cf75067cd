#pragma once

#include "checks/referencecounts.h"
#include "document/languagepack.h"

#include <QObject>
#include <functional>

class QAction;
class QMainWindow;
class QMenu;
class QPlainTextEdit;

namespace Wordloom {

class KeyEditorPanel;
class Prompts;
class StatusLine;

// The reference: a second pack opened read-only beside the one edited,
// most often the source language with the same keys. It is read through
// the same reader as the pack (the same messages for bad files, and a
// failure leaves everything as it was), shown in a read-only field above
// the translation, compared with the pack in the status line, and never
// saved, exported or changed. "Fehlende Schlüssel hinzufügen" adds the
// reference's keys missing in the pack as one step.
class ReferencePanel : public QObject {
    Q_OBJECT
public:
    using Comparison = ReferenceCounts;

    // Adds its actions to the menu and its field to the editor.
    ReferencePanel(QMainWindow *window, LanguagePack &pack, Prompts &prompts, KeyEditorPanel *editor,
        StatusLine *statusLine, QMenu *packMenu);

    bool isOpen() const { return mReference.state() == LanguagePack::State::Open; }
    const LanguagePack &reference() const { return mReference; }
    QPlainTextEdit *field() const { return mField; }

    QAction *openAction() const { return mOpen; }
    QAction *closeAction() const { return mClose; }
    QAction *addMissingAction() const { return mAddMissing; }

    // The handlers of the three actions.
    void openReference();
    void closeReference();
    void addMissingKeys();
    // Shows the reference's text of the key shown in the editor.
    void showKey(const QString &name);

    // The counts as the status label shows them, kept up step by step.
    const Comparison &compare() const { return mCounts; }
    // Runs before keys are added, so the editor's pending edits go first.
    std::function<void()> beforeAdding;
    // The reference's keys that the pack lacks, in list order.
    std::vector<QString> missingKeys() const;

signals:
    // The reference was opened or closed.
    void referenceChanged();
    // Keys were added; the editor shows the first of them.
    void keysAdded(const QString &first);

private:
    // Counts anew over both packs, or follows one step.
    void recount();
    void followStep(const PackStep &step, bool forward);
    void updateSummary();
    void updateActions();

    LanguagePack &mPack;
    Prompts &mPrompts;
    StatusLine *mStatusLine;
    LanguagePack mReference;
    QString mShownKey;
    Comparison mCounts;
    QPlainTextEdit *mField;
    // The field with its caption.
    QWidget *mBox = nullptr;
    QAction *mOpen;
    QAction *mClose;
    QAction *mAddMissing;
};

} // namespace Wordloom
