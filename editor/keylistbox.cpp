#include "editor/keylistbox.h"

#include "document/keylist.h"
#include "editor/namelistview.h"
#include "editor/uifonts.h"

#include <QLineEdit>
#include <QVBoxLayout>

namespace Wordloom {

KeyListBox::KeyListBox(const KeyList *model, QWidget *parent)
    : QWidget(parent)
    , mModel(model)
    , mField(new QLineEdit(this))
    , mView(new NameListView(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(mField);
    layout->addWidget(mView, 1);
    setFocusProxy(mField);
    setToolTip(plainToolTip(QStringLiteral("Zu übersetzende Schlüsselwörter")));
    // Qt views take a mutable model; this one only reads it.
    mView->setModel(const_cast<KeyList *>(model));
    connect(mView, &NameListView::userPicked, this, &KeyListBox::onUserPicked);
    connect(mField, &QLineEdit::textEdited, this, &KeyListBox::onTyped);
}

QString KeyListBox::text() const
{
    return mField->text();
}

int KeyListBox::currentRow() const
{
    const QModelIndex current = mView->selectionModel()->currentIndex();
    return current.isValid() && mView->selectionModel()->isSelected(current) ? current.row() : -1;
}

void KeyListBox::selectRow(int row)
{
    if (highlightRow(row))
        mField->setText(mModel->at(row));
    else
        mField->clear();
}

bool KeyListBox::highlightRow(int row)
{
    QItemSelectionModel *selection = mView->selectionModel();
    if (row < 0 || row >= mModel->rowCount()) {
        selection->clear();
        return false;
    }
    const QModelIndex index = mModel->index(row);
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    mView->scrollTo(index);
    return true;
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
    highlightRow(int(mModel->find(text)));
    emit userChanged();
}

} // namespace Wordloom
