#include "editor/searchpage.h"

#include "document/error.h"
#include "document/languagepack.h"
#include "document/referencefilter.h"
#include "document/searchindex.h"
#include "document/searchresults.h"
#include "document/workerpool.h"
#include "editor/actiontable.h"
#include "editor/backgroundwork.h"
#include "editor/layoutparts.h"
#include "editor/namelistview.h"
#include "editor/prompts.h"
#include "editor/uifonts.h"

#include <QAction>
#include <QCheckBox>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <optional>

namespace Wordloom {

namespace {

// From this many translations on, building the search index takes long
// enough to do it in the background, and to show the wait cursor; from
// this many keys on, a regular expression runs on a worker thread.
constexpr qsizetype kLargeSearch = 10000;
// The lines an index build copies per turn of the event loop, a
// millisecond or two.
constexpr size_t kSnapshotPart = 8192;

QString number(qsizetype n)
{
    return QLocale(QLocale::German).toString(n);
}

} // namespace

// An index being built: the translations' or comments', or with no list
// the key names'.
struct SearchPage::IndexJob {
    const Hashlist *list;
    // Copies up to so many more of the texts the build reads, a part per
    // turn of the event loop; true once all are taken. Empty once the
    // build runs.
    std::function<bool(size_t)> take;
    std::function<void()> run;
    std::function<void()> adopt;
    QFuture<void> future;
};

SearchPage::SearchPage(const LanguagePack &pack, QAction *suchAction, QAction *changeSearchType, QWidget *parent)
    : QWidget(parent)
    , mPack(pack)
    , mField(named(new QLineEdit, "suchbegriff"))
    , mButton(ActionTable::bindButton(fixedButton("buttonSuchen", 113, 22), suchAction))
    , mOnType(ActionTable::actionBox("searchOnType", changeSearchType))
    , mScopeKey(named(new QCheckBox(QStringLiteral("Schlüssel")), "scopeKey"))
    , mScopeText(named(new QCheckBox(QStringLiteral("Übersetzung")), "scopeText"))
    , mScopeComment(named(new QCheckBox(QStringLiteral("Kommentar")), "scopeComment"))
    , mMatchCase(named(new QCheckBox(QStringLiteral("Groß-/Kleinschreibung beachten")), "matchCase"))
    , mWholeWord(named(new QCheckBox(QStringLiteral("Ganzes Wort")), "wholeWord"))
    , mRegex(named(new QCheckBox(QStringLiteral("Regulärer Ausdruck")), "useRegex"))
    , mUntranslated(named(new QCheckBox(QStringLiteral("ohne Übersetzung")), "filterUntranslated"))
    , mWithComment(named(new QCheckBox(QStringLiteral("mit Kommentar")), "filterComment"))
    , mChanged(named(new QCheckBox(QStringLiteral("geändert seit dem Laden")), "filterChanged"))
    , mOnlyHere(named(new QCheckBox(QStringLiteral("nur hier")), "filterOnlyHere"))
    , mSameAsReference(named(new QCheckBox(QStringLiteral("wie Referenz")), "filterSameAsReference"))
    , mReferenceRow(panel("Panel_Referenzfilter"))
    , mPatternError(named(new QLabel, "patternError"))
    , mCount(named(new QLabel, "resultCount"))
    , mReplacement(named(new QLineEdit, "ersetzen"))
    , mReplaceButton(fixedButton("buttonErsetzen", 113, 22))
    , mFindNext(named(new QAction(QStringLiteral("Nächster Treffer"), this), "findNextAction"))
    , mFindPrevious(named(new QAction(QStringLiteral("Voriger Treffer"), this), "findPrevAction"))
    , mResults(named(new NameListView, "ergenbisse"))
    , mModel(new SearchResults(pack.data().hashlistKeys, this))
{
    setObjectName(QStringLiteral("TabSheet5"));
    mPrepare.setSingleShot(true);
    connect(&mPrepare, &QTimer::timeout, this, [this] {
        mNextIndex = 0;
        startNextIndex();
    });
    mSnapshotPart.setSingleShot(true);
    connect(&mSnapshotPart, &QTimer::timeout, this, &SearchPage::takeSnapshotPart);
    // The controls stand in rows beside the results, short enough that all
    // of them are readable at the window's default size.
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 3, 4, 3);
    auto *column = panel("Panel_Suchen");
    auto *rows = tight(new QVBoxLayout(column));
    const auto row = [&](std::initializer_list<QWidget *> widgets, QWidget *holder = nullptr) {
        auto *line = tight(new QHBoxLayout);
        line->setSpacing(8);
        for (QWidget *widget : widgets) {
            line->addWidget(widget);
            if (auto *check = qobject_cast<QCheckBox *>(widget); check && check != mOnType)
                connect(check, &QCheckBox::clicked, this, &SearchPage::queryChanged);
        }
        line->addStretch(1);
        if (!holder) {
            rows->addLayout(line);
            return;
        }
        holder->setLayout(line);
        rows->addWidget(holder);
    };
    mField->setToolTip(plainToolTip(QStringLiteral("Bitte Suchtext eingeben")));
    mField->setFixedWidth(201);
    mScopeText->setChecked(true);
    mReplaceButton->setText(QStringLiteral("Alle ersetzen"));
    row({mField, mButton, mOnType});
    row({new QLabel(QStringLiteral("Suchen in:")), mScopeKey, mScopeText, mScopeComment});
    row({mMatchCase, mWholeWord, mRegex});
    row({new QLabel(QStringLiteral("Nur:")), mUntranslated, mWithComment, mChanged});
    row({new QLabel(QStringLiteral("Referenz:")), mOnlyHere, mSameAsReference}, mReferenceRow);
    row({new QLabel(QStringLiteral("Ersetzen durch")), mReplacement, mReplaceButton});
    rows->addStretch(1);
    mReplacement->setMinimumWidth(120);
    mOnlyHere->setToolTip(plainToolTip(QStringLiteral("Schlüssel, die die geöffnete Referenz nicht hat")));
    mSameAsReference->setToolTip(plainToolTip(QStringLiteral("Übersetzung gleich der der geöffneten Referenz")));
    mReferenceRow->setEnabled(false);
    layout->addWidget(column);
    // The count and a bad pattern's error stand over the results.
    auto *results = panel("Panel_Ergebnisse");
    auto *resultsLayout = tight(new QVBoxLayout(results));
    mPatternError->setWordWrap(true);
    mPatternError->setStyleSheet(QStringLiteral("color: #b00000;"));
    mPatternError->hide();
    resultsLayout->addWidget(mCount);
    resultsLayout->addWidget(mPatternError);
    resultsLayout->addWidget(mResults, 1);
    layout->addWidget(results, 1);
    mFindNext->setShortcut(QKeySequence(Qt::Key_F3));
    mFindPrevious->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
    mResults->setToolTip(plainToolTip(QStringLiteral("Suchergebnisse")));
    // The results keep their names when the list's positions change.
    pack.data().hashlistKeys.setBeforeRelayout([this] { mModel->keepNames(); });
    mResults->setModel(mModel);
    // A regular expression searches a snapshot taken after the last change.
    const auto forget = [this] {
        mSnapshot.reset();
        mReferenceFilter.reset();
    };
    const KeyList *keys = &pack.keys();
    const auto keysChanged = [this] {
        ++mKeyListChanges;
        mNameIndex.reset();
    };
    connect(keys, &QAbstractItemModel::rowsInserted, this, keysChanged);
    connect(keys, &QAbstractItemModel::rowsRemoved, this, keysChanged);
    connect(keys, &QAbstractItemModel::rowsMoved, this, keysChanged);
    connect(keys, &QAbstractItemModel::modelReset, this, keysChanged);
    connect(keys, &QAbstractItemModel::dataChanged, this, keysChanged);
    // Results shown as rows of the key list keep their names first.
    const auto keep = [this] { mModel->keepNames(); };
    connect(keys, &QAbstractItemModel::rowsAboutToBeInserted, this, keep);
    connect(keys, &QAbstractItemModel::rowsAboutToBeRemoved, this, keep);
    connect(keys, &QAbstractItemModel::rowsAboutToBeMoved, this, keep);
    connect(keys, &QAbstractItemModel::modelAboutToBeReset, this, keep);
    connect(&pack.history(), &QUndoStack::indexChanged, this, forget);
    connect(&pack.history(), &QUndoStack::cleanChanged, this, forget);
    connect(&pack, &LanguagePack::historyReset, this, forget);
    connect(&pack, &LanguagePack::written, this, forget);
    showCount();
}

SearchPage::~SearchPage()
{
    if (mCancel)
        mCancel->store(true);
}

QList<QWidget *> SearchPage::tabChain() const
{
    return {mField, mButton, mOnType, mScopeKey, mScopeText, mScopeComment, mMatchCase, mWholeWord, mRegex,
        mUntranslated, mWithComment, mChanged, mOnlyHere, mSameAsReference, mReplacement, mReplaceButton, mResults};
}

FindQuery SearchPage::query() const
{
    FindQuery query;
    query.text = mField->text();
    query.scopes = (mScopeKey->isChecked() ? FindQuery::Key : 0) | (mScopeText->isChecked() ? FindQuery::Text : 0)
        | (mScopeComment->isChecked() ? FindQuery::Comment : 0);
    query.caseSensitive = mMatchCase->isChecked();
    query.wholeWord = mWholeWord->isChecked();
    query.regex = mRegex->isChecked();
    query.untranslated = mUntranslated->isChecked();
    query.withComment = mWithComment->isChecked();
    query.changed = mChanged->isChecked();
    // Hidden without a reference, and then no part of the query.
    query.onlyHere = isReferenceOpen() && mOnlyHere->isChecked();
    query.sameAsReference = isReferenceOpen() && mSameAsReference->isChecked();
    return query;
}

void SearchPage::setReference(const LanguagePack &reference)
{
    mReference = &reference;
    connect(&reference, &LanguagePack::historyReset, this, [this] {
        mReferenceFilter.reset();
        showReferenceFilters();
        if (mOnlyHere->isChecked() || mSameAsReference->isChecked())
            emit queryChanged();
    });
    showReferenceFilters();
}

bool SearchPage::isReferenceOpen() const
{
    return mReference && mReference->state() == LanguagePack::State::Open;
}

void SearchPage::showReferenceFilters()
{
    mReferenceRow->setEnabled(isReferenceOpen());
}

void SearchPage::awaitIndexesFor(const FindQuery &query)
{
    if (query.text.isEmpty() || query.regex)
        return;
    const KeyData &data = mPack.data();
    const auto needed = [&] {
        if (!mJob)
            return false;
        if (!mJob->list)
            return (query.scopes & FindQuery::Key) != 0;
        return (mJob->list == &data.hashlistKeys && (query.scopes & FindQuery::Text))
            || (mJob->list == &data.hashlistComments && (query.scopes & FindQuery::Comment));
    };
    if (!needed())
        return;
    BusyCursor busy;
    while (needed())
        finishIndex(mJob);
}

KeyFinder SearchPage::finderFor(const FindQuery &query)
{
    awaitIndexesFor(query);
    KeyFinder finder(query);
    if ((query.scopes & FindQuery::Key) && !query.regex && !query.text.isEmpty()) {
        if (!mNameIndex)
            mNameIndex = KeyFinder::nameIndex(mPack);
        finder.setNameIndex(mNameIndex);
    }
    if (query.withComment)
        finder.setCommentMarks(mCommentMarks);
    if (query.hasReferenceFilter()) {
        if (!mReferenceFilter)
            mReferenceFilter = std::make_shared<const ReferenceFilter>(mPack, *mReference);
        finder.setReference(mReferenceFilter);
    }
    return finder;
}

void SearchPage::prepare()
{
    // Once the pack is shown: taking the texts for the indexes takes a
    // while on a large pack.
    mPrepare.start(0);
}

void SearchPage::startNextIndex()
{
    // One after the other, the translations' first: a search waits for
    // that one only. Last, here, which translations have a comment.
    mJob.reset();
    while (!mJob && mNextIndex < 4) {
        const int next = mNextIndex++;
        if (next < 2) {
            const Hashlist &list = next == 0 ? mPack.data().hashlistKeys : mPack.data().hashlistComments;
            if (list.count() <= kLargeSearch)
                continue;
            if (const std::shared_ptr<Hashlist::IndexBuild> build = list.prepareSearchIndex())
                startIndex(IndexJob{&list, [&list, build](size_t lines) { return list.takeSnapshot(*build, lines); },
                    [build] { build->run(); }, [&list, build] { list.adoptSearchIndex(*build); }, {}});
        } else if (next == 3) {
            if (mPack.data().hashlistComments.count() > kLargeSearch)
                mCommentMarks->update(mPack.data());
        } else if (!mNameIndex && mPack.keys().count() > kLargeSearch) {
            auto names = std::make_shared<std::vector<QString>>();
            auto index = std::make_shared<std::shared_ptr<SearchIndex>>();
            // The key list's changes when the copy of its names began.
            auto changes = std::make_shared<quint64>(mKeyListChanges);
            const auto take = [this, names, changes](size_t lines) {
                const std::vector<QString> &all = mPack.keys().names();
                if (*changes != mKeyListChanges) {
                    *changes = mKeyListChanges;
                    names->clear();
                }
                const size_t end = names->size() + std::min(lines, all.size() - names->size());
                names->insert(names->end(), all.begin() + qsizetype(names->size()), all.begin() + qsizetype(end));
                return end == all.size();
            };
            startIndex(IndexJob{nullptr, take,
                [names, index] {
                    *index = SearchIndex::build(*names, *names);
                    names->clear();
                },
                [this, index, changes] {
                    if (!mNameIndex && *changes == mKeyListChanges)
                        mNameIndex = *index;
                },
                {}});
        }
    }
}

void SearchPage::startIndex(IndexJob job)
{
    mJob = std::make_shared<IndexJob>(std::move(job));
    mSnapshotPart.start(0);
}

void SearchPage::takeSnapshotPart()
{
    const std::shared_ptr<IndexJob> job = mJob;
    if (!job || !job->take)
        return;
    if (!job->take(kSnapshotPart)) {
        mSnapshotPart.start(0);
        return;
    }
    job->take = nullptr;
    job->future = QtConcurrent::run(&workerPool(), job->run);
    auto *watcher = new QFutureWatcher<void>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, job] {
        watcher->deleteLater();
        finishIndex(job);
    });
    watcher->setFuture(job->future);
}

void SearchPage::finishIndex(const std::shared_ptr<IndexJob> &job)
{
    if (mJob != job)
        return;
    // A search that needs the index now takes the rest of the texts at once.
    if (job->take) {
        mSnapshotPart.stop();
        job->take(SIZE_MAX);
        job->take = nullptr;
        job->run();
    }
    job->future.waitForFinished();
    job->adopt();
    startNextIndex();
}

void SearchPage::search()
{
    const FindQuery query = this->query();
    const KeyFinder finder = finderFor(query);
    const QString error = finder.patternError();
    showPatternError(error);
    if (!error.isEmpty())
        return;
    // A newer search drops the one still running.
    if (mCancel) {
        mCancel->store(true);
        mCancel.reset();
        mRunning = false;
    }
    if (query.text.isEmpty() && !query.hasFilter()) {
        mModel->show({});
        showCount();
        return;
    }
    if (query.regex) {
        searchInBackground(finder);
        return;
    }
    // Without a background build, the first search of a large pack builds
    // the index first.
    const Hashlist &translations = mPack.data().hashlistKeys;
    std::optional<BusyCursor> busy;
    if (!translations.isSearchReady() && translations.count() > kLargeSearch && !query.text.isEmpty())
        busy.emplace();
    if (std::optional<std::vector<qint32>> lines = finder.findLines(mPack)) {
        mModel->show(std::move(*lines));
        showCount();
        return;
    }
    if (std::optional<std::vector<qint32>> rows = finder.findRows(mPack)) {
        mModel->showRows(std::move(*rows), mPack.keys().names());
        showCount();
        return;
    }
    showNames(finder.find(mPack));
}

void SearchPage::refresh()
{
    const FindQuery query = this->query();
    if (!query.text.isEmpty() || query.hasFilter())
        search();
}

void SearchPage::searchInBackground(const KeyFinder &finder)
{
    if (!mSnapshot)
        mSnapshot = KeyFinder::snapshot(mPack);
    if (qsizetype(mSnapshot->keys.size()) <= kLargeSearch) {
        showNames(finder.find(*mSnapshot));
        return;
    }
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    mCancel = cancel;
    mRunning = true;
    auto *watcher = new QFutureWatcher<std::vector<QString>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, cancel] {
        watcher->deleteLater();
        if (cancel != mCancel)
            return;
        mCancel.reset();
        mRunning = false;
        showNames(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run(&workerPool(),
        [finder, snapshot = mSnapshot, cancel] { return finder.find(*snapshot, cancel.get()); }));
}

void SearchPage::showPatternError(const QString &error)
{
    mPatternError->setText(error);
    mPatternError->setVisible(!error.isEmpty());
    mField->setStyleSheet(error.isEmpty() ? QString() : QStringLiteral("QLineEdit { background: #ffd6d6; }"));
    mField->setToolTip(plainToolTip(error.isEmpty() ? QStringLiteral("Bitte Suchtext eingeben") : error));
}

void SearchPage::showNames(std::vector<QString> names)
{
    mModel->showNames(std::move(names));
    showCount();
}

void SearchPage::showCount()
{
    mCount->setText(number(mModel->rowCount()) + QStringLiteral(" Treffer"));
}

QString SearchPage::stepResult(const QString &key, bool forward)
{
    const int rows = mModel->rowCount();
    if (rows == 0)
        return QString();
    // The results stand in list order: the first row after the key, and
    // the first row not before it.
    const auto bound = [&](bool after) {
        int low = 0;
        int high = rows;
        while (low < high) {
            const int middle = low + (high - low) / 2;
            const QString name = mModel->nameAt(middle);
            if (after ? !KeyList::lessThan(key, name) : KeyList::lessThan(name, key))
                low = middle + 1;
            else
                high = middle;
        }
        return low;
    };
    int row = 0;
    if (forward) {
        row = bound(true);
        row = row < rows ? row : 0;
    } else {
        row = bound(false) - 1;
        row = row >= 0 ? row : rows - 1;
    }
    mResults->setCurrentIndex(mModel->index(row, 0));
    return mModel->nameAt(row);
}

QString SearchPage::replaceAll(LanguagePack &pack, Prompts &prompts)
{
    const FindQuery query = this->query();
    const KeyFinder finder = finderFor(query);
    const QString error = finder.patternError();
    showPatternError(error);
    if (!error.isEmpty())
        throw Error(error);
    if (query.text.isEmpty())
        throw Error(QStringLiteral("Bitte Suchtext eingeben"));
    std::optional<BusyCursor> busy;
    if (pack.keys().count() > kLargeSearch)
        busy.emplace();
    qsizetype count = 0;
    const std::vector<FieldChange> changes = finder.replacements(pack, finder.find(pack), mReplacement->text(), count);
    if (changes.empty()) {
        busy.reset();
        prompts.showInfo(QStringLiteral("Nichts zu ersetzen: der Suchtext kommt nicht vor."));
        return QString();
    }
    qsizetype keys = 0;
    for (size_t i = 0; i < changes.size(); ++i)
        keys += i == 0 || changes[i].name != changes[i - 1].name;
    busy.reset();
    QString done = QStringLiteral("%1 Ersetzungen in %2 Schlüsseln").arg(number(count), number(keys));
    if (!prompts.confirm(done + QStringLiteral(". Fortfahren?")))
        return QString();
    if (pack.keys().count() > kLargeSearch)
        busy.emplace();
    pack.changeMany(QStringLiteral("Alle „%1“ durch „%2“ ersetzen").arg(query.text, mReplacement->text()), changes);
    search();
    return done;
}

} // namespace Wordloom
