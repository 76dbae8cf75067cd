#include "editor/checkspage.h"

#include "document/error.h"
#include "document/languagepack.h"
#include "editor/actiontable.h"
#include "editor/backgroundwork.h"
#include "editor/errorguard.h"
#include "editor/findingsmodel.h"
#include "editor/layoutparts.h"
#include "editor/referencepanel.h"
#include "editor/uifonts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QTreeView>
#include <QVBoxLayout>

namespace Wordloom {

ChecksPage::ChecksPage(const LanguagePack &pack, QAction *doppelCheck, QAction *syntaxCheck, QWidget *parent)
    : QWidget(parent)
    , mPack(pack)
    , mModel(new FindingsModel(this))
    , mView(named(new QTreeView, "findingsView"))
    , mDoppelCheck(ActionTable::bindButton(fixedButton("buttonDoppelCheck", 113, 25), doppelCheck))
    , mSyntaxCheck(ActionTable::bindButton(fixedButton("buttonSyntaxCheck", 113, 25), syntaxCheck))
    , mCheckAll(fixedButton("buttonCheckAll", 113, 25))
    , mDismiss(fixedButton("buttonDismiss", 113, 25))
    , mSummary(named(new QLabel, "findingsSummary"))
    , mKeyLine(named(new QLabel, "keyFindings"))
{
    setObjectName(QStringLiteral("TabSheet1"));
    mCheckAll->setText(QStringLiteral("Alle prüfen"));
    mCheckAll->setToolTip(plainToolTip(QStringLiteral("Führt alle Prüfungen über das Languagepack aus")));
    mDismiss->setText(QStringLiteral("Ignorieren"));
    mDismiss->setToolTip(plainToolTip(QStringLiteral("Blendet den gewählten Befund aus, bis sich sein Text ändert")));
    mDismiss->setEnabled(false);

    mView->setModel(mModel);
    mView->setRootIsDecorated(false);
    mView->setUniformRowHeights(true);
    mView->setAllColumnsShowFocus(true);
    mView->setSelectionMode(QAbstractItemView::SingleSelection);
    mView->header()->setStretchLastSection(true);
    const int widths[] = {60, 150, 110};
    for (int column = 0; column < 3; ++column)
        mView->setColumnWidth(column, widths[column]);

    mSummary->setWordWrap(true);
    mSummary->setTextFormat(Qt::PlainText);
    mSummary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // A long line must not widen the editor; the tool tip holds it all.
    mKeyLine->setTextFormat(Qt::PlainText);
    mKeyLine->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    mKeyLine->hide();

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto *buttons = tight(new QVBoxLayout);
    for (QPushButton *button : {mDoppelCheck, mSyntaxCheck, mCheckAll})
        buttons->addWidget(button);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->addWidget(mView, 1);
    auto *side = tight(new QVBoxLayout);
    side->addWidget(mDismiss);
    side->addWidget(mSummary, 1);
    auto *sidePanel = new QWidget;
    sidePanel->setFixedWidth(130);
    sidePanel->setLayout(side);
    layout->addWidget(sidePanel);

    connect(mView, &QTreeView::clicked, this, [this](const QModelIndex &index) {
        if (const Finding *finding = mModel->at(index.row()))
            emit keyPicked(finding->key);
    });
    connect(mView, &QTreeView::activated, this, [this](const QModelIndex &index) {
        if (const Finding *finding = mModel->at(index.row()))
            emit keyPicked(finding->key);
    });
    const auto updateDismiss = [this] { mDismiss->setEnabled(mModel->at(mView->currentIndex().row()) != nullptr); };
    connect(mModel, &QAbstractItemModel::modelReset, this, updateDismiss);
    connect(mModel, &QAbstractItemModel::rowsRemoved, this, updateDismiss);
    connect(mView->selectionModel(), &QItemSelectionModel::currentChanged, this, updateDismiss);

    connect(&mPack, &LanguagePack::historyReset, this, &ChecksPage::packReset);
    connect(&mPack.history(), &QUndoStack::indexChanged, this, &ChecksPage::packStepped);
    connect(&mPack, &LanguagePack::written, this, &ChecksPage::packWritten);
}

ChecksPage::~ChecksPage() = default;

void ChecksPage::attach(Prompts &prompts, const ReferencePanel *reference)
{
    mPrompts = &prompts;
    mReference = reference;
    connect(mCheckAll, &QPushButton::clicked, this, [this] { runGuarded(*mPrompts, [this] { checkAll(); }); });
    connect(mDismiss, &QPushButton::clicked, this, [this] { runGuarded(*mPrompts, [this] { dismissCurrent(); }); });
    connect(reference, &ReferencePanel::referenceChanged, this, &ChecksPage::updateKeyLine);
}

QList<QWidget *> ChecksPage::tabChain() const
{
    return {mDoppelCheck, mSyntaxCheck, mCheckAll, mView, mDismiss};
}

std::vector<const CheckDefinition *> ChecksPage::activeChecks() const
{
    const bool withReference = checkedReference().has_value();
    std::vector<const CheckDefinition *> checks;
    for (const CheckDefinition &check : checkRegistry())
        if (withReference || !check.needsReference)
            checks.push_back(&check);
    return checks;
}

CheckedPack ChecksPage::checkedPack() const
{
    return CheckedPack{&mPack.keys().names(), &mPack.data()};
}

std::optional<CheckedPack> ChecksPage::checkedReference() const
{
    if (!mReference || !mReference->isOpen())
        return std::nullopt;
    return CheckedPack{&mReference->reference().keys().names(), &mReference->reference().data()};
}

void ChecksPage::checkAll()
{
    const CheckedPack mine = checkedPack();
    const std::optional<CheckedPack> theirs = checkedReference();
    const std::vector<const CheckDefinition *> checks = activeChecks();
    // The window waits, inert, while the checks run on other threads.
    std::optional<std::vector<Finding>> found = runWithProgress<std::vector<Finding>>(window(),
        QStringLiteral("Prüfungen laufen …"), 1, [&](Progress &progress) {
            std::vector<Finding> findings = checkPack(mine, theirs ? &*theirs : nullptr, checks);
            mDismissals.filter(findings, mine, theirs ? &*theirs : nullptr);
            if (progress.cancelled)
                throw Cancelled();
            return findings;
        });
    if (!found) {
        mSummary->setText(QStringLiteral("Prüfung abgebrochen"));
        return;
    }
    mHasRun = true;
    mModel->setFindings(std::move(*found));
    updateSummary();
    updateKeyLine();
}

void ChecksPage::dismissCurrent()
{
    const int row = mView->currentIndex().row();
    const Finding *finding = mModel->at(row);
    if (!finding)
        return;
    const CheckedPack mine = checkedPack();
    const std::optional<CheckedPack> theirs = checkedReference();
    mDismissals.dismiss(*finding, Dismissals::hashOf(*finding, mine, theirs ? &*theirs : nullptr));
    mModel->removeAt(row);
    if (mModel->rowCount() > 0)
        mView->setCurrentIndex(mModel->index(std::min(row, mModel->rowCount() - 1), 0));
    updateSummary();
    updateKeyLine();
    // A pack without a file keeps them until it is first written.
    if (!mPack.path().isEmpty())
        mDismissals.save(Dismissals::pathBeside(mPack.path()));
}

void ChecksPage::showKey(const QString &name)
{
    mShownKey = name;
    if (mHasRun)
        mModel->replaceKey(name, findingsOf(name));
    updateKeyLine();
}

std::vector<Finding> ChecksPage::findingsOf(const QString &name) const
{
    std::vector<Finding> found;
    if (mPack.state() != LanguagePack::State::Open || name.isEmpty())
        return found;
    // Only a listed key has findings, not a name half typed into the key
    // field. The list checks see the rows equal to the name but for case;
    // they stand together.
    const KeyList &keys = mPack.keys();
    if (keys.exactRow(name) < 0)
        return found;
    const auto first = keys.names().begin() + keys.find(name);
    const std::vector<QString> rows(first, first + keys.equalRows(name));
    const std::vector<const CheckDefinition *> checks = activeChecks();
    for (const CheckDefinition *check : checks)
        if (check->listCheck)
            check->listCheck(rows, found);
    std::erase_if(found, [&](const Finding &f) { return f.key != name; });
    const CheckedPack mine = checkedPack();
    const std::optional<CheckedPack> theirs = checkedReference();
    const CheckedText text = mine.text(name);
    CheckedText reference;
    if (theirs)
        reference = theirs->text(name);
    checkKey(name, text, reference.translation.isEmpty() ? nullptr : &reference, checks, found);
    mDismissals.filter(found, mine, theirs ? &*theirs : nullptr);
    return found;
}

void ChecksPage::packReset()
{
    mHasRun = false;
    mModel->setFindings({});
    mSummary->clear();
    mDismissals.clear();
    if (!mPack.path().isEmpty() && mPrompts)
        runGuarded(*mPrompts, [this] { mDismissals.load(Dismissals::pathBeside(mPack.path())); });
    updateKeyLine();
}

void ChecksPage::packStepped()
{
    showKey(mShownKey);
    if (mHasRun)
        updateSummary();
}

void ChecksPage::packWritten()
{
    if (!mDismissals.isEmpty() && mPrompts)
        runGuarded(*mPrompts, [this] { mDismissals.save(Dismissals::pathBeside(mPack.path())); });
}

void ChecksPage::updateSummary()
{
    qsizetype counts[3] = {0, 0, 0};
    for (const Finding &finding : mModel->findings())
        ++counts[int(finding.check->severity)];
    const QLocale german(QLocale::German);
    const qsizetype total = counts[0] + counts[1] + counts[2];
    if (total == 0) {
        mSummary->setText(QStringLiteral("Keine Befunde"));
        return;
    }
    mSummary->setText(QStringLiteral("%1 Befunde: %2 Fehler, %3 Warnungen, %4 Hinweise")
                          .arg(german.toString(total), german.toString(counts[0]), german.toString(counts[1]),
                              german.toString(counts[2])));
}

void ChecksPage::updateKeyLine()
{
    const std::vector<Finding> found = findingsOf(mShownKey);
    if (found.empty()) {
        mKeyLine->clear();
        mKeyLine->setToolTip(QString());
        mKeyLine->hide();
        return;
    }
    QStringList shown;
    for (const Finding &finding : found)
        shown.append(severityTitle(finding.check->severity) + QStringLiteral(": ") + finding.message);
    mKeyLine->setText(shown.join(QStringLiteral("  ·  ")));
    mKeyLine->setToolTip(plainToolTip(shown.join(QLatin1Char('\n'))));
    mKeyLine->show();
}

} // namespace Wordloom
