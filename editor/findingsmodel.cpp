#include "editor/findingsmodel.h"

#include "document/keylist.h"

#include <algorithm>

namespace Wordloom {

void FindingsModel::setFindings(std::vector<Finding> findings)
{
    beginResetModel();
    mFindings = std::move(findings);
    endResetModel();
}

const Finding *FindingsModel::at(int row) const
{
    return row >= 0 && size_t(row) < mFindings.size() ? &mFindings[size_t(row)] : nullptr;
}

void FindingsModel::removeAt(int row)
{
    if (!at(row))
        return;
    beginRemoveRows(QModelIndex(), row, row);
    mFindings.erase(mFindings.begin() + row);
    endRemoveRows();
}

bool FindingsModel::replaceKey(const QString &key, std::vector<Finding> fresh)
{
    std::vector<int> old;
    for (size_t row = 0; row < mFindings.size(); ++row)
        if (mFindings[row].key == key)
            old.push_back(int(row));
    const bool same = std::equal(old.begin(), old.end(), fresh.begin(), fresh.end(), [this](int row, const Finding &b) {
        const Finding &a = mFindings[size_t(row)];
        return a.check == b.check && a.message == b.message;
    });
    if (same)
        return false;
    // Row by row, so the view keeps its place.
    for (auto row = old.rbegin(); row != old.rend(); ++row)
        removeAt(*row);
    if (fresh.empty())
        return true;
    // Text findings stand in key list order, after those of the list checks.
    const auto at = std::find_if(mFindings.begin(), mFindings.end(),
        [&](const Finding &f) { return f.check->textCheck && KeyList::lessThan(key, f.key); });
    const int first = int(at - mFindings.begin());
    beginInsertRows(QModelIndex(), first, first + int(fresh.size()) - 1);
    mFindings.insert(at, std::make_move_iterator(fresh.begin()), std::make_move_iterator(fresh.end()));
    endInsertRows();
    return true;
}

int FindingsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(mFindings.size());
}

int FindingsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FindingsModel::data(const QModelIndex &index, int role) const
{
    const Finding *finding = at(index.row());
    if (!finding || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return QVariant();
    switch (index.column()) {
    case SeverityColumn: return severityTitle(finding->check->severity);
    case KeyColumn: return finding->key;
    case CheckColumn: return finding->check->title;
    default: break;
    }
    return finding->message;
}

QVariant FindingsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    static const char *const kTitles[] = {"Art", "Schlüssel", "Prüfung", "Meldung"};
    return QString::fromUtf8(kTitles[std::clamp(section, 0, int(ColumnCount) - 1)]);
}

} // namespace Wordloom
