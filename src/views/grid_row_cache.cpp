#include "views/grid_row_cache.h"

#include <algorithm>

namespace qqc {

const GridSampleRow* GridRowCache::row(const std::vector<qint32>& ids, int index) const
{
    if (index < 0 || index >= int(ids.size()))
        return nullptr;
    const qint32 id = ids[size_t(index)];
    auto it = rows_.constFind(id);
    if (it != rows_.cend())
        return &*it;
    if (!store_ || !store_->isValid())
        return nullptr;

    const int first = index - index % kPageSize;
    const int last = std::min(int(ids.size()), first + kPageSize);
    std::vector<qint32> wanted;
    wanted.reserve(size_t(last - first));
    for (int r = first; r < last; ++r)
        if (!rows_.contains(ids[size_t(r)]))
            wanted.push_back(ids[size_t(r)]);
    if (rows_.size() + qsizetype(wanted.size()) > kCacheLimit)
        rows_.clear();
    QHash<qint32, GridSampleRow> fetched;
    try {
        fetched = store_->fetchRows(wanted);
    } catch (const db::DbError& e) {
        qWarning("Sample grid: rows could not be read: %s", e.what());
        return nullptr;
    }
    for (qint32 w : wanted) {
        auto f = fetched.find(w);
        if (f != fetched.end()) {
            rows_.insert(w, std::move(*f));
        } else {
            GridSampleRow gone;
            gone.sampleId = w;
            rows_.insert(w, std::move(gone));
        }
    }
    it = rows_.constFind(id);
    return it == rows_.cend() ? nullptr : &*it;
}

void GridRowCache::reread(qint32 sampleId)
{
    rows_.remove(sampleId);
    if (!store_ || !store_->isValid())
        return;
    try {
        QHash<qint32, GridSampleRow> fetched = store_->fetchRows({sampleId});
        auto f = fetched.find(sampleId);
        if (f != fetched.end())
            rows_.insert(sampleId, std::move(*f));
    } catch (const db::DbError& e) {
        qWarning("Sample grid: row could not be read: %s", e.what());
    }
}

} // namespace qqc
