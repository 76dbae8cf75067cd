#include "editor/namelistview.h"

#include <QAccessibleWidget>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>

namespace Wordloom {

namespace {

// One row of a name list, for screen readers.
class NameRow : public QAccessibleInterface {
public:
    NameRow(NameListView *view, int row) : mView(view), mRow(row) {}

    int row() const { return mRow; }
    bool isValid() const override { return mView && mRow < mView->rowCount(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return mView ? mView->window()->windowHandle() : nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(mView.data()); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name && isValid() ? index().data().toString() : QString();
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        const QRect shown = mView->visualRect(index());
        return QRect(mView->viewport()->mapToGlobal(shown.topLeft()), shown.size());
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.selectable = state.focusable = true;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        state.selected = mView->selectionModel()->isSelected(index());
        state.focused = mView->hasFocus() && mView->currentIndex() == index();
        state.invisible = !mView->viewport()->rect().intersects(mView->visualRect(index()));
        return state;
    }

private:
    QModelIndex index() const { return mView->model()->index(mRow, 0); }
    QPointer<NameListView> mView;
    int mRow;
};

// The list itself: its children are the rows.
class NameListAccessible : public QAccessibleWidget {
public:
    explicit NameListAccessible(NameListView *view) : QAccessibleWidget(view, QAccessible::List) {}

    int childCount() const override { return view()->rowCount(); }
    QAccessibleInterface *child(int index) const override
    {
        return index >= 0 && index < childCount() ? view()->accessibleRow(index) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child && child->role() == QAccessible::ListItem && child->parent() == this
            ? static_cast<const NameRow *>(child)->row()
            : -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QModelIndex index = view()->indexAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
        return index.isValid() ? child(index.row()) : nullptr;
    }
    QAccessibleInterface *focusChild() const override
    {
        return view()->currentIndex().isValid() ? child(view()->currentIndex().row()) : nullptr;
    }

private:
    NameListView *view() const { return static_cast<NameListView *>(widget()); }
};

QAccessibleInterface *accessibleNameList(const QString &className, QObject *object)
{
    if (className == QLatin1String(NameListView::staticMetaObject.className()))
        return new NameListAccessible(static_cast<NameListView *>(object));
    return nullptr;
}

} // namespace

NameListView::NameListView(QWidget *parent) : QAbstractItemView(parent), mRowHeight(fontMetrics().height() + 2)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab leaves the list instead of walking its rows.
    setTabKeyNavigation(false);
    static const bool accessible = (QAccessible::installFactory(accessibleNameList), true);
    Q_UNUSED(accessible);
}

NameListView::~NameListView()
{
    forgetAccessibleRows();
}

void NameListView::setModel(QAbstractItemModel *model)
{
    if (this->model())
        disconnect(this->model(), nullptr, this, nullptr);
    forgetAccessibleRows();
    QAbstractItemView::setModel(model);
    if (!model)
        return;
    // The rows are laid out by their count alone, whatever changed; a reset
    // or a new layout the view lays out by itself.
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(model, signal, this, &NameListView::rowsChanged);
    connect(model, &QAbstractItemModel::rowsMoved, this, &NameListView::rowsChanged);
    connect(model, &QAbstractItemModel::modelReset, this, &NameListView::forgetAccessibleRows);
    connect(model, &QAbstractItemModel::layoutChanged, this, &NameListView::forgetAccessibleRows);
}

void NameListView::rowsChanged()
{
    forgetAccessibleRows();
    scheduleDelayedItemsLayout();
}

QAccessibleInterface *NameListView::accessibleRow(int row) const
{
    if (const QAccessible::Id id = mAccessibleRows.value(row))
        return QAccessible::accessibleInterface(id);
    auto *item = new NameRow(const_cast<NameListView *>(this), row);
    mAccessibleRows.insert(row, QAccessible::registerAccessibleInterface(item));
    return item;
}

void NameListView::forgetAccessibleRows()
{
    for (const QAccessible::Id id : std::as_const(mAccessibleRows))
        QAccessible::deleteAccessibleInterface(id);
    mAccessibleRows.clear();
}

int NameListView::rowCount() const
{
    return model() ? model()->rowCount(rootIndex()) : 0;
}

int NameListView::verticalOffset() const
{
    return verticalScrollBar()->value();
}

int NameListView::rowAt(int y) const
{
    return std::clamp((y + verticalOffset()) / rowHeight(), 0, std::max(rowCount() - 1, 0));
}

QRect NameListView::visualRect(const QModelIndex &index) const
{
    if (!index.isValid() || index.parent() != rootIndex())
        return QRect();
    return QRect(0, index.row() * rowHeight() - verticalOffset(), viewport()->width(), rowHeight());
}

void NameListView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (!index.isValid())
        return;
    // Rows just added count for the scroll range.
    executeDelayedItemsLayout();
    const int top = index.row() * rowHeight();
    const int height = viewport()->height();
    const int offset = verticalOffset();
    QScrollBar *bar = verticalScrollBar();
    if (hint == PositionAtTop || (hint == EnsureVisible && top < offset))
        bar->setValue(top);
    else if (hint == PositionAtBottom || (hint == EnsureVisible && top + rowHeight() > offset + height))
        bar->setValue(top + rowHeight() - height);
    else if (hint == PositionAtCenter)
        bar->setValue(top - (height - rowHeight()) / 2);
}

QModelIndex NameListView::indexAt(const QPoint &point) const
{
    const int row = (point.y() + verticalOffset()) / rowHeight();
    if (point.y() < 0 || row >= rowCount())
        return QModelIndex();
    return model()->index(row, 0, rootIndex());
}

QModelIndex NameListView::moveCursor(CursorAction action, Qt::KeyboardModifiers)
{
    const int rows = rowCount();
    if (rows == 0)
        return QModelIndex();
    const int current = currentIndex().isValid() ? currentIndex().row() : -1;
    const int page = std::max(viewport()->height() / rowHeight() - 1, 1);
    // Without a current row a step or a page, either way, goes to the first row.
    const bool step = action == MoveUp || action == MovePrevious || action == MoveDown || action == MoveNext
        || action == MovePageUp || action == MovePageDown;
    if (current < 0 && step)
        return model()->index(0, 0, rootIndex());
    int row = current;
    switch (action) {
    case MoveUp:
    case MovePrevious: row = current - 1; break;
    case MoveDown:
    case MoveNext: row = current + 1; break;
    case MovePageUp: row = current - page; break;
    case MovePageDown: row = current + page; break;
    case MoveHome: row = 0; break;
    case MoveEnd: row = rows - 1; break;
    default: return currentIndex();
    }
    return model()->index(std::clamp(row, 0, rows - 1), 0, rootIndex());
}

void NameListView::setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command)
{
    if (rowCount() == 0)
        return;
    const QRect rows = rect.normalized();
    const QItemSelection selection(model()->index(rowAt(rows.top()), 0, rootIndex()),
        model()->index(rowAt(rows.bottom()), 0, rootIndex()));
    selectionModel()->select(selection, command);
}

QRegion NameListView::visualRegionForSelection(const QItemSelection &selection) const
{
    QRegion region;
    for (const QItemSelectionRange &range : selection) {
        const QRect top = visualRect(model()->index(range.top(), 0, rootIndex()));
        const QRect bottom = visualRect(model()->index(range.bottom(), 0, rootIndex()));
        region += (top | bottom) & viewport()->rect();
    }
    return region;
}

void NameListView::updateGeometries()
{
    QScrollBar *bar = verticalScrollBar();
    bar->setSingleStep(rowHeight());
    bar->setPageStep(viewport()->height());
    bar->setRange(0, std::max(rowCount() * rowHeight() - viewport()->height(), 0));
    QAbstractItemView::updateGeometries();
}

void NameListView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const int rows = rowCount();
    if (rows == 0)
        return;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QModelIndex current = currentIndex();
    const bool focused = hasFocus();
    const int last = std::min(rowAt(event->rect().bottom()), rows - 1);
    for (int row = rowAt(event->rect().top()); row <= last; ++row) {
        const QModelIndex index = model()->index(row, 0, rootIndex());
        option.rect = visualRect(index);
        option.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        if (selectionModel()->isSelected(index))
            option.state |= QStyle::State_Selected;
        if (focused && index == current)
            option.state |= QStyle::State_HasFocus;
        itemDelegateForIndex(index)->paint(&painter, option, index);
    }
}

void NameListView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QAbstractItemView::currentChanged(current, previous);
    // The current row also moves while a row is being removed, when its
    // number is not yet the final one.
    if (QAccessible::isActive())
        QMetaObject::invokeMethod(this, &NameListView::announceCurrent, Qt::QueuedConnection);
    if (mInUserInput)
        emit userPicked(current.isValid() ? current.row() : -1);
}

void NameListView::announceCurrent()
{
    if (!currentIndex().isValid() || !hasFocus())
        return;
    QAccessibleEvent event(this, QAccessible::Focus);
    event.setChild(currentIndex().row());
    QAccessible::updateAccessibility(&event);
}

void NameListView::mousePressEvent(QMouseEvent *event)
{
    asUserInput([&] { QAbstractItemView::mousePressEvent(event); });
}

void NameListView::mouseMoveEvent(QMouseEvent *event)
{
    asUserInput([&] { QAbstractItemView::mouseMoveEvent(event); });
}

void NameListView::keyPressEvent(QKeyEvent *event)
{
    asUserInput([&] { QAbstractItemView::keyPressEvent(event); });
}

} // namespace Wordloom
