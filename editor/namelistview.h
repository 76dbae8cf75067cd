#pragma once

#include <QScopedValueRollback>
#include <QTableView>

namespace Wordloom {

// A list of names: a one-column table that looks like a list. Its fixed row
// height lets the view add and remove rows without laying out all the
// others, as a list view does, so a million names stay fast. It reports
// only the changes of the current row that the user's mouse or keyboard
// make, since the selection model also moves the current row by itself.
class NameListView : public QTableView {
    Q_OBJECT
public:
    explicit NameListView(QWidget *parent = nullptr);

signals:
    // The row is -1 when the user's action left no current row.
    void userPicked(int row);

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    template <typename F> void asUserInput(F f)
    {
        const QScopedValueRollback<bool> rollback(mInUserInput, true);
        f();
    }
    bool mInUserInput = false;
};

} // namespace Wordloom
