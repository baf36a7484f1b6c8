#include "views/grid_columns.h"

#include "analysis/severity.h"
#include "util/ole_date.h"
#include "util/vb_format.h"

#include <QDateTime>

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

// The sort of each fixed column, by column number.
const GridSortKey::Kind kFixedSorts[] = {
    GridSortKey::NewestFirst, GridSortKey::SampleNumber, GridSortKey::Date,    GridSortKey::EquipmentId,
    GridSortKey::UnitUsage,   GridSortKey::OilUsage,     GridSortKey::OilAdded, GridSortKey::WearSev,
    GridSortKey::ContamSev,   GridSortKey::ChemSev,      GridSortKey::RefDielectric,
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

const QVariant& severityField(const GridSampleRow& r, int column)
{
    return column == GridColumns::ColWear ? r.wearSev : column == GridColumns::ColContam ? r.contamSev : r.chemSev;
}

} // namespace

QDateTime storedDateTime(const QVariant& stored)
{
    if (stored.isNull())
        return QDateTime();
    if (stored.typeId() == QMetaType::QDateTime)
        return stored.toDateTime();
    if (stored.typeId() == QMetaType::QDate)
        return stored.toDate().startOfDay();
    bool ok = false;
    const double day = stored.toDouble(&ok);
    if (ok)
        return day == 0.0 ? QDateTime() : FromOleDate(day);
    const QString text = stored.toString().trimmed();
    QDateTime when = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!when.isValid())
        when = QDateTime::fromString(text, Qt::ISODate);
    return when;
}

QString gridDateText(const QVariant& stored)
{
    if (stored.isNull())
        return QString();
    const QDateTime when = storedDateTime(stored);
    if (!when.isValid()) {
        // A text that is no date is shown as it is.
        bool number = false;
        stored.toDouble(&number);
        return number || stored.typeId() == QMetaType::QDateTime || stored.typeId() == QMetaType::QDate
                   ? QString()
                   : stored.toString().trimmed();
    }
    return Format(when, QStringLiteral("General Date"));
}

void GridColumns::setParameters(std::vector<GridParameter> parameters)
{
    parameters_ = std::move(parameters);
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
}

int GridColumns::parmIdOfColumn(int column) const
{
    const int i = column - FirstParmColumn;
    if (i < 0 || i >= parameterCount())
        return -1;
    return parameters_[size_t(i)].parmId;
}

QString GridColumns::parmGeneric(int parmId) const
{
    const auto it = parmIndex_.constFind(parmId);
    return it == parmIndex_.cend() ? QString() : parameters_[size_t(*it)].generic;
}

QString GridColumns::parmFormat(int parmId) const
{
    const auto it = parmIndex_.constFind(parmId);
    return it == parmIndex_.cend() ? QString() : parameters_[size_t(*it)].format;
}

QString GridColumns::parmDescription(int parmId) const
{
    const auto it = parmIndex_.constFind(parmId);
    return it == parmIndex_.cend() ? QString() : parameters_[size_t(*it)].description;
}

bool GridColumns::isEditable(int column) const
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

QString GridColumns::toolTip(int column) const
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

QString GridColumns::headerText(int column) const
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

std::optional<GridSortKey> GridColumns::sortKey(int column, bool descending) const
{
    GridSortKey key;
    key.descending = descending;
    if (column >= 0 && column < FirstParmColumn) {
        key.kind = kFixedSorts[column];
    } else if (column == commentsColumn()) {
        key.kind = GridSortKey::Comments;
    } else if (parmIdOfColumn(column) >= 0) {
        key.kind = GridSortKey::Parameter;
        key.parmId = parmIdOfColumn(column);
    } else {
        return std::nullopt;
    }
    return key;
}

QString GridColumns::cellText(const GridSampleRow& r, int column) const
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
    case ColDate: return gridDateText(r.sampleDate);
    case ColEquipment: return isBlankText(r.equipmentId) ? QString() : r.equipmentId.toString();
    case ColUnitUsage: return usageText(r.unitUsage);
    case ColOilUsage: return usageText(r.oilUsage);
    case ColOilAdded: return usageText(r.oilAdded);
    case ColWear:
    case ColContam:
    case ColChem: {
        const auto sev = storedSeverity(severityField(r, column));
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

int GridColumns::cellLevel(const GridSampleRow& r, int column) const
{
    if (column == ColWear || column == ColContam || column == ColChem) {
        const auto sev = storedSeverity(severityField(r, column));
        return AxisValueToLevel(sev ? *sev : -1.0f);
    }
    const int parmId = parmIdOfColumn(column);
    if (parmId < 0)
        return -1;
    const GridDetail* d = r.detail(parmId);
    return d ? d->severity : -1;
}

} // namespace qqc
