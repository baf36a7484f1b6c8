#include "views/editable_list_model.h"

#include "views/cell_text.h"

#include <algorithm>

namespace qqc {

EditableListModel::EditableListModel(const ListTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table)
{
}

void EditableListModel::setRecords(std::vector<ListRecord> records)
{
    beginResetModel();
    rows_ = std::move(records);
    endResetModel();
}

void EditableListModel::putRecord(const ListRecord& record)
{
    const int row = rowOf(record.id);
    if (row < 0) {
        appendRecord(record);
        return;
    }
    rows_[size_t(row)] = record;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void EditableListModel::appendRecord(const ListRecord& record)
{
    const int row = rowCount();
    beginInsertRows({}, row, row);
    rows_.push_back(record);
    endInsertRows();
}

void EditableListModel::removeRecord(qint32 id)
{
    const int row = rowOf(id);
    if (row < 0)
        return;
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
}

int EditableListModel::rowOf(qint32 id) const
{
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].id == id)
            return int(i);
    return -1;
}

qint32 EditableListModel::idAt(int row) const
{
    return row >= 0 && row < rowCount() ? rows_[size_t(row)].id : 0;
}

const QVariant& EditableListModel::stored(int row, int column) const
{
    static const QVariant none;
    if (row < 0 || row >= rowCount() || column < 0 || column >= rows_[size_t(row)].values.size())
        return none;
    return rows_[size_t(row)].values.at(column);
}

QString EditableListModel::cellText(int row, int column) const
{
    if (column < 0 || column >= columnCount())
        return QString();
    return cellDisplayText(table_.columns[size_t(column)], stored(row, column));
}

namespace {

// What a stored value sorts by: empty lowest, then numbers by value, dates
// (stored as ISO text) and texts by their text, texts without regard to case.
struct SortKey {
    bool empty = true;
    double number = 0;
    QString text;
};

SortKey sortKeyOf(const ListColumn& c, const QVariant& v)
{
    SortKey k;
    k.empty = v.isNull() || (c.kind == ListColumn::Text && v.toString().isEmpty());
    if (k.empty)
        return k;
    if (c.kind == ListColumn::Key || c.kind == ListColumn::Number)
        k.number = v.toDouble();
    else
        k.text = c.kind == ListColumn::Text ? v.toString().toCaseFolded() : v.toString();
    return k;
}

bool lessThan(const SortKey& a, const SortKey& b)
{
    if (a.empty || b.empty)
        return a.empty && !b.empty;
    if (a.text.isNull() && b.text.isNull())
        return a.number < b.number;
    return a.text < b.text;
}

} // namespace

void EditableListModel::sortByColumn(int column, bool descending)
{
    if (column < 0 || column >= columnCount())
        return;
    const ListColumn& c = table_.columns[size_t(column)];
    std::vector<std::pair<SortKey, size_t>> keys;
    keys.reserve(rows_.size());
    for (size_t i = 0; i < rows_.size(); ++i)
        keys.emplace_back(sortKeyOf(c, rows_[i].values.value(column)), i);
    std::stable_sort(keys.begin(), keys.end(), [descending](const auto& a, const auto& b) {
        return descending ? lessThan(b.first, a.first) : lessThan(a.first, b.first);
    });
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRow(rows_.size());
    std::vector<ListRecord> sorted;
    sorted.reserve(rows_.size());
    for (const auto& k : keys) {
        newRow[k.second] = int(sorted.size());
        sorted.push_back(std::move(rows_[k.second]));
    }
    rows_ = std::move(sorted);
    // The view's current cell and selection follow their records.
    for (const QModelIndex& old : persistentIndexList())
        changePersistentIndex(old, index(newRow[size_t(old.row())], old.column()));
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int EditableListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int EditableListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(table_.columns.size());
}

QVariant EditableListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: return cellText(index.row(), index.column());
    case Qt::ToolTipRole: {
        const QString tip = table_.columns[size_t(index.column())].toolTip;
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    default: return {};
    }
}

QVariant EditableListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount() || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return table_.columns[size_t(section)].header;
}

Qt::ItemFlags EditableListModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && table_.columns[size_t(index.column())].kind != ListColumn::Key)
        f |= Qt::ItemIsEditable;
    return f;
}

bool EditableListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    emit cellEdited(index.row(), index.column(), value.toString());
    return true;
}

} // namespace qqc
