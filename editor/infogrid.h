#pragma once

#include "document/packformat.h"

#include <QTableWidget>

namespace Wordloom {

// The info grid: five rows of name and value for the pack's info values,
// only the values editable. Values set from code never emit userEdited().
class InfoGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit InfoGrid(QWidget *parent = nullptr);

    // Commits a cell the user is still editing, so readers see what the grid
    // shows.
    void commitPendingEdit();
    // The value column, by position; commits a pending edit first.
    InfoValues values();
    void setValues(const InfoValues &info);
    void setValue(int row, const QString &value);

    // Tall enough for the header and all five rows.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void userEdited(int row);
};

} // namespace Wordloom
