#pragma once

#include "document/hashlist.h"

#include <QFuture>
#include <QWidget>
#include <memory>

class QAction;
class QCheckBox;
class QLineEdit;
class QPushButton;

namespace Wordloom {

class NameListView;
class SearchResults;

// The "Suchen" page: the search field, the "Suchen" button, the box that
// searches while typing, and the results over the translations. It builds
// the translations' search index in the background after a load.
class SearchPage : public QWidget {
    Q_OBJECT
public:
    SearchPage(const Hashlist &translations, QAction *suchAction, QAction *changeSearchType, QWidget *parent = nullptr);

    QLineEdit *field() const { return mField; }
    QCheckBox *onTypeBox() const { return mOnType; }
    NameListView *results() const { return mResults; }
    // The focusable controls in reading order.
    QList<QWidget *> tabChain() const;

    // Starts building the index of a loaded pack, so the first keystroke
    // does not wait for it.
    void prepare();
    // Whether no index is being built in the background.
    bool isReady() const { return !mBuild; }
    // Shows the translations that contain the field's text; a search before
    // the index is ready waits for it.
    void search();

private:
    void adopt(const std::shared_ptr<Hashlist::IndexBuild> &build);

    const Hashlist &mTranslations;
    QLineEdit *mField;
    QPushButton *mButton;
    QCheckBox *mOnType;
    NameListView *mResults;
    SearchResults *mModel;
    std::shared_ptr<Hashlist::IndexBuild> mBuild;
    QFuture<void> mFuture;
};

} // namespace Wordloom
