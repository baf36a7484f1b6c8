#include "views/sample_grid_model.h"

#include "analysis/severity.h"
#include "util/ole_date.h"
#include "util/vb_format.h"

#include <QGuiApplication>
#include <QDateTime>
#include <QPalette>

#include <algorithm>

namespace qqc {

namespace {

const char* const kFixedHeaders[] = {
    "", "Sample #  ", "Date      ", "Equip. ID", "Unit Usage", "Oil Usage", "Oil Added",
    "Wear Sev ", "Contam Sev ", "Chem Sev ", "Ref Diel ",
};

const char* const kFixedTips[] = {
    "",
    "  Sample Number ",
    "  Sample Date  ",
    "  Edit/Change Equip. ID in this Cell  ",
    "  Edit/Change Unit Usage in this Cell  ",
    "  Edit/Change Oil Usage in this Cell  ",
    "  Edit/Change Oil Added in this Cell  ",
    "  Wear Severity - measure of contamination of the Oil due to deterioration of mechanical components  ",
    "  Contamination Severity - measure of contamination of the Oil due to external factors  ",
    "  Chemistry Severity - measure of the chemical deterioration of the Oil  ",
    "  Dielectric of assigned Reference Oil  ",
};

bool isBlankText(const QVariant& v)
{
    return v.isNull() || v.toString().trimmed().isEmpty();
}

// A stored number shown as the grid shows it: integers plainly, fractions in
// the short single-precision form.
QString numberText(const QVariant& v)
{
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        return v.toString();
    if (v.typeId() == QMetaType::QString)
        return v.toString().trimmed();
    return SingleToText(float(d));
}

// "x if greater than -1, else blank" for the usage columns.
QString usageText(const QVariant& v)
{
    if (isBlankText(v))
        return QString();
    bool ok = false;
    const double d = v.toString().trimmed().toDouble(&ok);
    if (ok && d <= -1)
        return QString();
    return numberText(v);
}

std::optional<float> storedSeverity(const QVariant& v)
{
    if (v.isNull())
        return std::nullopt;
    bool ok = false;
    const float f = v.toFloat(&ok);
    if (!ok)
        return std::nullopt;
    return f;
}

QColor levelColour(int level)
{
    return QColor(QRgb(GetSeverityColors(level)));
}

} // namespace

QString GridDateText(const QVariant& stored)
{
    if (stored.isNull())
        return QString();
    QDateTime when;
    if (stored.typeId() == QMetaType::QDateTime) {
        when = stored.toDateTime();
    } else if (stored.typeId() == QMetaType::QDate) {
        when = stored.toDate().startOfDay();
    } else {
        bool ok = false;
        const double day = stored.toDouble(&ok);
        if (ok) {
            if (day == 0.0)
                return QString();
            when = FromOleDate(day);
        } else {
            const QString text = stored.toString().trimmed();
            when = QDateTime::fromString(text, Qt::ISODateWithMs);
            if (!when.isValid())
                when = QDateTime::fromString(text, Qt::ISODate);
            if (!when.isValid())
                return text;
        }
    }
    if (!when.isValid())
        return QString();
    return Format(when, QStringLiteral("General Date"));
}

SampleGridModel::SampleGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void SampleGridModel::setStore(const SampleGridStore& store)
{
    beginResetModel();
    store_ = store;
    parameters_.clear();
    parmIndex_.clear();
    viscosityColumn_ = dielectricColumn_ = -1;
    ids_.clear();
    highlight_.clear();
    blanked_.clear();
    cache_.clear();
    endResetModel();
}

void SampleGridModel::reload(bool parameters)
{
    std::vector<GridParameter> parms = parameters ? store_.loadParameters() : parameters_;
    std::vector<qint32> ids = store_.loadSampleIds(GridSortKey{});
    beginResetModel();
    parameters_ = std::move(parms);
    parmIndex_.clear();
    viscosityColumn_ = dielectricColumn_ = -1;
    for (int i = 0; i < int(parameters_.size()); ++i) {
        const int id = parameters_[size_t(i)].parmId;
        if (!parmIndex_.contains(id))
            parmIndex_.insert(id, i);
        if (id == kViscosityParmId && viscosityColumn_ < 0)
            viscosityColumn_ = FirstParmColumn + i;
        if (id == kDielectricParmId && dielectricColumn_ < 0)
            dielectricColumn_ = FirstParmColumn + i;
    }
    ids_ = std::move(ids);
    highlight_.clear();
    blanked_.clear();
    cache_.clear();
    endResetModel();
}

void SampleGridModel::sortByColumn(int column, bool descending)
{
    GridSortKey key;
    key.descending = descending;
    switch (column) {
    case ColSampleId: key.kind = GridSortKey::NewestFirst; break;
    case ColSampleNum: key.kind = GridSortKey::SampleNumber; break;
    case ColDate: key.kind = GridSortKey::Date; break;
    case ColEquipment: key.kind = GridSortKey::EquipmentId; break;
    case ColUnitUsage: key.kind = GridSortKey::UnitUsage; break;
    case ColOilUsage: key.kind = GridSortKey::OilUsage; break;
    case ColOilAdded: key.kind = GridSortKey::OilAdded; break;
    case ColWear: key.kind = GridSortKey::WearSev; break;
    case ColContam: key.kind = GridSortKey::ContamSev; break;
    case ColChem: key.kind = GridSortKey::ChemSev; break;
    case ColRefDiel: key.kind = GridSortKey::RefDielectric; break;
    default:
        if (column == commentsColumn()) {
            key.kind = GridSortKey::Comments;
        } else if (parmIdOfColumn(column) >= 0) {
            key.kind = GridSortKey::Parameter;
            key.parmId = parmIdOfColumn(column);
        } else {
            return;
        }
    }
    std::vector<qint32> ids = store_.loadSampleIds(key);
    if (column == ColSampleId && !descending)
        std::reverse(ids.begin(), ids.end());
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<qint32> oldIds;
    oldIds.reserve(size_t(before.size()));
    for (const QModelIndex& index : before)
        oldIds.push_back(sampleIdAt(index.row()));
    ids_ = std::move(ids);
    if (!before.isEmpty()) {
        QHash<qint32, int> rowOf;
        for (int r = 0; r < int(ids_.size()); ++r)
            rowOf.insert(ids_[size_t(r)], r);
        QModelIndexList after;
        for (int i = 0; i < before.size(); ++i) {
            const auto it = rowOf.constFind(oldIds[size_t(i)]);
            after.push_back(it == rowOf.cend() ? QModelIndex() : index(*it, before[i].column()));
        }
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int SampleGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(ids_.size());
}

int SampleGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : FirstParmColumn + parameterCount() + 1;
}

QString SampleGridModel::headerText(int column) const
{
    if (column >= 0 && column < FirstParmColumn)
        return QString::fromLatin1(kFixedHeaders[column]);
    if (column == commentsColumn())
        return QStringLiteral("Comments ");
    const int i = column - FirstParmColumn;
    if (i >= 0 && i < parameterCount())
        return parameters_[size_t(i)].description;
    return QString();
}

QVariant SampleGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return headerText(section);
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return section + 1;
    return QVariant();
}

int SampleGridModel::parmIdOfColumn(int column) const
{
    const int i = column - FirstParmColumn;
    if (i < 0 || i >= parameterCount())
        return -1;
    return parameters_[size_t(i)].parmId;
}

QString SampleGridModel::parmGeneric(int parmId) const
{
    const auto it = parmIndex_.constFind(parmId);
    return it == parmIndex_.cend() ? QString() : parameters_[size_t(*it)].generic;
}

QString SampleGridModel::parmFormat(int parmId) const
{
    const auto it = parmIndex_.constFind(parmId);
    return it == parmIndex_.cend() ? QString() : parameters_[size_t(*it)].format;
}

QString SampleGridModel::parmDescription(int parmId) const
{
    const auto it = parmIndex_.constFind(parmId);
    return it == parmIndex_.cend() ? QString() : parameters_[size_t(*it)].description;
}

bool SampleGridModel::isEditableColumn(int column) const
{
    switch (column) {
    case ColSampleNum:
    case ColEquipment:
    case ColUnitUsage:
    case ColOilUsage:
    case ColOilAdded: return true;
    default: return column == commentsColumn() || (viscosityColumn_ >= 0 && column == viscosityColumn_);
    }
}

QString SampleGridModel::columnToolTip(int column) const
{
    if (column >= 0 && column < FirstParmColumn)
        return QString::fromLatin1(kFixedTips[column]);
    const int i = column - FirstParmColumn;
    if (i < 0 || i >= parameterCount())
        return QString();  // the Comments column has no tip
    const QString text = parameters_[size_t(i)].parmText;
    if (text.isEmpty())
        return QStringLiteral("  Parameter not Alarmed  ");
    return QStringLiteral("  ") + text + QStringLiteral("  ");
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

const GridSampleRow* SampleGridModel::rowData(int row) const
{
    if (row < 0 || row >= int(ids_.size()))
        return nullptr;
    const qint32 id = ids_[size_t(row)];
    auto it = cache_.constFind(id);
    if (it != cache_.cend())
        return &*it;
    if (!store_.isValid())
        return nullptr;

    // Read the page around the row in one go: a view paints neighbours next.
    const int first = row - row % kPageSize;
    const int last = std::min(int(ids_.size()), first + kPageSize);
    std::vector<qint32> wanted;
    wanted.reserve(size_t(last - first));
    for (int r = first; r < last; ++r)
        if (!cache_.contains(ids_[size_t(r)]))
            wanted.push_back(ids_[size_t(r)]);
    if (cache_.size() + qsizetype(wanted.size()) > kCacheLimit)
        cache_.clear();
    QHash<qint32, GridSampleRow> fetched;
    try {
        fetched = store_.fetchRows(wanted);
    } catch (const db::DbError& e) {
        qWarning("Sample grid: rows could not be read: %s", e.what());
        return nullptr;
    }
    for (qint32 w : wanted) {
        auto f = fetched.find(w);
        if (f != fetched.end()) {
            cache_.insert(w, std::move(*f));
        } else {
            // Deleted by someone else meanwhile: shown as an empty row.
            GridSampleRow gone;
            gone.sampleId = w;
            cache_.insert(w, std::move(gone));
        }
    }
    it = cache_.constFind(id);
    return it == cache_.cend() ? nullptr : &*it;
}

QString SampleGridModel::fixedCellText(const GridSampleRow& r, int column) const
{
    switch (column) {
    case ColSampleId: return QString::number(r.sampleId);
    case ColSampleNum: {
        if (isBlankText(r.sampleNum))
            return QString::number(r.sampleId);
        bool ok = false;
        const double n = r.sampleNum.toString().trimmed().toDouble(&ok);
        if (ok && n == 0)
            return QString::number(r.sampleId);
        return r.sampleNum.toString();
    }
    case ColDate: return GridDateText(r.sampleDate);
    case ColEquipment: return isBlankText(r.equipmentId) ? QString() : r.equipmentId.toString();
    case ColUnitUsage: return usageText(r.unitUsage);
    case ColOilUsage: return usageText(r.oilUsage);
    case ColOilAdded: return usageText(r.oilAdded);
    case ColWear:
    case ColContam:
    case ColChem: {
        const QVariant& v = column == ColWear ? r.wearSev : column == ColContam ? r.contamSev : r.chemSev;
        const auto sev = storedSeverity(v);
        return sev ? Format(double(*sev), QStringLiteral("0; ")) : QString();
    }
    case ColRefDiel: {
        bool ok = false;
        const float f = r.refDielectric.toFloat(&ok);
        return (r.refDielectric.isNull() || !ok || f == 0.0f) ? QString() : SingleToText(f);
    }
    default:
        break;
    }
    if (column == commentsColumn())
        return isBlankText(r.comments) ? QString() : r.comments.toString();
    const int parmId = parmIdOfColumn(column);
    if (parmId < 0)
        return QString();
    const GridDetail* d = r.detail(parmId);
    if (!d)
        return QString();
    const QString format = parmFormat(parmId);
    return format.isEmpty() ? SingleToText(d->value) : Format(double(d->value), format);
}

QString SampleGridModel::cellText(int row, int column) const
{
    const GridSampleRow* r = rowData(row);
    if (!r)
        return QString();
    if (blanked_.contains({r->sampleId, column}))
        return QString();
    return fixedCellText(*r, column);
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
    if (!r)
        return -1;
    if (column == ColWear || column == ColContam || column == ColChem) {
        const QVariant& v = column == ColWear ? r->wearSev : column == ColContam ? r->contamSev : r->chemSev;
        const auto sev = storedSeverity(v);
        return AxisValueToLevel(sev ? *sev : -1.0f);
    }
    const int parmId = parmIdOfColumn(column);
    if (parmId < 0)
        return -1;
    const GridDetail* d = r->detail(parmId);
    return d ? d->severity : -1;
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
    if (rowOfSample(sampleId) >= 0) {
        refreshSample(sampleId);
        return;
    }
    beginInsertRows(QModelIndex(), 0, 0);
    ids_.insert(ids_.begin(), sampleId);
    cache_.remove(sampleId);
    endInsertRows();
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
    cache_.remove(id);
    for (int c = 0; c < columnCount(); ++c)
        blanked_.remove({id, c});
    if (store_.isValid()) {
        // Read the one row now, so the repaint that follows costs nothing.
        try {
            QHash<qint32, GridSampleRow> fetched = store_.fetchRows({id});
            auto f = fetched.find(id);
            if (f != fetched.end())
                cache_.insert(id, std::move(*f));
        } catch (const db::DbError& e) {
            qWarning("Sample grid: row could not be read: %s", e.what());
        }
    }
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
            cache_.remove(ids_[size_t(r)]);
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
    emit dataChanged(index(row, ColSampleNum), index(row, ColDate), {Qt::BackgroundRole, Qt::ForegroundRole});
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
        emit dataChanged(index(r, ColSampleNum), index(r, ColDate), {Qt::BackgroundRole, Qt::ForegroundRole});
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
