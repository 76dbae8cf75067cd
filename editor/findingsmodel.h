#pragma once

#include "checks/checkregistry.h"

#include <QAbstractTableModel>
#include <vector>

namespace Wordloom {

// The findings of a run of the checks as a table: severity, key, check and
// message. A vector, so that hundreds of thousands of rows stay cheap.
class FindingsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { SeverityColumn, KeyColumn, CheckColumn, MessageColumn, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    void setFindings(std::vector<Finding> findings);
    const std::vector<Finding> &findings() const { return mFindings; }
    const Finding *at(int row) const;
    void removeAt(int row);
    // Puts fresh findings of one key in place of its old ones, at its place
    // in key list order; returns whether the list changed.
    bool replaceKey(const QString &key, std::vector<Finding> fresh);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<Finding> mFindings;
};

} // namespace Wordloom
