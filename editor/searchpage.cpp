#include "editor/searchpage.h"

#include "document/searchresults.h"
#include "document/workerpool.h"
#include "editor/actiontable.h"
#include "editor/backgroundwork.h"
#include "editor/layoutparts.h"
#include "editor/namelistview.h"
#include "editor/uifonts.h"

#include <QCheckBox>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <optional>

namespace Wordloom {

namespace {

// From this many translations on, building the search index takes long
// enough to do it in the background, and to show the wait cursor.
constexpr qsizetype kLargeSearch = 10000;

} // namespace

SearchPage::SearchPage(const Hashlist &translations, QAction *suchAction, QAction *changeSearchType, QWidget *parent)
    : QWidget(parent)
    , mTranslations(translations)
    , mField(named(new QLineEdit, "suchbegriff"))
    , mButton(ActionTable::bindButton(fixedButton("buttonSuchen", 113, 25), suchAction))
    , mOnType(ActionTable::actionBox("searchOnType", changeSearchType))
    , mResults(named(new NameListView, "ergenbisse"))
    , mModel(new SearchResults(translations, this))
{
    setObjectName(QStringLiteral("TabSheet5"));
    auto *layout = new QHBoxLayout(this);
    auto *column = panel("Panel_Suchen");
    column->setFixedWidth(201);
    auto *columnLayout = tight(new QVBoxLayout(column));
    mField->setToolTip(plainToolTip(QStringLiteral("Bitte Suchtext eingeben")));
    columnLayout->addWidget(mField);
    columnLayout->addWidget(mButton);
    columnLayout->addWidget(mOnType);
    columnLayout->addStretch(1);
    layout->addWidget(column);
    mResults->setToolTip(plainToolTip(QStringLiteral("Suchergebnisse")));
    // The results keep their names when the list's positions change.
    translations.setBeforeRelayout([this] { mModel->keepNames(); });
    mResults->setModel(mModel);
    layout->addWidget(mResults, 1);
}

QList<QWidget *> SearchPage::tabChain() const
{
    return {mField, mButton, mOnType, mResults};
}

void SearchPage::prepare()
{
    if (mTranslations.count() <= kLargeSearch)
        return;
    const std::shared_ptr<Hashlist::IndexBuild> build = mTranslations.prepareSearchIndex();
    if (!build)
        return;
    mBuild = build;
    auto *watcher = new QFutureWatcher<void>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, build] {
        watcher->deleteLater();
        adopt(build);
    });
    mFuture = QtConcurrent::run(&workerPool(), [build] { build->run(); });
    watcher->setFuture(mFuture);
}

void SearchPage::adopt(const std::shared_ptr<Hashlist::IndexBuild> &build)
{
    if (mBuild != build)
        return;
    mFuture.waitForFinished();
    mTranslations.adoptSearchIndex(*build);
    mBuild.reset();
}

void SearchPage::search()
{
    // Without a background build, the first search of a large pack builds
    // the index first.
    std::optional<BusyCursor> busy;
    if (!mTranslations.isSearchReady() && mTranslations.count() > kLargeSearch && !mField->text().isEmpty()) {
        busy.emplace();
        if (mBuild)
            adopt(mBuild);
    }
    mModel->show(mTranslations.linesContaining(mField->text()));
}

} // namespace Wordloom
