// Monitor: the unit's calibration and the recalculation of its indices.
//
// The calibration record lives in calRecord_ and in the definition file
// QuorQCcal.def; it changes only through a "C" message from the unit or a new
// fluid dielectric pair from the setup dialog, and each change is written to
// the file at once (atomically: a crash mid-write keeps the old calibration).
// The file is the source until the Monitor holds a calibration the file could
// not take (a failed write, such as on a full disk): from then on the record
// in memory is, until a write succeeds again, so a download never sends the
// stale file's calibration.
// Every test carries its own copy of the calibration (TestRecord::CalData),
// which the index recalculation and the check after each test use.

#include "app/monitor.h"

#include "analysis/calcind.h"
#include "analysis/calibration.h"
#include "core/record.h"
#include "db/engine.h"
#include "db/sample_database.h"
#include "link/link_ops.h"
#include "link/serial_port.h"
#include "util/common.h"
#include "util/ole_date.h"
#include "util/prompter.h"
#include "util/vb_format.h"

#include <QDateTime>
#include <QFileInfo>

namespace qqc {

namespace {

QString shortDate(const QDateTime& t) { return Format(t, QStringLiteral("Short Date")); }

} // namespace

void Monitor::ProcessNewCalibration(const QByteArray& frame)
{
    NewCalMessage message;
    QString reason;
    if (!ParseCalMessage(frame, message, &reason)) {
        // A word that does not fit the 16-bit fields (or a frame cut short)
        // would store a wrapped calibration: log it and keep everything as it is.
        stdError().TPrint(reason);
        return;
    }
    stdError().TPrint(message.traceLine());

    const QDateTime now = QDateTime::currentDateTime();
    const CalibrationSet set = message.set();
    calRecord_ = CalRecord{1, ToOleDate(now), qint16(set.Freq220), qint16(set.Freq300), qint16(set.Diel220),
                           qint16(set.Diel300)};

    if (CalibrationOrderSuspicious(set)) {
        MessageBoxEx(CalibrationOrderWarning());
        stdError().TPrint(InvalidCalibrationTrace(set));
    }

    QString error;
    calFileBehind_ = !WriteCalFile(calDefPath(), calRecord_, &error);
    if (calFileBehind_) {
        // The unit keeps its calibration; the row below still records it.
        ShowRoutineError(75, error, QStringLiteral("ProcessNewCalibration"));
    }

    if (UnitStateModel* status = calibrationStatusWindow())
        status->CalInfo(QStringLiteral("Cal: ") + shortDate(now), QString::number(set.Diel220),
                        QString::number(set.Diel300));

    appendCalibrationRow(calRecord_);
    mnuCal_Click();
}

void Monitor::RecalculateTestIndices(TestRecord& record) { calcind(record, &stdError()); }

void Monitor::CheckTestCalibration(const TestRecord& record)
{
    const auto& c = record.CalData;
    const CalibrationSet set{c[Cal::FreqA], c[Cal::FreqB], c[Cal::DlecA], c[Cal::DlecB]};
    if (CalibrationHasZero(set))
        MessageBoxEx(CalibrationProblemMessage(supportEmail()));
    if (CalibrationOrderSuspicious(set)) {
        MessageBoxEx(CalibrationOrderWarning());
        stdError().TPrint(InvalidCalibrationTrace(set));
    }
}

void Monitor::fSetupFrm_NewDielectric(const QString& dlec220, const QString& dlec300)
{
    static const QString routine = QStringLiteral("fSetupFrm_NewDielectric");
    CalRecord record;
    const CalFileResult read = heldCalibration(record);
    if (read.status != CalFileStatus::Ok) {
        // Without a calibration from the unit there are no counts to go with
        // the fluid values, and sending zeros would spoil the unit's own.
        const QString text = read.status == CalFileStatus::Missing
            ? QStringLiteral("No calibration has been received from the QuorvelQC yet: calibrate the unit before "
                             "changing the fluid dielectrics.")
            : CalFileProblemText(calDefPath(), read);
        prompter().message(text, MsgStyle::Ok | MsgStyle::Exclamation, QString());
        stdError().TPrint(text);
        return;
    }

    const std::optional<qint16> d220 = DielectricTextToValue(dlec220);
    const std::optional<qint16> d300 = DielectricTextToValue(dlec300);
    if (!d220 || !d300) {
        ShowRoutineError(13, QStringLiteral("Type mismatch"), routine);
        return;
    }
    record.Diel220 = *d220;
    record.Diel300 = *d300;
    record.CalDate = ToOleDate(QDateTime::currentDateTime());

    stdError().TPrint(QStringLiteral("Setup%1,%2,%3,%4")
                          .arg(record.Freq220)
                          .arg(record.Freq300)
                          .arg(record.Diel220)
                          .arg(record.Diel300));

    QString error;
    if (!WriteCalFile(calDefPath(), record, &error)) {
        // Nothing changes: the unit, the record and the file keep the values
        // they had.
        ShowRoutineError(75, error, routine);
        return;
    }
    calRecord_ = record;
    calFileBehind_ = false;
    DownloadCalibration();
}

CalFileResult Monitor::heldCalibration(CalRecord& record) const
{
    if (calFileBehind_) {
        record = calRecord_;
        return {};
    }
    return ReadCalFile(calDefPath(), record);
}

bool Monitor::DownloadCalibration()
{
    if (!QFileInfo::exists(calDefPath()))
        return false;
    CalRecord record;
    const CalFileResult read = heldCalibration(record);
    if (read.status != CalFileStatus::Ok) {
        const QString text = CalFileProblemText(calDefPath(), read);
        prompter().message(text, MsgStyle::Ok | MsgStyle::Exclamation, QString());
        stdError().TPrint(text);
        return false;
    }
    calRecord_ = record;

    SerialPort* port = calibrationPort();
    if (!port || SendCommandByte(*port, 'R') != LinkStatus::Ok) {
        MessageBoxEx(DownloadFailedMessage());
        return false;
    }
    SendWord(*port, record.Freq220);
    SendWord(*port, record.Freq300);
    SendWord(*port, record.Diel220);
    SendWord(*port, record.Diel300);
    stdError().TPrint(QStringLiteral("Download,%1,%2,%3,%4")
                          .arg(record.Freq220)
                          .arg(record.Freq300)
                          .arg(record.Diel220)
                          .arg(record.Diel300));

    if (UnitStateModel* status = calibrationStatusWindow())
        status->CalInfo(QStringLiteral("Cal: ") + shortDate(FromOleDate(record.CalDate)),
                        QString::number(record.Diel220), QString::number(record.Diel300));
    return true;
}

SerialPort* Monitor::calibrationPort() { return linkPort(); }
UnitStateModel* Monitor::calibrationStatusWindow() { return openStatusWindow(); }


// The calibration history window arrives with the reporting windows; until
// then the command only announces itself.
void Monitor::mnuCal_Click() { emit calHistoryRequested(); }

} // namespace qqc
