#include "editor/namelistview.h"

#include <QAccessible>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStringListModel>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace Wordloom;

TEST(NameListView, TheFirstKeyIntoAListWithoutACurrentRowGoesToTheFirstRow)
{
    QStringListModel model(QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    for (const Qt::Key key : {Qt::Key_Down, Qt::Key_PageDown, Qt::Key_Tab}) {
        QWidget window;
        auto *before = new QLineEdit(&window);
        auto *view = new NameListView(&window);
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(before);
        layout->addWidget(view);
        view->setModel(&model);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        // Tab comes from the field before the list; the others go to it.
        QWidget *target = key == Qt::Key_Tab ? static_cast<QWidget *>(before) : view;
        target->setFocus();
        view->selectionModel()->clearCurrentIndex();
        QTest::keyClick(target, key);
        EXPECT_TRUE(view->hasFocus()) << key;
        EXPECT_EQ(view->currentIndex().row(), 0) << key;
    }
}

TEST(NameListView, KeysMouseAndScrollingReachEveryRow)
{
    QStringList names;
    for (int i = 0; i < 1000; ++i)
        names.append(QStringLiteral("name%1").arg(i));
    QStringListModel model(names);
    NameListView view;
    view.setModel(&model);
    view.resize(200, 300);
    view.show();
    QSignalSpy picked(&view, &NameListView::userPicked);
    view.setCurrentIndex(model.index(0));
    const int page = view.viewport()->height() / view.visualRect(model.index(0)).height() - 1;
    const std::pair<Qt::Key, int> steps[]
        = {{Qt::Key_Down, 1}, {Qt::Key_End, 999}, {Qt::Key_Up, 998}, {Qt::Key_PageUp, 998 - page}, {Qt::Key_Home, 0},
            {Qt::Key_Up, 0}, {Qt::Key_PageDown, page}, {Qt::Key_Down, page + 1}};
    for (const auto &[key, row] : steps) {
        QTest::keyClick(&view, key);
        EXPECT_EQ(view.currentIndex().row(), row) << key;
        // The current row is scrolled into view.
        EXPECT_TRUE(view.viewport()->rect().contains(view.visualRect(view.currentIndex()))) << key;
    }
    EXPECT_EQ(picked.count(), 7) << "a key that moves nothing picks nothing";
    // A row added at the end is scrolled to at once.
    model.insertRows(1000, 1);
    view.scrollTo(model.index(1000));
    EXPECT_TRUE(view.viewport()->rect().contains(view.visualRect(model.index(1000))));
    model.removeRows(1000, 1);
    view.scrollTo(model.index(700), QAbstractItemView::PositionAtTop);
    const QPoint second = view.visualRect(model.index(701)).center();
    EXPECT_EQ(view.indexAt(second).row(), 701);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, second);
    EXPECT_EQ(picked.last().at(0).toInt(), 701);
    EXPECT_TRUE(view.selectionModel()->isRowSelected(701));
    view.setCurrentIndex(model.index(5));
    EXPECT_EQ(picked.count(), 8) << "changes from code are not the user's";

    // Screen readers see the rows as the list's items, also after a change.
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(&view);
    ASSERT_EQ(list->role(), QAccessible::List);
    EXPECT_EQ(list->childCount(), 1000);
    EXPECT_TRUE(list->child(5)->state().selected && !list->child(701)->state().selected);
    EXPECT_EQ(list->indexOfChild(list->child(701)), 701);
    model.removeRows(0, 1);
    EXPECT_EQ(list->child(701)->text(QAccessible::Name), QStringLiteral("name702"));
    EXPECT_EQ(list->childAt(view.viewport()->mapToGlobal(second).x(), view.viewport()->mapToGlobal(second).y())
                  ->text(QAccessible::Name),
        view.indexAt(second).data().toString());
}
