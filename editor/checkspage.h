#pragma once

#include "checks/checkregistry.h"
#include "checks/dismissals.h"

#include <QWidget>
#include <optional>

class QAction;
class QLabel;
class QPushButton;
class QTreeView;

namespace Wordloom {

class FindingsModel;
class LanguagePack;
class Prompts;
class ReferencePanel;

// The "Checks" page: "Doppel-Check" and "Syntax-Check" as ever, "Alle
// prüfen" running every check of the registry off the GUI thread (those
// that need the reference only while one is open), the findings, and
// "Ignorieren", which dismisses the chosen finding in the file beside the
// pack. It also keeps the line under the translation that shows the
// current key's findings, fresh after every step.
class ChecksPage : public QWidget {
    Q_OBJECT
public:
    ChecksPage(const LanguagePack &pack, QAction *doppelCheck, QAction *syntaxCheck, QWidget *parent = nullptr);
    ~ChecksPage() override;

    // What the page needs once the window stands.
    void attach(Prompts &prompts, const ReferencePanel *reference);

    QPushButton *checkAllButton() const { return mCheckAll; }
    QPushButton *dismissButton() const { return mDismiss; }
    QTreeView *findingsView() const { return mView; }
    const FindingsModel &findings() const { return *mModel; }
    // The line under the translation.
    QLabel *keyLine() const { return mKeyLine; }
    QList<QWidget *> tabChain() const;

    // "Alle prüfen".
    void checkAll();
    // "Ignorieren" of the chosen finding.
    void dismissCurrent();
    // The editor shows this key now.
    void showKey(const QString &name);
    // The findings of one key, dismissed ones left out.
    std::vector<Finding> findingsOf(const QString &name) const;

signals:
    // The user chose a finding; the editor is to show its key.
    void keyPicked(const QString &name);

private:
    void packReset();
    void packStepped();
    void packWritten();
    void updateKeyLine();
    void updateSummary();
    std::vector<const CheckDefinition *> activeChecks() const;
    CheckedPack checkedPack() const;
    // The open reference as the checks see it, or nullptr.
    std::optional<CheckedPack> checkedReference() const;

    const LanguagePack &mPack;
    Prompts *mPrompts = nullptr;
    const ReferencePanel *mReference = nullptr;
    Dismissals mDismissals;
    QString mShownKey;
    // Whether the list holds the findings of a run.
    bool mHasRun = false;
    FindingsModel *mModel;
    QTreeView *mView;
    QPushButton *mDoppelCheck;
    QPushButton *mSyntaxCheck;
    QPushButton *mCheckAll;
    QPushButton *mDismiss;
    QLabel *mSummary;
    QLabel *mKeyLine;
};

} // namespace Wordloom
