#include "editor/namelistview.h"

#include <QHeaderView>

namespace Wordloom {

NameListView::NameListView(QWidget *parent)
    : QTableView(parent)
{
    horizontalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 2);
    setShowGrid(false);
    setWordWrap(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab leaves the list instead of walking its rows.
    setTabKeyNavigation(false);
}

void NameListView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (mInUserInput)
        emit userPicked(current.isValid() ? current.row() : -1);
}

void NameListView::mousePressEvent(QMouseEvent *event)
{
    asUserInput([&] { QTableView::mousePressEvent(event); });
}

void NameListView::mouseMoveEvent(QMouseEvent *event)
{
    asUserInput([&] { QTableView::mouseMoveEvent(event); });
}

void NameListView::keyPressEvent(QKeyEvent *event)
{
    asUserInput([&] { QTableView::keyPressEvent(event); });
}

} // namespace Wordloom
