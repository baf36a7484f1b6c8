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

// -1, 0, 1 for two stored values of one column; null lowest.
int compareStored(const ListColumn& c, const QVariant& a, const QVariant& b)
{
    const bool an = a.isNull() || (c.kind == ListColumn::Text && a.toString().isEmpty());
    const bool bn = b.isNull() || (c.kind == ListColumn::Text && b.toString().isEmpty());
    if (an || bn)
        return an == bn ? 0 : (an ? -1 : 1);
    switch (c.kind) {
    case ListColumn::Key:
    case ListColumn::Number: {
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (y < x ? 1 : 0);
    }
    case ListColumn::Date: {
        // Stored as ISO text, which orders as the dates do.
        const int r = QString::compare(a.toString(), b.toString());
        return r < 0 ? -1 : (r > 0 ? 1 : 0);
    }
    case ListColumn::Text: {
        const int r = QString::compare(a.toString(), b.toString(), Qt::CaseInsensitive);
        return r < 0 ? -1 : (r > 0 ? 1 : 0);
    }
    }
    return 0;
}

} // namespace

void EditableListModel::sortByColumn(int column, bool descending)
{
    if (column < 0 || column >= columnCount())
        return;
    const ListColumn& c = table_.columns[size_t(column)];
    emit layoutAboutToBeChanged();
    std::stable_sort(rows_.begin(), rows_.end(), [&](const ListRecord& a, const ListRecord& b) {
        const int r = compareStored(c, a.values.value(column), b.values.value(column));
        return descending ? r > 0 : r < 0;
    });
    emit layoutChanged();
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
