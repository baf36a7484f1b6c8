// The generic-file import: the file is read and checked whole, the new
// samples are found (a stored sample, or one earlier in the same file, with
// the same equipment ID and date is a duplicate), and only then one
// transaction stores them all. A new sample gets its own SampleID as its
// number, the date at midnight and the equipment ID; its values are stored
// as written, with level 0, unjudged.

#include "views/exchange.h"

#include "db/row_appender.h"
#include "views/generic_file.h"

#include <QFile>
#include <QSet>

#include <algorithm>

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

// A run cancelled while storing: nothing was stored, nothing is reported.
ImportResult cancelledWhileStoring(ImportResult& r)
{
    r.status = ExchangeOutcome::Cancelled;
    r.report.clear();
    r.duplicates = 0;
    return r;
}

using SampleKey = QPair<QString, QDate>;  // equipment ID, day

// The stored date of a block's day: midnight, as the import stores it.
QString storedDay(const QDate& date) { return date.toString(QStringLiteral("yyyy-MM-ddT00:00:00")); }

// The stored samples a block of the file can repeat: those dated at midnight
// of a day from `first` to `last` (stored exactly as the import stores a
// date), keyed by equipment ID (a null one read as empty, so an empty unit ID
// matches both) and day. One query, read before the transaction opens; the
// checks then cost no statement each. The engine's cursor hands the date as
// the stored ISO text on either engine (a server's driver gives a date).
QSet<SampleKey> storedSamples(db::Database& database, const QDate& first, const QDate& last)
{
    auto query = database.createQueryDef(
        QStringLiteral("SELECT EquipmentID, SampleDate FROM Samples WHERE SampleDate BETWEEN ? AND ?"));
    query->setParameter(0, storedDay(first));
    query->setParameter(1, storedDay(last));
    auto q = query->openRecordset();
    QSet<SampleKey> keys;
    for (; !q->eof(); q->moveNext()) {
        const QString text = q->value(QStringLiteral("SampleDate")).toString();
        if (!text.endsWith(QLatin1String("T00:00:00")))
            continue;
        const QDate day = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
        if (day.isValid() && storedDay(day) == text)
            keys.insert({q->value(QStringLiteral("EquipmentID")).toString(), day});
    }
    return keys;
}

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
        std::vector<const GenericBlock*> adding;
        int unknownCount = 0;
        QStringList unknownTags;
        const auto [first, last] = std::minmax_element(file.blocks.begin(), file.blocks.end(),
                                                       [](const auto& a, const auto& b) { return a.date < b.date; });
        // Samples stored earlier and those added earlier from this file.
        QSet<SampleKey> seen = storedSamples(database, first->date, last->date);
        for (size_t i = 0; i < file.blocks.size(); ++i) {
            const GenericBlock& block = file.blocks[i];
            const QString entry = block.unitId + QStringLiteral(", ") + block.dateText + QStringLiteral("\r\n");
            SampleKey key(block.unitId, block.date);
            if (seen.contains(key)) {
                result.report += QStringLiteral("Duplicate: ") + entry;
                ++result.duplicates;
            } else {
                seen.insert(std::move(key));
                blockValues(block, &unknownCount, &unknownTags);  // throws for a bad line
                adding.push_back(&block);
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

        if (adding.empty()) {
            if (progress)
                progress(total, total);
            return result;  // nothing to write: no transaction, no write lock
        }
        // Any failing statement ends the whole import.
        db::Transaction transaction(database, db::Transaction::WholeOrNothing);
        const std::vector<qint64> ids = database.nextAutoNumbers(QStringLiteral("Samples"), qint64(adding.size()));
        // Many rows a statement; the samples first, then their values (a
        // server loads one table at a time).
        const auto cancelled = [&](size_t i, size_t pass) {
            return progress && i % kProgressStep == 0
                && !progress(qint64(file.blocks.size() + (pass * adding.size() + i) / 2), total);
        };
        {
            db::RowAppender samples(database, QStringLiteral("Samples"),
                                    {QStringLiteral("SampleID"), QStringLiteral("SampleNum"),
                                     QStringLiteral("SampleDate"), QStringLiteral("EquipmentID")});
            for (size_t i = 0; i < adding.size(); ++i) {
                const GenericBlock& block = *adding[i];
                samples.append({ids[i], QString::number(ids[i]), block.date, block.unitId});
                if (cancelled(i, 0))
                    return cancelledWhileStoring(result);  // the transaction rolls back
            }
            samples.finish();
        }
        db::RowAppender details(database, QStringLiteral("SampleDetails"),
                                {QStringLiteral("SampleID"), QStringLiteral("ParmID"), QStringLiteral("Value"),
                                 QStringLiteral("Severity")});
        for (size_t i = 0; i < adding.size(); ++i) {
            for (const auto& [parmId, value] : blockValues(*adding[i]))
                details.append({ids[i], parmId, double(value), 0});
            if (cancelled(i, 1))
                return cancelledWhileStoring(result);
        }
        details.finish();
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
