#include "editor/infogrid.h"

#include "editor/uifonts.h"

#include <QHeaderView>
#include <QSignalBlocker>

namespace Wordloom {

InfoGrid::InfoGrid(QWidget *parent) : QTableWidget(5, 2, parent)
{
    setHorizontalHeaderLabels({QStringLiteral("Option"), QStringLiteral("Wert")});
    verticalHeader()->hide();
    // All five rows fit the page without scrolling.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 1);
    horizontalHeader()->setFixedHeight(fontMetrics().height() + 3);
    setColumnWidth(0, 150);
    setColumnWidth(1, 472);
    horizontalHeader()->setStretchLastSection(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setToolTip(plainToolTip(QStringLiteral("Optionen für das Languagepack festlegen")));
    const char *const rowNames[] = {"Projekt", "Name", "Sprache", "Version", "letzte Änderung"};
    for (int row = 0; row < 5; ++row) {
        auto *nameItem = new QTableWidgetItem(QString::fromUtf8(rowNames[row]));
        nameItem->setFlags(Qt::ItemIsEnabled);
        setItem(row, 0, nameItem);
        setItem(row, 1, new QTableWidgetItem(QString()));
    }
    connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *changed) {
        if (changed->column() == 1)
            emit userEdited(changed->row());
    });
}

QSize InfoGrid::sizeHint() const
{
    return QSize(QTableWidget::sizeHint().width(), minimumSizeHint().height());
}

QSize InfoGrid::minimumSizeHint() const
{
    const int rows = verticalHeader()->defaultSectionSize() * rowCount();
    return QSize(QTableWidget::minimumSizeHint().width(), horizontalHeader()->height() + rows + 2 * frameWidth());
}

void InfoGrid::commitPendingEdit()
{
    if (state() != QAbstractItemView::EditingState)
        return;
    if (QWidget *editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

InfoValues InfoGrid::values()
{
    commitPendingEdit();
    const auto cell = [this](int row) { return item(row, 1)->text(); };
    return InfoValues{cell(0), cell(1), cell(2), cell(3), cell(4)};
}

void InfoGrid::setValues(const InfoValues &info)
{
    setValue(0, info.project);
    setValue(1, info.name);
    setValue(2, info.lang);
    setValue(3, info.version);
    setValue(4, info.date);
}

void InfoGrid::setValue(int row, const QString &value)
{
    const QSignalBlocker silent(this);
    item(row, 1)->setText(value);
}

} // namespace Wordloom
