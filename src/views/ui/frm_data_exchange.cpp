// The exchange-file commands of the sample window: "Export to CSV",
// "Export to VQM" and "Import VQM". The exports write the highlighted
// samples in grid order; the import adds the samples of a generic file and
// shows what it did in frmList. The work itself is the window-free exchange
// core (views/exchange.h); this file asks the questions and shows results.

#include "views/ui/frm_data.h"

#include "util/program_folder.h"
#include "util/prompter.h"
#include "util/std_error.h"
#include "util/ui/dialog_prompter.h"
#include "views/exchange.h"
#include "views/ui/exchange_progress.h"
#include "views/ui/frm_list.h"

#include <QStringList>

namespace qqc {

namespace {

// The samples named after a run, at most a screenful.
QString sampleList(const std::vector<qint32>& ids)
{
    QStringList names;
    for (size_t i = 0; i < ids.size() && i < 20; ++i)
        names << QString::number(ids[i]);
    if (ids.size() > 20)
        names << QStringLiteral("...");
    return names.join(QStringLiteral(", "));
}

} // namespace

void frmData::ExportCSV() { exportSelected(true); }

void frmData::ExportVQM() { exportSelected(false); }

void frmData::exportSelected(bool csv)
{
    const QString title = csv ? QStringLiteral("Export Data to a .CSV File")
                              : QStringLiteral("Export Data to a VQM Generic File");
    if (!hasSelection() || !database_) {
        prompter().message(QStringLiteral("Please select Sample(s) to Export "), MsgStyle::Ok, title);
        return;
    }
    FileDialogRequest request;
    request.title = QStringLiteral("New File Name");
    request.folder = programFolder();
    request.filter = csv ? QStringLiteral("Export Files (*.csv);;All Files (*.*)")
                         : QStringLiteral("Export Files (*.dat);;All Files (*.*)");
    const QString path = prompter().saveFileName(request);
    if (path.isEmpty())
        return;

    ExchangeProgressWindow progress(this, QStringLiteral("Exporting samples..."), progressDelayMs_, progressShown_);
    ExportRequest job;
    job.format = csv ? ExportFormat::Csv : ExportFormat::Generic;
    job.path = path;
    job.sampleIds = highlightedSampleIds();
    job.progress = progress.callback();
    const ExportResult result = exportSamples(*database_, job);
    const QString routine = csv ? QStringLiteral("ExportCSV") : QStringLiteral("ExportVQM");
    if (result.status == ExchangeOutcome::Failed) {
        ShowRoutineError(result.errorNumber, result.error, routine);
        return;
    }
    if (result.status == ExchangeOutcome::Cancelled)
        return;
    clearAnchors();
    if (!result.replacedCharacters.empty())
        prompter().message(QStringLiteral("Characters the file cannot hold were written as \"?\" in sample(s): ")
                               + sampleList(result.replacedCharacters),
                           MsgStyle::Ok + MsgStyle::Exclamation, title);
}

void frmData::importVqm()
{
    if (!database_)
        return;
    FileDialogRequest request;
    request.title = QStringLiteral("Select VQM Generic File for Import");
    request.folder = programFolder();
    request.filter = QStringLiteral("VQM Generic File (*.dat);;All Files (*.*)");
    const QString path = prompter().openFileName(request);
    if (path.isEmpty())
        return;

    ImportResult result;
    {
        ExchangeProgressWindow progress(this, QStringLiteral("Importing samples..."), progressDelayMs_, progressShown_);
        result = importGenericFile(*database_, path, progress.callback());
    }
    if (result.status == ExchangeOutcome::Failed) {
        ShowRoutineError(result.errorNumber, result.error, QStringLiteral("ImportVQM"));
        return;
    }
    if (result.status == ExchangeOutcome::Cancelled)
        return;
    UpdateForm();
    frmList list(this);
    list.DisplayValue(result.report);
    runModal(list);
}

} // namespace qqc
