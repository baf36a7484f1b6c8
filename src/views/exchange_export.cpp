// The two exports: samples read in pages with their details, each line
// encoded to Windows-1252 as it is built, the file written through QSaveFile
// so that it replaces the old one only when the whole run succeeded.

#include "views/exchange.h"
#include "views/exchange_format.h"
#include "views/sample_grid_store.h"

#include "util/cp1252.h"
#include "util/prompter.h"

#include <QSaveFile>

namespace qqc {

namespace {

constexpr size_t kPage = 512;

QString exportTitle(ExportFormat format)
{
    return format == ExportFormat::Csv ? QStringLiteral("Export Data to a .CSV File")
                                       : QStringLiteral("Export Data to a VQM Generic File");
}

ExportResult failed(QString error, int number = 0)
{
    ExportResult r;
    r.status = ExchangeOutcome::Failed;
    r.error = std::move(error);
    r.errorNumber = number;
    return r;
}

} // namespace

ExportResult exportSamples(db::Database& database, const ExportRequest& request)
{
    ExportResult result;
    const auto total = qint64(request.sampleIds.size());
    if (request.progress && !request.progress(0, total)) {
        result.status = ExchangeOutcome::Cancelled;
        return result;
    }
    QSaveFile file(request.path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return failed(QStringLiteral("Cannot create %1: %2").arg(request.path, file.errorString()));
    const auto write = [&file](const QByteArray& bytes) {
        if (file.write(bytes) != bytes.size())
            throw ExchangeError(QStringLiteral("Cannot write %1: %2").arg(file.fileName(), file.errorString()).toStdString());
    };
    const auto cancelled = [&] {
        file.cancelWriting();
        result.status = ExchangeOutcome::Cancelled;
        return result;
    };

    try {
        const SampleGridStore store(&database);
        const ExchangeCatalogue catalogue(store.loadParameters());
        const bool csv = request.format == ExportFormat::Csv;
        if (csv)
            write(toCp1252(csvHeader(catalogue) + QStringLiteral("\r\n")));
        else
            write(toCp1252(genericHeaderLines().join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));

        QByteArray chunk;
        for (size_t from = 0; from < request.sampleIds.size(); from += kPage) {
            const size_t to = std::min(request.sampleIds.size(), from + kPage);
            const std::vector<qint32> page(request.sampleIds.begin() + qsizetype(from),
                                           request.sampleIds.begin() + qsizetype(to));
            const QHash<qint32, GridSampleRow> rows = store.fetchRows(page);
            chunk.clear();
            for (qint32 id : page) {
                const auto it = rows.constFind(id);
                if (it == rows.cend()) {
                    result.missingSamples.push_back(id);
                    continue;
                }
                if (it->equipmentId.toString().trimmed().isEmpty()) {
                    if (request.askMissingEquipment) {
                        if (prompter().message(QStringLiteral("Warning, No Lab Unit ID for sample: %1").arg(id),
                                               MsgStyle::OkCancel, exportTitle(request.format))
                            == Answer::Cancel)
                            return cancelled();
                    } else {
                        result.missingEquipment.push_back(id);
                    }
                }
                bool lossy = false;
                chunk += toCp1252(csv ? csvLine(*it, catalogue) + QStringLiteral("\r\n") : genericBlock(*it, catalogue),
                                  &lossy);
                if (lossy)
                    result.replacedCharacters.push_back(id);
                ++result.written;
            }
            write(chunk);
            if (request.progress && !request.progress(qint64(to), total))
                return cancelled();
        }
    } catch (const db::DbError& e) {
        file.cancelWriting();
        return failed(e.description(), e.number());
    } catch (const ExchangeError& e) {
        file.cancelWriting();
        return failed(QString::fromStdString(e.what()));
    }
    if (!file.commit())
        return failed(QStringLiteral("Cannot write %1: %2").arg(request.path, file.errorString()));
    return result;
}

} // namespace qqc
