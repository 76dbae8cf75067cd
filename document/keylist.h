#pragma once

#include <QAbstractListModel>
#include <QString>
#include <vector>

namespace Wordloom {

// The pack's keys: a vector kept in case-insensitive order, with ties broken
// by exact comparison so identical names always stand next to each other.
// It is also the list model the key list view shows.
class KeyList : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    static bool lessThan(const QString &a, const QString &b);
    static void sort(std::vector<QString> &names);

    qsizetype count() const { return qsizetype(mNames.size()); }
    const QString &at(qsizetype i) const { return mNames[size_t(i)]; }
    const std::vector<QString> &names() const { return mNames; }

    // Adds a name at its sorted place, after equal ones; returns the row.
    qsizetype insert(const QString &name);
    void removeAt(qsizetype row);
    // Adds many names, sorted as the list is, in one merge (each after
    // names equal to it); returns their rows afterwards, in that order.
    std::vector<qsizetype> insertSorted(const std::vector<QString> &names);
    // Removes the rows, given in ascending order, in one pass.
    void removeSorted(const std::vector<qsizetype> &rows);
    // Gives a row another name and moves it to its sorted place, after
    // equal ones; returns the new row.
    qsizetype rename(qsizetype row, const QString &name);
    // The first row whose name equals the given one ignoring case, or -1.
    qsizetype find(const QString &name) const;
    // How many rows from find() on equal the name ignoring case; they
    // stand together.
    qsizetype equalRows(const QString &name) const;
    // The row of exactly this name, tried at the hint first; -1 when none.
    qsizetype exactRow(const QString &name, qsizetype hint = -1) const;
    // Takes an already sorted vector; returns the names it held.
    std::vector<QString> assign(std::vector<QString> names);
    void clear();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    std::vector<QString> mNames;
};

} // namespace Wordloom
