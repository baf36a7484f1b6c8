#pragma once
// The grid's row order by one column, computed in memory from the stored
// values of that column alone.
//
// The grid once sorted in the database on an index of each column's sort
// key, built in the user's file on the first sort by that column: seconds on
// a large file, with the window frozen and the write lock held. Reading one
// column (from a narrow index of the template, or one parameter's detail
// rows) and sorting it here takes a fraction of that and writes nothing.
//
// The keys compare exactly as the database compares values: blank lowest,
// then numbers by value (whole and fractional alike), then texts byte by
// byte (ignoring ASCII case in the text columns), then anything binary.

#include "db/engine.h"
#include "views/sample_grid_store.h"

#include <QByteArray>

#include <vector>

namespace qqc {

class GridSortBuilder {
public:
    // `kind` is a column kind with a stored value per sample (not
    // NewestFirst or Date, which the database orders on its own indexes).
    explicit GridSortBuilder(GridSortKey::Kind kind, size_t expectedRows = 0);

    // Adds one sample with the value its column stores.
    void add(qint32 sampleId, const db::StoredValue& stored);
    // Every sample added, by descending key, ties newest (highest SampleID)
    // first; the ascending order is the exact reverse.
    std::vector<qint32> descending();

private:
    struct TextSpan {
        quint32 offset;  // into texts_
        quint32 size;
    };
    // 16 bytes a sample: a million take 16 MB while sorting.
    struct Entry {
        qint32 id = 0;
        quint8 type = db::StoredValue::Null;
        union {
            qint64 integer;
            double real;
            TextSpan text;
        };
    };
    Entry entryFor(qint32 sampleId, const db::StoredValue& stored);
    int compare(const Entry& a, const Entry& b) const;

    GridSortKey::Kind kind_;
    bool noCase_ = false;
    std::vector<Entry> entries_;
    QByteArray texts_;  // the text keys, one after another
};

} // namespace qqc
