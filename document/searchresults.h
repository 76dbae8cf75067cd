#pragma once

#include <QAbstractListModel>
#include <QStringList>
#include <vector>

namespace Wordloom {

class Hashlist;

// The names a search found, as a list model. It holds the lines' positions
// and reads a name only when a view asks for its row, so a million hits
// cost no copies. Before the list's positions change it keeps the names
// themselves, so the results stay as they were found.
class SearchResults : public QAbstractListModel {
    Q_OBJECT
public:
    explicit SearchResults(const Hashlist &list, QObject *parent = nullptr);

    void show(std::vector<qint32> lines);
    // Shows names found apart from the list's positions.
    void showNames(std::vector<QString> names);
    QString nameAt(int row) const { return data(index(row, 0)).toString(); }
    // Takes the names now; called before the list's positions change.
    void keepNames();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    const Hashlist &mList;
    std::vector<qint32> mLines;
    // Used instead of mLines once the positions went stale.
    QStringList mNames;
};

} // namespace Wordloom
