#include "editor/referencepanel.h"

#include "document/error.h"
#include "editor/errorguard.h"
#include "editor/filecommands.h"
#include "editor/keyeditorpanel.h"
#include "editor/layoutparts.h"
#include "editor/prompts.h"
#include "editor/statusline.h"
#include "editor/uifonts.h"

#include <QAction>
#include <QLabel>
#include <QLocale>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace Wordloom {

namespace {

QString shownText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

// Walks the two sorted key lists together; a name equal ignoring case is
// the same key. Calls both(name) for shared keys and onlyMine or onlyTheirs
// for the others.
template <typename Both, typename Mine, typename Theirs>
void mergeKeys(const std::vector<QString> &mine, const std::vector<QString> &theirs, Both both, Mine onlyMine,
    Theirs onlyTheirs)
{
    size_t i = 0, j = 0;
    while (i < mine.size() || j < theirs.size()) {
        const int order = i == mine.size() ? 1 : j == theirs.size() ? -1 : compareNames(mine[i], theirs[j]);
        if (order == 0) {
            both(mine[i]);
            // Repeated names (a file may repeat an id) count once.
            const QString &name = mine[i];
            while (i < mine.size() && namesEqual(mine[i], name))
                ++i;
            while (j < theirs.size() && namesEqual(theirs[j], name))
                ++j;
        } else if (order < 0) {
            onlyMine(mine[i++]);
        } else {
            onlyTheirs(theirs[j++]);
        }
    }
}

} // namespace

ReferencePanel::ReferencePanel(QMainWindow *window, LanguagePack &pack, Prompts &prompts, KeyEditorPanel *editor,
    StatusLine *statusLine, QMenu *packMenu)
    : QObject(window)
    , mPack(pack)
    , mPrompts(prompts)
    , mStatusLine(statusLine)
    , mField(named(new QPlainTextEdit, "referenceText"))
    , mOpen(named(new QAction(QStringLiteral("Referenz öffnen…"), window), "openReferenceAction"))
    , mClose(named(new QAction(QStringLiteral("Referenz schließen"), window), "closeReferenceAction"))
    , mAddMissing(named(new QAction(QStringLiteral("Fehlende Schlüssel hinzufügen"), window), "addMissingAction"))
{
    mField->setReadOnly(true);
    mField->setFont(translationFont());
    mField->setMaximumHeight(70);
    mField->setTabChangesFocus(true);
    // Captioned like the fields below it; shown while a reference is open.
    mBox = new QWidget;
    auto *boxLayout = tight(new QVBoxLayout(mBox));
    boxLayout->addWidget(new QLabel(QStringLiteral("Referenz")));
    boxLayout->addWidget(mField);
    mBox->hide();
    editor->addAboveTranslation(mBox);

    mOpen->setToolTip(plainToolTip(QStringLiteral("Öffnet ein zweites Languagepack schreibgeschützt als Referenz")));
    mAddMissing->setToolTip(
        plainToolTip(QStringLiteral("Fügt die Schlüssel der Referenz hinzu, die hier fehlen, ohne Übersetzung")));
    QAction *before = packMenu->actions().value(packMenu->actions().size() - 2);
    packMenu->insertActions(before, {mOpen, mClose, mAddMissing});
    packMenu->insertSeparator(mOpen);
    connect(mOpen, &QAction::triggered, this, [this] { runGuarded(mPrompts, [this] { openReference(); }); });
    connect(mClose, &QAction::triggered, this, [this] { runGuarded(mPrompts, [this] { closeReference(); }); });
    connect(mAddMissing, &QAction::triggered, this, [this] { runGuarded(mPrompts, [this] { addMissingKeys(); }); });
    // The counts follow every change of the pack, by the keys it touched.
    connect(&mPack, &LanguagePack::stepDone, this, [this](const PackStep &step) { followStep(step, true); });
    connect(&mPack, &LanguagePack::stepRedone, this, [this](const PackStep &step) { followStep(step, true); });
    connect(&mPack, &LanguagePack::stepUndone, this, [this](const PackStep &step) { followStep(step, false); });
    connect(&mPack, &LanguagePack::historyReset, this, &ReferencePanel::recount);
    connect(&mPack, &LanguagePack::historyReset, this, &ReferencePanel::updateActions);
    updateActions();
}

void ReferencePanel::openReference()
{
    const QString path = mPrompts.openFile(FileDialogSettings{QStringLiteral("Referenz öffnen"),
        QStringLiteral("Languagepacks (*.xml)|*.xml"), QStringLiteral("xml"), QString()});
    if (path.isEmpty())
        return;
    // Read first, in the background as every load: a bad file or a
    // cancelled read leaves the reference as it was.
    std::optional<PackContent> content
        = FileCommands::readInBackground(mField->window(), path, QStringLiteral("Referenz wird geladen …"));
    if (!content) {
        mStatusLine->showMessage(QStringLiteral("Laden abgebrochen"));
        return;
    }
    mReference.adopt(std::move(*content), path);
    mBox->show();
    mField->setToolTip(QString());
    showKey(mShownKey);
    recount();
    updateActions();
    mStatusLine->showMessage(QStringLiteral("Referenz geöffnet: ") + mReference.fileName());
    emit referenceChanged();
}

void ReferencePanel::closeReference()
{
    mReference.close();
    mField->clear();
    mBox->hide();
    recount();
    updateActions();
    mStatusLine->showMessage(QStringLiteral("Referenz geschlossen"));
    emit referenceChanged();
}

void ReferencePanel::showKey(const QString &name)
{
    mShownKey = name;
    if (!isOpen())
        return;
    const KeyEntry entry = mReference.entry(name);
    mField->setPlainText(shownText(entry.translation));
    mField->setToolTip(entry.comment.isEmpty() ? QString() : plainToolTip(shownText(entry.comment)));
}

void ReferencePanel::recount()
{
    mCounts = isOpen() ? ReferenceCounts::of(mPack, mReference) : Comparison();
    updateSummary();
}

void ReferencePanel::followStep(const PackStep &step, bool forward)
{
    if (!isOpen())
        return;
    mCounts.follow(mPack, mReference, step, forward);
    updateSummary();
}

std::vector<QString> ReferencePanel::missingKeys() const
{
    std::vector<QString> missing;
    if (isOpen())
        mergeKeys(
            mPack.keys().names(), mReference.keys().names(), [](const QString &) {}, [](const QString &) {},
            [&](const QString &name) {
                if (missing.empty() || !namesEqual(missing.back(), name))
                    missing.push_back(name);
            });
    return missing;
}

void ReferencePanel::addMissingKeys()
{
    if (beforeAdding)
        beforeAdding();
    std::vector<std::pair<QString, KeyEntry>> keys;
    for (const QString &name : missingKeys()) {
        KeyEntry entry = mReference.entry(name);
        entry.translation.clear();
        keys.emplace_back(name, std::move(entry));
    }
    const qsizetype added = mPack.addKeys(QStringLiteral("Fehlende Schlüssel hinzufügen"), keys);
    const QLocale german(QLocale::German);
    mStatusLine->showMessage(german.toString(added) + QStringLiteral(" fehlende Schlüssel hinzugefügt"));
    if (added > 0)
        emit keysAdded(keys.front().first);
}

void ReferencePanel::updateSummary()
{
    if (!isOpen()) {
        mStatusLine->setSummaryAddition(QString());
        return;
    }
    const Comparison &c = mCounts;
    const QLocale german(QLocale::German);
    mStatusLine->setSummaryAddition(QStringLiteral("Referenz: %1 fehlen, %2 nur hier, %3 leer, %4 gleich")
                                        .arg(german.toString(c.missingHere), german.toString(c.onlyHere),
                                            german.toString(c.empty), german.toString(c.same)));
}

void ReferencePanel::updateActions()
{
    mClose->setEnabled(isOpen());
    mAddMissing->setEnabled(isOpen() && mPack.state() == LanguagePack::State::Open);
}

} // namespace Wordloom
