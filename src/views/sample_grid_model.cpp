#include "views/sample_grid_model.h"

#include "analysis/severity.h"
#include "db/sample_notices.h"
#include "util/vb_format.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

#include <algorithm>
#include <utility>

namespace qqc {

namespace {

QColor levelColour(int level)
{
    return QColor(QRgb(GetSeverityColors(level)));
}

} // namespace

SampleGridModel::SampleGridModel(QObject* parent) : QAbstractTableModel(parent) { cache_.setStore(&store_); }

SampleGridModel::~SampleGridModel() = default;

void SampleGridModel::setStore(const SampleGridStore& store)
{
    beginResetModel();
    notices_.reset();
    missing_ = false;
    store_ = store;
    columns_.clear();
    ids_.clear();
    highlight_.clear();
    blanked_.clear();
    cache_.clear();
    sorted_ = {};
    endResetModel();
    if (!store_.isValid() || !store_.database()->onServer())
        return;
    try {
        notices_ = std::make_unique<db::SampleNotices>(*store_.database());
    } catch (const db::DbError&) {
        notices_.reset();  // the grid still works, without other stations' news
        return;
    }
    const auto catchUp = [this] {
        missing_ = true;
        try {
            addMissingSamples();
            missing_ = false;
        } catch (const db::DbError&) {
            // The connection is away again: tried at the next notice.
        }
    };
    connect(notices_.get(), &db::SampleNotices::samplesStored, this,
            [this, catchUp](const QList<qint32>& oldestFirst) {
                if (missing_)
                    catchUp();
                insertSamplesAtTop(std::vector<qint32>(oldestFirst.rbegin(), oldestFirst.rend()));
            });
    connect(notices_.get(), &db::SampleNotices::samplesMissed, this, catchUp);
}

bool SampleGridModel::isLive() const { return notices_ && notices_->listening(); }

void SampleGridModel::reload(bool parameters)
{
    std::vector<GridParameter> parms = parameters ? store_.loadParameters() : columns_.parameters();
    std::vector<qint32> ids = store_.loadSampleIds(GridSortKey{});
    beginResetModel();
    columns_.setParameters(std::move(parms));
    ids_ = std::move(ids);
    highlight_.clear();
    blanked_.clear();
    cache_.clear();
    endResetModel();
}

void SampleGridModel::sortByColumn(int column, bool descending)
{
    const std::optional<GridSortKey> key = columns_.sortKey(column, descending);
    if (!key)
        return;
    std::vector<qint32> ids = orderFor(*key);
    if (column == ColSampleId && !descending)
        std::reverse(ids.begin(), ids.end());
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Persistent indexes (the current cell, an open editor) follow their
    // samples to the new rows.
    const QModelIndexList before = persistentIndexList();
    std::vector<qint32> oldIds;
    oldIds.reserve(size_t(before.size()));
    for (const QModelIndex& index : before)
        oldIds.push_back(sampleIdAt(index.row()));
    ids_ = std::move(ids);
    if (!before.isEmpty()) {
        // Few indexes, a million rows: look up only the samples wanted.
        QHash<qint32, int> rowOf;
        for (qint32 id : oldIds)
            rowOf.insert(id, -1);
        qsizetype missing = rowOf.size();
        for (int r = 0; r < int(ids_.size()) && missing > 0; ++r) {
            const auto it = rowOf.find(ids_[size_t(r)]);
            if (it != rowOf.end() && *it < 0) {
                *it = r;
                --missing;
            }
        }
        QModelIndexList after;
        for (int i = 0; i < before.size(); ++i) {
            const int row = rowOf.value(oldIds[size_t(i)], -1);
            after.push_back(row < 0 ? QModelIndex() : index(row, before[i].column()));
        }
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::vector<qint32> SampleGridModel::orderFor(const GridSortKey& key)
{
    if (key.kind == GridSortKey::NewestFirst)
        return store_.loadSampleIds(key);
    const auto token = store_.changeToken();
    if (sorted_.kind != key.kind || sorted_.parmId != key.parmId || sorted_.token != token) {
        sorted_ = {};
        sorted_.descending = store_.loadSampleIds({key.kind, key.parmId, true});
        sorted_.kind = key.kind;
        sorted_.parmId = key.parmId;
        sorted_.token = token;
    }
    std::vector<qint32> ids = sorted_.descending;
    if (!key.descending)
        std::reverse(ids.begin(), ids.end());
    return ids;
}

int SampleGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(ids_.size());
}

int SampleGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columns_.count();
}

QVariant SampleGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return headerText(section);
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return section + 1;
    return QVariant();
}

Qt::ItemFlags SampleGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (isEditableColumn(index.column()))
        f |= Qt::ItemIsEditable;
    return f;
}

qint32 SampleGridModel::sampleIdAt(int row) const
{
    if (row < 0 || row >= int(ids_.size()))
        return -1;
    return ids_[size_t(row)];
}

int SampleGridModel::rowOfSample(qint32 sampleId) const
{
    const auto it = std::find(ids_.begin(), ids_.end(), sampleId);
    return it == ids_.end() ? -1 : int(it - ids_.begin());
}

QString SampleGridModel::cellText(int row, int column) const
{
    const GridSampleRow* r = rowData(row);
    if (!r)
        return QString();
    if (blanked_.contains({r->sampleId, column}))
        return QString();
    return columns_.cellText(*r, column);
}

std::optional<float> SampleGridModel::parameterValue(int row, int parmId) const
{
    const GridSampleRow* r = rowData(row);
    if (!r)
        return std::nullopt;
    const GridDetail* d = r->detail(parmId);
    if (!d)
        return std::nullopt;
    return d->value;
}

int SampleGridModel::cellLevel(int row, int column) const
{
    const GridSampleRow* r = rowData(row);
    return r ? columns_.cellLevel(*r, column) : -1;
}

QVariant SampleGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    const int row = index.row();
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return cellText(row, column);
    case Qt::EditRole: {
        // The editor starts from the stored number of a parameter cell, not
        // from its formatted text.
        const int parmId = parmIdOfColumn(column);
        if (parmId >= 0) {
            const auto v = parameterValue(row, parmId);
            return v ? SingleToText(*v) : QString();
        }
        return cellText(row, column);
    }
    case Qt::BackgroundRole: {
        if ((column == ColSampleNum || column == ColDate) && isHighlighted(row))
            return QGuiApplication::palette().brush(QPalette::Highlight);
        const int level = cellLevel(row, column);
        if (level < 0)
            return QVariant();
        return levelColour(level);
    }
    case Qt::ForegroundRole: {
        if ((column == ColSampleNum || column == ColDate) && isHighlighted(row))
            return QGuiApplication::palette().brush(QPalette::HighlightedText);
        const int level = cellLevel(row, column);
        if (level < 0)
            return QVariant();
        return levelColour(level) == QColor(0xFF, 0, 0) ? QColor(Qt::white) : QColor(Qt::black);
    }
    case Qt::ToolTipRole:
        return columnToolTip(column);
    default:
        return QVariant();
    }
}

bool SampleGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !isEditableColumn(index.column()))
        return false;
    emit cellEdited(index.row(), index.column(), value.toString());
    return true;
}

void SampleGridModel::emitRowChanged(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void SampleGridModel::insertSampleAtTop(qint32 sampleId)
{
    if (rowOfSample(sampleId) >= 0)
        refreshSample(sampleId);
    else
        insertSamplesAtTop({sampleId});
}

void SampleGridModel::insertSamplesAtTop(const std::vector<qint32>& newestFirst)
{
    std::vector<qint32> added;
    if (newestFirst.size() == 1) {
        if (rowOfSample(newestFirst.front()) < 0)
            added = newestFirst;
    } else {
        QSet<qint32> shown(ids_.begin(), ids_.end());
        for (qint32 id : newestFirst) {
            if (!shown.contains(id)) {
                shown.insert(id);
                added.push_back(id);
            }
        }
    }
    if (added.empty())
        return;
    // The order kept for a second click no longer holds every sample.
    sorted_ = {};
    beginInsertRows(QModelIndex(), 0, int(added.size()) - 1);
    ids_.insert(ids_.begin(), added.begin(), added.end());
    for (qint32 id : added)
        cache_.forget(id);
    endInsertRows();
}

void SampleGridModel::addMissingSamples()
{
    std::vector<qint32> all = store_.loadSampleIds(GridSortKey{});
    const QSet<qint32> shown(ids_.begin(), ids_.end());
    std::erase_if(all, [&](qint32 id) { return shown.contains(id); });
    insertSamplesAtTop(all);
}

bool SampleGridModel::refreshSample(qint32 sampleId)
{
    const int row = rowOfSample(sampleId);
    if (row < 0)
        return false;
    refreshRow(row);
    return true;
}

void SampleGridModel::refreshRow(int row)
{
    const qint32 id = sampleIdAt(row);
    if (id < 0)
        return;
    for (int c = 0; c < columnCount(); ++c)
        blanked_.remove({id, c});
    cache_.reread(id);
    emitRowChanged(row);
}

void SampleGridModel::removeSamples(const QSet<qint32>& sampleIds)
{
    if (sampleIds.isEmpty())
        return;
    // Remove runs of adjacent rows from the bottom up.
    int row = int(ids_.size()) - 1;
    while (row >= 0) {
        if (!sampleIds.contains(ids_[size_t(row)])) {
            --row;
            continue;
        }
        int first = row;
        while (first > 0 && sampleIds.contains(ids_[size_t(first - 1)]))
            --first;
        beginRemoveRows(QModelIndex(), first, row);
        for (int r = first; r <= row; ++r) {
            highlight_.remove(ids_[size_t(r)]);
            cache_.forget(ids_[size_t(r)]);
        }
        ids_.erase(ids_.begin() + first, ids_.begin() + row + 1);
        endRemoveRows();
        row = first - 1;
    }
}

void SampleGridModel::blankCell(int row, int column)
{
    const qint32 id = sampleIdAt(row);
    if (id < 0)
        return;
    blanked_.insert({id, column});
    emit dataChanged(index(row, column), index(row, column));
}

bool SampleGridModel::isHighlighted(int row) const
{
    const qint32 id = sampleIdAt(row);
    return row >= 0 && row < rowCount() && highlight_.contains(id);
}

void SampleGridModel::emitHighlightChanged(int row)
{
    emit dataChanged(index(row, ColSampleNum), index(row, ColDate), {Qt::BackgroundRole, Qt::ForegroundRole});
}

void SampleGridModel::setHighlighted(int row, bool on)
{
    if (row < 0 || row >= rowCount())
        return;
    const qint32 id = ids_[size_t(row)];
    if (on == highlight_.contains(id))
        return;
    if (on)
        highlight_.insert(id);
    else
        highlight_.remove(id);
    emitHighlightChanged(row);
}

void SampleGridModel::highlightRange(int firstRow, int lastRow)
{
    if (firstRow > lastRow)
        std::swap(firstRow, lastRow);
    firstRow = std::max(firstRow, 0);
    lastRow = std::min(lastRow, rowCount() - 1);
    for (int r = firstRow; r <= lastRow; ++r)
        setHighlighted(r, true);
}

void SampleGridModel::clearHighlights()
{
    if (highlight_.isEmpty())
        return;
    std::vector<int> rows = highlightedRows();
    highlight_.clear();
    for (int r : rows)
        emitHighlightChanged(r);
}

std::vector<int> SampleGridModel::highlightedRows() const
{
    std::vector<int> rows;
    if (highlight_.isEmpty())
        return rows;
    for (int r = 0; r < int(ids_.size()); ++r)
        if (highlight_.contains(ids_[size_t(r)]))
            rows.push_back(r);
    return rows;
}

} // namespace qqc
