#pragma once

#include <QAbstractListModel>
#include <QStringList>
#include <vector>

namespace Wordloom {

class Hashlist;

// The names a search found, as a list model. It holds the lines' positions
// (or the key list's rows) and reads a name only when a view asks for its
// row, so a million hits cost no copies. Before the list's positions change it keeps the names
// themselves, so the results stay as they were found.
class SearchResults : public QAbstractListModel {
    Q_OBJECT
public:
    explicit SearchResults(const Hashlist &list, QObject *parent = nullptr);

    void show(std::vector<qint32> lines);
    // Shows the names at these rows of the key list's names, read when
    // shown likewise; keepNames() must be called before they change.
    void showRows(std::vector<qint32> rows, const std::vector<QString> &keys);
    // Shows names found apart from the list's positions.
    void showNames(std::vector<QString> names);
    QString nameAt(int row) const { return data(index(row, 0)).toString(); }
    // Takes the names now; called before the list's positions change.
    void keepNames();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    // The name at a line or row, while they are kept.
    const QString &nameOf(qint32 at) const;

    const Hashlist &mList;
    // Lines of the list, or rows of the key names when they are set.
    std::vector<qint32> mLines;
    const std::vector<QString> *mKeys = nullptr;
    // Used instead of mLines once the positions went stale.
    QStringList mNames;
};

} // namespace Wordloom
