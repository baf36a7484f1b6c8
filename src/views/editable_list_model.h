#pragma once
// The rows of one editor list (alarm sets, reference oils or customers) as a
// table model: the stored values of each record, shown through the table's
// column descriptions, sorted in memory (10,000 customers sort at once). An
// edit is not applied here: the model reports it (cellEdited) and the window
// stores it and puts the stored record back, so a cell always shows what is
// stored.

#include "views/editor_store.h"

#include <QAbstractTableModel>

namespace qqc {

class EditableListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit EditableListModel(const ListTable& table, QObject* parent = nullptr);

    const ListTable& table() const { return table_; }
    void setRecords(std::vector<ListRecord> records);
    void clear() { setRecords({}); }
    // Replaces the record of the same key (when shown); appends a new one.
    void putRecord(const ListRecord& record);
    void appendRecord(const ListRecord& record);
    void removeRecord(qint32 id);

    int rowOf(qint32 id) const;  // -1 when not shown
    qint32 idAt(int row) const;
    const QVariant& stored(int row, int column) const;
    QString cellText(int row, int column) const;
    // Dates by date, numbers by value, texts without regard to case; empty
    // cells lowest. Ties keep their order.
    void sortByColumn(int column, bool descending);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    // A person finished editing a cell with `text`.
    void cellEdited(int row, int column, const QString& text);

private:
    const ListTable& table_;
    std::vector<ListRecord> rows_;
};

} // namespace qqc
