#include "report/report_data.h"

#include "analysis/severity.h"
#include "db/engine.h"
#include "report/report_colors.h"
#include "util/vb_format.h"

#include <QDateTime>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <cmath>

namespace qqc::report {

namespace {

constexpr int HistoryColumns = 5;
constexpr int TrendPoints = 12;
const QRgb LabelShade = qRgb(228, 228, 228);

// A prepared query on the database's connection; throws on failure.
QSqlQuery run(db::Database& db, const QString& sql, const QVariantList& params)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw db::DbError(db::DbErr::Generic, q.lastError().text());
    for (const QVariant& v : params)
        q.addBindValue(v);
    if (!q.exec())
        throw db::DbError(db::DbErr::Generic, q.lastError().text());
    return q;
}

struct HistoryRow {
    qint32 id = 0;
    QDateTime date;
    QString unitUsage, oilUsage, oilAdded;
    std::array<double, 3> severity{};
    struct Detail {
        double value = 0;
        int level = 0;
    };
    QHash<int, Detail> details;
};

struct Parameter {
    int id = 0;
    QString description, format;
    int type = 0;
};

ReportTable::Cell cell(const QString& text, QRgb background = qRgb(255, 255, 255))
{
    return {text, background, cellTextColor(background)};
}

QString text(const QVariant& v) { return v.isNull() ? QString() : v.toString(); }

void fillSeverityTable(ReportTable& table, const QString& title, int type, const QVector<Parameter>& parms,
                       const QVector<HistoryRow>& history)
{
    QVector<ReportTable::Cell> head{cell(title, LabelShade)};
    for (const HistoryRow& h : history) {
        const double sev = h.severity[size_t(type - 1)];
        if (!std::isfinite(sev) || sev < 0)
            head.append(cell({}));
        else
            head.append(cell(SingleToText(float(sev)), cellColor(AxisValueToLevel(float(sev)))));
    }
    table.rows.append(head);
    table.rowParms.append(0);
    for (const Parameter& p : parms) {
        if (p.type != type)
            continue;
        QVector<ReportTable::Cell> row{cell(p.description)};
        for (const HistoryRow& h : history) {
            const auto d = h.details.constFind(p.id);
            if (d == h.details.constEnd() || !std::isfinite(d->value))
                row.append(cell({}));
            else
                row.append(cell(Format(d->value, p.format), cellColor(d->level)));
        }
        table.rows.append(row);
        table.rowParms.append(p.id);
    }
}

} // namespace

ReportData readReport(db::Database& db, qint32 sampleId)
{
    ReportData r;
    r.sampleId = sampleId;
    QSqlQuery s = run(db,
                      "SELECT SampleDate, EquipmentID, WearSev, ContamSev, ChemSev, RefID, CustomerID, Comments, "
                      "AlarmID FROM Samples WHERE SampleID = ?",
                      {sampleId});
    if (!s.next())
        return r;
    r.found = true;
    const QVariant date = s.value(0);
    r.equipmentId = text(s.value(1));
    for (int i = 0; i < 3; ++i) {
        const QVariant v = s.value(2 + i);
        r.levels[size_t(i)] = v.isNull() ? 0 : AxisValueToLevel(v.toFloat());
    }
    const QVariant refId = s.value(5), customerId = s.value(6), alarmId = s.value(8);
    r.comments = text(s.value(7));

    // The equipment's samples up to this one, newest first; a later sample of
    // the same date is never taken for this one.
    QVector<HistoryRow> history;
    QSqlQuery h = run(db,
                      "SELECT SampleID, SampleDate, UnitUsage, OilUsage, OilAdded, WearSev, ContamSev, ChemSev "
                      "FROM Samples WHERE EquipmentID = ? AND (SampleDate < ? OR (SampleDate = ? AND SampleID <= ?)) "
                      "ORDER BY EquipmentID DESC, SampleDate DESC, SampleID DESC LIMIT ?",
                      {s.value(1), date, date, sampleId, TrendPoints});
    while (h.next()) {
        HistoryRow row;
        row.id = h.value(0).toInt();
        row.date = h.value(1).toDateTime();
        row.unitUsage = text(h.value(2));
        row.oilUsage = text(h.value(3));
        row.oilAdded = text(h.value(4));
        for (int i = 0; i < 3; ++i)
            row.severity[size_t(i)] = h.value(5 + i).isNull() ? -1 : h.value(5 + i).toDouble();
        history.append(row);
        r.historyIds.append(row.id);
    }
    if (history.isEmpty()) {
        r.levels = {};
        r.comments.clear();
        return r;
    }
    for (HistoryRow& row : history) {
        QSqlQuery d = run(db, "SELECT ParmID, Value, Severity FROM SampleDetails WHERE SampleID = ?", {row.id});
        while (d.next())
            row.details.insert(d.value(0).toInt(),
                               {d.value(1).isNull() ? NAN : d.value(1).toDouble(), d.value(2).toInt()});
    }

    QVector<Parameter> parms;
    QSqlQuery pq = run(db, "SELECT ParmID, ParmDescription, Format, ParmType FROM Parameters ORDER BY ParmID", {});
    while (pq.next())
        parms.append({pq.value(0).toInt(), text(pq.value(1)), text(pq.value(2)), pq.value(3).toInt()});

    // Reference oil.
    QString oil = QStringLiteral("No Reference Oil");
    if (!refId.isNull() && refId.toInt() != 0) {
        QSqlQuery q = run(db,
                          "SELECT Supplier, BrandName, OilDescription, RefDielectric FROM \"references\" "
                          "WHERE RefID = ?",
                          {refId});
        oil = q.next() ? text(q.value(0)) + " " + text(q.value(1)) + " " + text(q.value(2)) + " - " +
                             SingleToText(q.value(3).toFloat())
                       : QStringLiteral("Reference Not Found");
    }
    r.tables[0].rows = {{cell("Ref Oil", LabelShade), cell(oil)}};

    // Sample history: newest in column 1.
    const QVector<HistoryRow> five = history.mid(0, HistoryColumns);
    const char* labels[] = {"Sample Date", "Sample #", "Unit Usage", "Oil Usage", "Oil Added"};
    for (int row = 0; row < 5; ++row) {
        QVector<ReportTable::Cell> cells{cell(labels[row], row == 0 ? LabelShade : qRgb(255, 255, 255))};
        for (const HistoryRow& hr : five) {
            const QString v = row == 0   ? Format(hr.date, "Short Date")
                              : row == 1 ? QString::number(hr.id)
                              : row == 2 ? hr.unitUsage
                              : row == 3 ? hr.oilUsage
                                         : hr.oilAdded;
            cells.append(cell(v));
        }
        r.tables[1].rows.append(cells);
    }
    fillSeverityTable(r.tables[2], "Wear", 1, parms, five);
    fillSeverityTable(r.tables[3], "Contamination", 2, parms, five);
    fillSeverityTable(r.tables[4], "Chemistry", 3, parms, five);

    // Customer.
    if (!customerId.isNull()) {
        QSqlQuery q = run(db,
                          "SELECT FirstName, Lastname, Address1, City, State, Zip, Phone, EMail FROM Customers "
                          "WHERE CustomerID = ?",
                          {customerId});
        if (q.next()) {
            r.hasCustomer = true;
            r.customerLines = {text(q.value(0)) + " " + text(q.value(1)), text(q.value(2)),
                               text(q.value(3)) + " " + text(q.value(4)) + " " + text(q.value(5)), text(q.value(6)),
                               text(q.value(7))};
        }
    }

    // Trend series, oldest first.
    for (size_t t = 0; t < TrendParms.size(); ++t) {
        TrendSeries& ts = r.trends[t];
        ts.parmId = TrendParms[t];
        for (const Parameter& p : parms)
            if (p.id == ts.parmId)
                ts.title = p.description;
        const QDate start = history.last().date.date().addDays(-1);
        for (auto it = history.crbegin(); it != history.crend(); ++it) {
            ts.days.append(double(start.daysTo(it->date.date())));
            const auto d = it->details.constFind(ts.parmId);
            if (d == it->details.constEnd() || !std::isfinite(d->value) || d->value == -999)
                ts.values.append(std::nullopt);
            else
                ts.values.append(d->value);
        }
        ts.firstDate = start;
        ts.lastDate = history.first().date.date().addDays(1);
        if (!alarmId.isNull() && alarmId.toInt() != 0) {
            QSqlQuery q = run(db,
                              "SELECT HighNormal, Alert, Alarm, Extreme FROM AlarmData WHERE AlarmID = ? AND ParmID = ?",
                              {alarmId, ts.parmId});
            if (q.next())
                for (int k = 0; k < 4; ++k)
                    ts.limits[size_t(k)] = q.value(k).toDouble();
        }
    }

    QSqlQuery im = run(db, "SELECT ReportSlot, ImageFile FROM Images WHERE SampleID = ?", {sampleId});
    while (im.next()) {
        const int slot = im.value(0).toInt();
        if (slot >= 0 && slot < 3 && r.imageFiles[size_t(slot)].isEmpty())
            r.imageFiles[size_t(slot)] = text(im.value(1));
    }
    return r;
}

bool changeTouchesReport(db::Database& db, const ReportData& shown, qint32 sampleId)
{
    if (!shown.found || shown.historyIds.isEmpty())
        return false;
    if (shown.historyIds.contains(sampleId))
        return true;
    const QVariant equipment =
        db.queryValue(QStringLiteral("SELECT EquipmentID FROM Samples WHERE SampleID = ?"), {sampleId});
    return !equipment.isNull() && equipment.toString() == shown.equipmentId;
}

} // namespace qqc::report
