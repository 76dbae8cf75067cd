#pragma once

#include <QAbstractItemView>
#include <QAccessible>
#include <QHash>
#include <QScopedValueRollback>

namespace Wordloom {

// A list of names in rows of one fixed height. It keeps nothing per row,
// so adding or removing one of a million names costs no more than one of
// ten (table and list views walk all their rows on such changes). It
// reports only the changes of the current row that the user's mouse or
// keyboard make, since the selection model also moves the current row by
// itself. Screen readers see a list whose items are the rows.
class NameListView : public QAbstractItemView {
    Q_OBJECT
public:
    explicit NameListView(QWidget *parent = nullptr);
    ~NameListView() override;

    void setModel(QAbstractItemModel *model) override;
    QRect visualRect(const QModelIndex &index) const override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint &point) const override;
    int rowCount() const;
    // The accessible item of a row, made on first use and kept until the
    // rows change.
    QAccessibleInterface *accessibleRow(int row) const;

signals:
    // The row is -1 when the user's action left no current row.
    void userPicked(int row);

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override { return 0; }
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex &) const override { return false; }
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;
    void updateGeometries() override;
    void paintEvent(QPaintEvent *event) override;

    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    int rowHeight() const { return mRowHeight; }
    // The row under a height in the viewport, clamped to the rows.
    int rowAt(int y) const;
    void rowsChanged();
    void forgetAccessibleRows();
    // Tells screen readers which row is current, once the change is done.
    void announceCurrent();
    template <typename F> void asUserInput(F f)
    {
        const QScopedValueRollback<bool> rollback(mInUserInput, true);
        f();
    }
    int mRowHeight;
    bool mInUserInput = false;
    mutable QHash<int, QAccessible::Id> mAccessibleRows;
};

} // namespace Wordloom
