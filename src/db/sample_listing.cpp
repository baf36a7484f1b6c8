#include "db/sample_database.h"

#include <QDateTime>
#include <QSqlQuery>

namespace qqc::db {

// --- Listing ---

QString listSamples(Database& db, int limit)
{
    const QString sql = QStringLiteral(
        "SELECT s.SampleID, s.SampleNum, s.SampleDate, d58.Value, d59.Value, d60.Value,"
        " s.WearSev, s.ContamSev, s.ChemSev FROM Samples s"
        " LEFT JOIN SampleDetails d58 ON d58.SampleID = s.SampleID AND d58.ParmID = 58"
        " LEFT JOIN SampleDetails d59 ON d59.SampleID = s.SampleID AND d59.ParmID = 59"
        " LEFT JOIN SampleDetails d60 ON d60.SampleID = s.SampleID AND d60.ParmID = 60"
        " ORDER BY s.SampleID DESC%1").arg(limit > 0 ? QStringLiteral(" LIMIT %1").arg(limit) : QString());
    QSqlQuery q(db.connection());
    if (!q.exec(sql))
        throw DbError(DbErr::Generic, QStringLiteral("Cannot list samples."));
    auto num = [](const QVariant& v, int decimals) {
        return v.isNull() ? QStringLiteral("-") : QString::number(v.toDouble(), 'f', decimals);
    };
    QStringList lines;
    while (q.next()) {
        const QDateTime date = q.value(2).toDateTime();
        lines.prepend(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                          .arg(q.value(1).toString(), -8)
                          .arg(date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QStringLiteral("-"), -19)
                          .arg(num(q.value(3), 2), 10)
                          .arg(num(q.value(4), 1), 8)
                          .arg(num(q.value(5), 2), 6)
                          .arg(num(q.value(6), 0), 5)
                          .arg(num(q.value(7), 0), 6)
                          .arg(num(q.value(8), 0), 5));
    }
    lines.prepend(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                      .arg(QStringLiteral("Sample#"), -8)
                      .arg(QStringLiteral("Date"), -19)
                      .arg(QStringLiteral("Dielectric"), 10)
                      .arg(QStringLiteral("Ferrous"), 8)
                      .arg(QStringLiteral("Water"), 6)
                      .arg(QStringLiteral("Wear"), 5)
                      .arg(QStringLiteral("Contam"), 6)
                      .arg(QStringLiteral("Chem"), 5));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString listSamplesInFile(const QString& path, int limit, bool* ok)
{
    if (ok)
        *ok = true;
    try {
        auto db = Database::open(path);
        return listSamples(*db, limit);
    } catch (const DbError& e) {
        if (ok)
            *ok = false;
        return QStringLiteral("Cannot list samples of %1: %2\n").arg(path, e.description());
    }
}

} // namespace qqc::db
