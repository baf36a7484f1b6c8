// The Monitor's side of the unit link: opening the port named in the
// settings, the status window's feed, the answers to a unit reset, and the
// sequence that runs when a test record ("D") arrives.

#include "app/monitor.h"

#include "core/record.h"
#include "link/capturing_port.h"
#include "link/record_decoder.h"
#include "link/serial_port.h"
#include "link/unit_link.h"
#include "util/program_folder.h"
#include "util/prompter.h"

#include <QCursor>
#include <QDir>
#include <QGuiApplication>

namespace qqc {

namespace {
// Error number logged for a test record that could not be decoded.
constexpr int DecodeErrorNumber = 1010;
} // namespace

UnitLink& Monitor::unitLink()
{
    if (!link_)
        setLinkPort(nullptr);
    return *link_;
}

void Monitor::setLinkPort(std::unique_ptr<SerialPort> port)
{
    link_ = std::make_unique<UnitLink>(capturedPort(port ? std::move(port) : std::make_unique<QtSerialPort>()));
    UnitLink& link = *link_;
    link.setDebugLog(settings_.misc.debug);
    link.setStatusModel(&statusModel_);
    link.setStatusWindowOpenQuery([this] { return windowOpen(StatusWindow); });
    connect(&link, &UnitLink::testDataFrame, this, &Monitor::ProcessTestData);
    connect(&link, &UnitLink::calibrationFrame, this, &Monitor::ProcessNewCalibration);
    connect(&link, &UnitLink::unitReset, this, &Monitor::onUnitReset);
    connect(&link, &UnitLink::testTimeAvailable, this, [this] {
        firmware31_ = link_->firmware31();
        emit testTimeAvailable(true);
    });
}

void Monitor::startCapture()
{
    // A relative name in the settings file is in the program folder; the
    // command line's is made absolute where it is read.
    const QString& key = settings_.misc.capture;
    const QString path = !captureOverride_.isEmpty() ? captureOverride_
                         : key.isEmpty()              ? QString()
                         : QDir::isAbsolutePath(key)  ? key
                                                      : programFile(key);
    const qint64 limit = qint64(settings_.misc.captureSizeMb) * 1024 * 1024;
    if (path.isEmpty())
        capture_.reset();
    else if (!capture_ || capture_->path() != path || capture_->sizeLimit() != limit)
        capture_ = std::make_shared<LineCapture>(path, limit);
}

std::unique_ptr<SerialPort> Monitor::capturedPort(std::unique_ptr<SerialPort> port)
{
    if (!capture_)
        return port;
    return std::make_unique<CapturingPort>(std::move(port), capture_);
}

SerialPort* Monitor::linkPort()
{
    return link_ && link_->isOpen() ? &link_->port() : nullptr;
}

UnitStateModel* Monitor::openStatusWindow() { return windowOpen(StatusWindow) ? &statusModel_ : nullptr; }

QString Monitor::supportEmail() const
{
    return MiscSettings::readSupportEmail(*ini_, SupportEmailAddress());
}

bool Monitor::openSerialLink()
{
    UnitLink& link = unitLink();
    link.setSupportEmail(supportEmail());
    if (link.isOpen())
        return true;
    if (!settings_.comm.portIsSet()) {
        statusModel_.ShowUnitStatus(UnitStatus::PortNotDefined);
        return false;
    }
    if (!link.open(settings_.comm.serialDevice())) {
        prompter().message(QStringLiteral("Error opening comm port: ") + link.errorString(), MsgStyle::Ok, QString());
        return false;
    }
    return true;
}

void Monitor::closeSerialLink()
{
    if (link_)
        link_->close();
}

void Monitor::onUnitReset()
{
    if (settings_.misc.downloadTestTime != 0)
        DownloadTestTime();
    if (settings_.labels.downloadCal != 0)
        DownloadCalibration();
}

std::optional<TestRecord> Monitor::decodeTestFrame(const QByteArray& frame, const TestRecord& current,
                                                   bool& aborted)
{
    // A failure goes through the error reporter (Abort, Retry, Ignore and a
    // log line).
    TestRecord decoded = current;
    const int result = get_ov_data(frame, decoded, [this, &aborted](const QString& description) {
        stdError_->RecordError(QStringLiteral("MDIForm8700"), QStringLiteral("get_ov_data"), DecodeErrorNumber,
                               description);
        const int answer = stdError_->ReportError();
        if (answer == Answer::Abort)
            aborted = true;
        return answer;
    });
    if (result < 0 || aborted)
        return std::nullopt;
    return decoded;
}

void Monitor::ProcessTestData(const QByteArray& frame)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    struct CursorBack {
        bool active = true;
        void restore()
        {
            if (active)
                QGuiApplication::restoreOverrideCursor();
            active = false;
        }
        ~CursorBack() { restore(); }
    } cursor;

    // 2. Decode on top of a copy of the current record, so entries a step
    // left alone keep their previous values. A record that did not decode
    // changes and stores nothing: the current record keeps the previous test,
    // which must not be stored again as if it were this one.
    bool aborted = false;
    std::optional<TestRecord> decoded = decodeTestFrame(frame, currentTestRecord(), aborted);
    if (!decoded) {
        cursor.restore();
        if (aborted)
            emit shutdownRequested();
        else
            prompter().message(QStringLiteral("Comm error"), MsgStyle::Ok, QString());
        return;
    }
    TestRecord& record = *decoded;

    // 3. The indices recomputed from the raw readings.
    RecalculateTestIndices(record);
    setCurrentTestRecord(record);
    chartSampleWithoutRecord_.clear();

    // 4. An open engineering chart shows the new test.
    if (windowOpen(ChartWindow))
        emit reloadChart();

    // 5. The status window's readings (its "S" 28 display uses them).
    if (UnitStateModel* status = openStatusWindow()) {
        status->Diel(record.Rslt8700[Rslt::diel]);
        status->Iron(record.Rslt8700[Rslt::iron]);
        status->Water(record.Rslt8700[Rslt::water]);
        status->LCont(record.Rslt8700[Rslt::lcont]);
    }

    // 6. The test becomes a new sample.
    StoreTestResult(record);

    // 7. Normal pointer before any message of the calibration check.
    cursor.restore();

    // 8. The calibration the test was made with.
    CheckTestCalibration(record);
}

} // namespace qqc
