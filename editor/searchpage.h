#pragma once

#include "document/hashlist.h"
#include "document/keyfinder.h"

#include <QFuture>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace Wordloom {

class LanguagePack;
class NameListView;
class Prompts;
class ReferenceFilter;
class SearchIndex;
class SearchResults;

// The "Suchen" page: the search field, the "Suchen" button, the box that
// searches while typing, where to look, the options and filters, the
// results with their count, and replacing. It builds the translations'
// search index in the background after a load; a regular expression runs
// on a worker thread over a snapshot of the pack.
class SearchPage : public QWidget {
    Q_OBJECT
public:
    SearchPage(const LanguagePack &pack, QAction *suchAction, QAction *changeSearchType, QWidget *parent = nullptr);
    ~SearchPage() override;

    QLineEdit *field() const { return mField; }
    QCheckBox *onTypeBox() const { return mOnType; }
    NameListView *results() const { return mResults; }
    QPushButton *replaceButton() const { return mReplaceButton; }
    // F3 and Shift+F3, for the window to add and connect.
    QAction *findNextAction() const { return mFindNext; }
    QAction *findPreviousAction() const { return mFindPrevious; }
    // The focusable controls in reading order.
    QList<QWidget *> tabChain() const;

    FindQuery query() const;
    // The reference pack, read only: while it is open the filters that
    // compare with it are enabled.
    void setReference(const LanguagePack &reference);

    // Starts building the indexes of a loaded pack, so the first keystroke
    // in any scope does not wait for them.
    void prepare();
    // Whether no index is being built and no search runs in the background.
    bool isReady() const { return !mJob && !mRunning && !mPrepare.isActive(); }
    // Shows the keys the query finds; a search before the index is ready
    // waits for it. An invalid regular expression is marked at the field
    // and leaves the results as they are.
    void search();
    // Searches again when results are shown, so they follow a step undone
    // or redone as they follow a replace-all.
    void refresh();
    // The result after (or before) the key in list order, wrapping around,
    // made the current row; the empty text when there are no results.
    QString stepResult(const QString &key, bool forward);
    // Replaces the search text in the found keys' translations (and their
    // comments when those are searched) as one step, once the user agrees.
    // Returns what was done for the status line, or the empty text.
    QString replaceAll(LanguagePack &pack, Prompts &prompts);

signals:
    // An option, scope or filter was switched.
    void queryChanged();

private:
    struct IndexJob;
    // Builds the next index prepare() asks for on the worker pool.
    void startNextIndex();
    void startIndex(IndexJob job);
    // Copies the next part of the texts a build needs; starts the build on
    // the worker pool once they are all taken.
    void takeSnapshotPart();
    // Waits for the job, adopts its index and starts the next.
    void finishIndex(const std::shared_ptr<IndexJob> &job);
    void showPatternError(const QString &error);
    void showNames(std::vector<QString> names);
    void showCount();
    void searchInBackground(const KeyFinder &finder);
    bool isReferenceOpen() const;
    void showReferenceFilters();
    // Waits for the indexes being built that the query searches.
    void awaitIndexesFor(const FindQuery &query);
    // A finder for the query, with the comparison its reference filters read.
    KeyFinder finderFor(const FindQuery &query);

    const LanguagePack &mPack;
    // Runs what prepare() asks for once the window shows the pack.
    QTimer mPrepare;
    QTimer mSnapshotPart;
    QLineEdit *mField;
    QPushButton *mButton;
    QCheckBox *mOnType;
    QCheckBox *mScopeKey;
    QCheckBox *mScopeText;
    QCheckBox *mScopeComment;
    QCheckBox *mMatchCase;
    QCheckBox *mWholeWord;
    QCheckBox *mRegex;
    QCheckBox *mUntranslated;
    QCheckBox *mWithComment;
    QCheckBox *mChanged;
    QCheckBox *mOnlyHere;
    QCheckBox *mSameAsReference;
    // The reference's filters with their caption, enabled while it is open.
    QWidget *mReferenceRow;
    QLabel *mPatternError;
    QLabel *mCount;
    QLineEdit *mReplacement;
    QPushButton *mReplaceButton;
    QAction *mFindNext;
    QAction *mFindPrevious;
    NameListView *mResults;
    SearchResults *mModel;
    // The index being built, and which of the translations', the
    // comments' and the names' comes next.
    std::shared_ptr<IndexJob> mJob;
    int mNextIndex = 0;
    // The pack's texts for searches on a worker thread, until it changes.
    std::shared_ptr<FindSnapshot> mSnapshot;
    const LanguagePack *mReference = nullptr;
    // The comparison with the reference, until either pack changes.
    std::shared_ptr<const ReferenceFilter> mReferenceFilter;
    // The key names' search index, until the key list changes; the count
    // of those changes tells whether one built apart still fits.
    std::shared_ptr<SearchIndex> mNameIndex;
    quint64 mKeyListChanges = 0;
    const std::shared_ptr<CommentMarks> mCommentMarks = std::make_shared<CommentMarks>();
    // Set to drop the search running in the background.
    std::shared_ptr<std::atomic<bool>> mCancel;
    bool mRunning = false;
};

} // namespace Wordloom
