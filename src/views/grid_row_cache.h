#pragma once
// The sample grid's bounded cache of stored rows. A row missing from the
// cache is read together with the rest of its page of neighbouring rows (a
// view paints neighbours next); when the cache would grow past its limit it
// starts afresh. A read that fails is logged and shows an empty row; a
// sample deleted meanwhile by someone else shows as an empty row too.

#include "views/sample_grid_store.h"

#include <QHash>

#include <vector>

namespace qqc {

class GridRowCache {
public:
    static constexpr int kPageSize = 128;
    static constexpr int kCacheLimit = 4096;

    void setStore(const SampleGridStore* store) { store_ = store; }

    // The row of `ids[index]`, reading its page of `ids` when not cached;
    // nullptr when it cannot be read.
    const GridSampleRow* row(const std::vector<qint32>& ids, int index) const;
    // Reads one sample's row now (the repaint that follows then costs nothing).
    void reread(qint32 sampleId);
    void forget(qint32 sampleId) { rows_.remove(sampleId); }
    void clear() { rows_.clear(); }
    int size() const { return int(rows_.size()); }

private:
    const SampleGridStore* store_ = nullptr;  // not owned
    mutable QHash<qint32, GridSampleRow> rows_;
};

} // namespace qqc
