#pragma once
// The limits of one alarm set as the detail grid shows them: ParmID (hidden),
// Parameter, and the four limits under headers coloured as the sample grid
// colours levels 2 to 5. The model remembers whose limits it holds, so a limit
// edit goes to that set. Edits are reported (cellEdited), not applied.

#include "views/editor_store.h"

#include <QAbstractTableModel>
#include <QColor>

namespace qqc {

class AlarmDetailModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColParmId, ColParameter, ColFirstLimit, ColumnCount = ColFirstLimit + 4 };
    using QAbstractTableModel::QAbstractTableModel;

    // The rows of set `alarmId`; 0 and no rows empty the grid.
    void setRows(qint32 alarmId, std::vector<AlarmLimitRow> rows);
    void putLimits(const AlarmLimitRow& row);
    qint32 alarmId() const { return alarmId_; }
    int parmIdAt(int row) const;
    QString cellText(int row, int column) const;
    static QColor headerColour(int column);  // invalid for the uncoloured ones

    // The ISO11171 rule: 97, 98 and 100 show while the flag is not 1,
    // 1097, 1098 and 1100 only while it is; every other parameter shows.
    static bool hiddenFor(int parmId, short iso11171);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    void cellEdited(int row, int column, const QString& text);

private:
    qint32 alarmId_ = 0;
    std::vector<AlarmLimitRow> rows_;
};

} // namespace qqc
