// The generic-file import: the file is read and checked whole, the new
// samples are found (a stored sample, or one earlier in the same file, with
// the same equipment ID and date is a duplicate), and only then one
// transaction stores them all. A new sample gets its own SampleID as its
// number, the date at midnight and the equipment ID; its values are stored
// as written, with level 0, unjudged.

#include "views/exchange.h"
#include "views/generic_file.h"

#include <QFile>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace qqc {

namespace {

constexpr int kProgressStep = 256;

ImportResult failed(const QString& error, int number = 0)
{
    ImportResult r;
    r.status = ExchangeOutcome::Failed;
    r.error = error;
    r.errorNumber = number;
    return r;
}

// Whether a sample with this equipment ID and date is stored. An empty ID
// matches both an empty and a null one (the grid stores null for a cell it
// empties). Values are bound, never written into the statement.
class DuplicateCheck {
public:
    explicit DuplicateCheck(db::Database& database) : byId_(database.connection()), byNull_(database.connection())
    {
        if (!byId_.prepare(QStringLiteral("SELECT 1 FROM Samples WHERE EquipmentID = ? AND SampleDate = ? LIMIT 1"))
            || !byNull_.prepare(QStringLiteral("SELECT 1 FROM Samples WHERE EquipmentID IS NULL AND SampleDate = ? LIMIT 1")))
            throw db::DbError(db::DbErr::Generic, byId_.lastError().text());
    }
    bool stored(const QString& unit, const QDate& date)
    {
        const QString day = date.toString(QStringLiteral("yyyy-MM-ddT00:00:00"));
        if (found(byId_, {unit, day}))
            return true;
        return unit.isEmpty() && found(byNull_, {day});
    }

private:
    static bool found(QSqlQuery& q, const QVariantList& values)
    {
        for (int i = 0; i < values.size(); ++i)
            q.bindValue(i, values[i]);
        if (!q.exec())
            throw db::DbError(db::DbErr::Generic, q.lastError().text());
        const bool hit = q.next();
        q.finish();
        return hit;
    }
    QSqlQuery byId_;
    QSqlQuery byNull_;
};

} // namespace

ImportResult importGenericFile(db::Database& database, const QString& path, const ExchangeProgress& progress)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return failed(QStringLiteral("Cannot read %1: %2").arg(path, in.errorString()));

    ImportResult result;
    try {
        // The file's bytes and text are let go once it is parsed.
        const GenericFile file = parseGenericFile(in.readAll());
        in.close();
        const auto total = qint64(file.blocks.size()) * 2;
        if (!file.revision.isEmpty() && file.revision != QLatin1String("1.04"))
            result.report += QStringLiteral("Warning: file revision %1, read as revision 1.04\r\n").arg(file.revision);

        // Which blocks are new, and their values (checked here, so a bad
        // value refuses the file before anything is stored).
        struct NewSample {
            const GenericBlock* block;
            std::vector<std::pair<int, float>> values;
        };
        std::vector<NewSample> adding;
        QSet<QPair<QString, QDate>> seen;
        int unknownCount = 0;
        QStringList unknownTags;
        DuplicateCheck duplicates(database);
        for (size_t i = 0; i < file.blocks.size(); ++i) {
            const GenericBlock& block = file.blocks[i];
            const QString entry = block.unitId + QStringLiteral(", ") + block.dateText + QStringLiteral("\r\n");
            const QPair<QString, QDate> key(block.unitId, block.date);
            if (seen.contains(key) || duplicates.stored(block.unitId, block.date)) {
                result.report += QStringLiteral("Duplicate: ") + entry;
                ++result.duplicates;
            } else {
                seen.insert(key);
                adding.push_back({&block, blockValues(block, &unknownCount, &unknownTags)});
                result.report += QStringLiteral("Adding: ") + entry;
            }
            if (progress && i % kProgressStep == 0 && !progress(qint64(i), total)) {
                result.status = ExchangeOutcome::Cancelled;
                return result;
            }
        }
        if (unknownCount > 0)
            result.report += QStringLiteral("Not imported: %1 line(s) with tags this import does not read (%2)\r\n")
                                 .arg(unknownCount)
                                 .arg(unknownTags.join(QStringLiteral(", ")));

        const QString samplesTable = QStringLiteral("Samples");
        const QString detailsTable = QStringLiteral("SampleDetails");
        const QString insertSample = QStringLiteral(
            "INSERT INTO Samples (SampleID, SampleNum, SampleDate, EquipmentID) VALUES (?, ?, ?, ?)");
        const QString insertDetail = QStringLiteral(
            "INSERT INTO SampleDetails (SampleID, ParmID, Value, Severity) VALUES (?, ?, ?, 0)");
        db::Transaction transaction(database);
        qint64 next = adding.empty() ? 0 : database.nextAutoNumber(samplesTable);
        for (size_t i = 0; i < adding.size(); ++i) {
            const NewSample& s = adding[i];
            const qint64 id = next++;
            database.executeOn(samplesTable, insertSample,
                               {id, QString::number(id), s.block->date, s.block->unitId});
            for (const auto& [parmId, value] : s.values)
                database.executeOn(detailsTable, insertDetail, {id, parmId, double(value)});
            if (progress && i % kProgressStep == 0
                && !progress(qint64(file.blocks.size() + i), total)) {
                result.status = ExchangeOutcome::Cancelled;
                result.report.clear();
                result.duplicates = 0;
                return result;  // the transaction rolls back
            }
        }
        transaction.commit();
        result.added = int(adding.size());
        if (progress)
            progress(total, total);
    } catch (const GenericFileFault& e) {
        return failed(QString::fromStdString(e.what()));
    } catch (const db::DbError& e) {
        return failed(e.description(), e.number());
    }
    return result;
}

} // namespace qqc
