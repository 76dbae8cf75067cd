#include "editor/keylistbox.h"

#include "document/keylist.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QVBoxLayout>

namespace Wordloom {

namespace {

// Tells the box which current-row changes come from the user's mouse or
// keyboard; the selection model also moves the current row by itself.
class KeyListView : public QListView {
public:
    using QListView::QListView;
    bool inUserInput = false;

protected:
    void mousePressEvent(QMouseEvent *event) override { userScope([&] { QListView::mousePressEvent(event); }); }
    void mouseMoveEvent(QMouseEvent *event) override { userScope([&] { QListView::mouseMoveEvent(event); }); }
    void keyPressEvent(QKeyEvent *event) override { userScope([&] { QListView::keyPressEvent(event); }); }

private:
    template <typename F> void userScope(F f)
    {
        const bool was = inUserInput;
        inUserInput = true;
        f();
        inUserInput = was;
    }
};

} // namespace

KeyListBox::KeyListBox(QWidget *parent)
    : QWidget(parent)
    , mField(new QLineEdit(this))
    , mView(new KeyListView(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(mField);
    layout->addWidget(mView, 1);
    mView->setUniformItemSizes(true);
    mView->setSelectionMode(QAbstractItemView::SingleSelection);
    mView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusProxy(mField);
    connect(mField, &QLineEdit::textEdited, this, &KeyListBox::onTyped);
}

void KeyListBox::setModel(KeyList *model)
{
    mModel = model;
    mView->setModel(model);
    connect(mView->selectionModel(), &QItemSelectionModel::currentChanged, this,
        [this](const QModelIndex &current) {
            if (static_cast<KeyListView *>(mView)->inUserInput)
                onUserPicked(current.isValid() ? current.row() : -1);
        });
}

QString KeyListBox::text() const
{
    return mField->text();
}

void KeyListBox::setText(const QString &text)
{
    mField->setText(text);
}

int KeyListBox::currentRow() const
{
    const QModelIndex current = mView->selectionModel()->currentIndex();
    return current.isValid() && mView->selectionModel()->isSelected(current) ? current.row() : -1;
}

void KeyListBox::selectRow(int row)
{
    QItemSelectionModel *selection = mView->selectionModel();
    if (row < 0 || !mModel || row >= mModel->rowCount()) {
        selection->clear();
        mField->clear();
        return;
    }
    const QModelIndex index = mModel->index(row);
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    mView->scrollTo(index);
    mField->setText(mModel->at(row));
}

void KeyListBox::clear()
{
    mView->selectionModel()->clear();
    mField->clear();
}

void KeyListBox::onUserPicked(int row)
{
    const QString name = row >= 0 ? mModel->at(row) : QString();
    if (name == mField->text())
        return;
    mField->setText(name);
    emit userChanged();
}

void KeyListBox::onTyped(const QString &text)
{
    // The selection follows the typed name, so the commands that act on the
    // selected entry and those that act on the field agree.
    const qsizetype row = mModel ? mModel->find(text) : -1;
    QItemSelectionModel *selection = mView->selectionModel();
    if (row >= 0) {
        const QModelIndex index = mModel->index(int(row));
        selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        mView->scrollTo(index);
    } else {
        selection->clear();
    }
    emit userChanged();
}

} // namespace Wordloom
