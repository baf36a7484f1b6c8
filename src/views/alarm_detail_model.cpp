#include "views/alarm_detail_model.h"

#include <QLocale>

namespace qqc {

void AlarmDetailModel::setRows(qint32 alarmId, std::vector<AlarmLimitRow> rows)
{
    beginResetModel();
    alarmId_ = alarmId;
    rows_ = alarmId == 0 ? std::vector<AlarmLimitRow>{} : std::move(rows);
    endResetModel();
}

void AlarmDetailModel::putLimits(const AlarmLimitRow& row)
{
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].parmId != row.parmId)
            continue;
        rows_[i].limits = row.limits;
        emit dataChanged(index(int(i), ColFirstLimit), index(int(i), ColumnCount - 1));
        return;
    }
}

int AlarmDetailModel::parmIdAt(int row) const
{
    return row >= 0 && row < rowCount() ? rows_[size_t(row)].parmId : 0;
}

QString AlarmDetailModel::cellText(int row, int column) const
{
    if (row < 0 || row >= rowCount())
        return QString();
    const AlarmLimitRow& r = rows_[size_t(row)];
    switch (column) {
    case ColParmId: return QString::number(r.parmId);
    case ColParameter: return r.description.toString();
    default: break;
    }
    if (column < ColFirstLimit || column >= ColumnCount)
        return QString();
    const QVariant& v = r.limits[size_t(column - ColFirstLimit)];
    return v.isNull() ? QString() : QLocale().toString(v.toDouble(), 'g', QLocale::FloatingPointShortest);
}

QColor AlarmDetailModel::headerColour(int column)
{
    static const QRgb colours[] = {0x00FFFF, 0xFFFF00, 0xFF00FF, 0xFF0000};
    if (column < ColFirstLimit || column >= ColumnCount)
        return QColor();
    return QColor(colours[column - ColFirstLimit]);
}

bool AlarmDetailModel::hiddenFor(int parmId, short iso11171)
{
    switch (parmId) {
    case 97:
    case 98:
    case 100: return iso11171 == 1;
    case 1097:
    case 1098:
    case 1100: return iso11171 != 1;
    default: return false;
    }
}

int AlarmDetailModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int AlarmDetailModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AlarmDetailModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: return cellText(index.row(), index.column());
    case Qt::ToolTipRole:
        if (index.column() == ColParameter)
            return QStringLiteral("  Parameter Name (may not be edited)  ");
        if (index.column() == ColFirstLimit)
            return QStringLiteral("  Range of Values for selected Alarm Set Parameters (may be edited)  ");
        return {};
    default: return {};
    }
}

QVariant AlarmDetailModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const headers[ColumnCount] = {"ParmID", "Parameter", "Low Alert", "High Alert", "Low Fault",
                                                     "High Fault"};
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(headers[section]);
    if (role == Qt::BackgroundRole && headerColour(section).isValid())
        return headerColour(section);
    return {};
}

Qt::ItemFlags AlarmDetailModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    // Limits only, and only of a set that exists.
    if (index.isValid() && index.column() >= ColFirstLimit && alarmId_ > 0)
        f |= Qt::ItemIsEditable;
    return f;
}

bool AlarmDetailModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    emit cellEdited(index.row(), index.column(), value.toString());
    return true;
}

} // namespace qqc
