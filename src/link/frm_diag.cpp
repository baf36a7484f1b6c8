#include "link/frm_diag.h"

#include "link/link_ops.h"
#include "link/serial_port.h"
#include "util/prompter.h"
#include "util/std_error.h"
#include "util/vb_format.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdlib>

namespace qqc {

namespace {

constexpr int kCommandFrequency = 'D';  // answered "N", then low, high, temperature
constexpr int kCommandMagnet = 'M';     // followed by the magnet position byte
constexpr int kGridUnplugged = 254;     // high byte when no grid is plugged in
constexpr int kSpikeThreshold = 256;

// Grid column widths in twips, shown at 15 twips a pixel.
constexpr int kTwipsPerPixel = 15;
constexpr int kColumnTwips[2] = {1200, 2400};

const char* const kModule = "Diag8700";
const char* const kRoutine = "frmDiag";

} // namespace

double DiagTemperature(int t)
{
    const double x = t;
    return -45.82 + 0.9478 * x - 0.00495 * x * x + 0.0000145 * x * x * x;
}

int SpikeCounter::add(int frequency)
{
    if (firstPoll) {
        firstPoll = false;
        previous = frequency;
        size = 0;
    }
    const int delta = std::abs(frequency - previous);
    if (delta >= kSpikeThreshold) {
        ++count;
        size = delta;
    }
    previous = frequency;
    return delta;
}

bool DiagLink::SendCommandByte(int command)
{
    const bool ok = qqc::SendCommandByte(port_, std::uint8_t(command)) == LinkStatus::Ok;
    portFailed_ = !ok && !port_.isOpen();
    return ok;
}

int DiagLink::WaitForByte(int seconds)
{
    std::uint8_t byte = 0;
    if (qqc::WaitForByte(port_, seconds, byte) == LinkStatus::Ok)
        return byte;
    portFailed_ = !port_.isOpen();
    return -1;
}

void DiagLink::Flush() { FlushLinkInput(port_); }

FrequencyReading DiagLink::ReadFrequency()
{
    FrequencyReading reading;
    if (!SendCommandByte(kCommandFrequency))
        return reading;
    const int low = WaitForByte(1);
    if (low < 0)
        return reading;
    const int high = WaitForByte(1);
    if (high < 0)
        return reading;
    const int temperature = WaitForByte(1);
    if (temperature < 0)
        return reading;
    reading.temperatureByte = temperature;
    if (high == kGridUnplugged) {
        reading.status = FrequencyReading::GridUnplugged;
        return reading;
    }
    reading.status = FrequencyReading::Ok;
    reading.frequency = 256 * high + low;
    return reading;
}

frmDiag::frmDiag(std::unique_ptr<SerialPort> port, QWidget* parent) : QDialog(parent), port_(std::move(port))
{
    setObjectName(QStringLiteral("frmDiag"));
    setWindowTitle(QStringLiteral("Diagnostics"));

    cmdButton_ = new QPushButton(QStringLiteral("Start"), this);
    cmdButton_->setObjectName(QStringLiteral("CmdButton"));
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("Cancel"));
    cancel_->setEnabled(false);
    for (auto* b : {cmdButton_, cancel_})
        b->setAutoDefault(false);

    auto* frame4 = new QGroupBox(QStringLiteral("Polling Interval"), this);
    frame4->setObjectName(QStringLiteral("Frame4"));
    pollScroll_ = new QSpinBox(frame4);
    pollScroll_->setObjectName(QStringLiteral("PollScroll"));
    // Whole seconds; the interval is kept in milliseconds as a 32-bit value,
    // so an hour is as safe as a second.
    pollScroll_->setRange(0, 3600);
    pollScroll_->setValue(1);
    (new QHBoxLayout(frame4))->addWidget(pollScroll_);

    cbMag_ = new QCheckBox(QStringLiteral("Mag"), this);
    cbMag_->setObjectName(QStringLiteral("cbMag"));
    cbMag_->setVisible(false);

    auto* frame5 = new QGroupBox(QStringLiteral("Operation"), this);
    frame5->setObjectName(QStringLiteral("Frame5"));
    diagOper_ = new QLineEdit(frame5);
    diagOper_->setObjectName(QStringLiteral("DiagOper"));
    diagOper_->setReadOnly(true);
    (new QHBoxLayout(frame5))->addWidget(diagOper_);

    diagTimer_ = new QTimer(this);
    diagTimer_->setObjectName(QStringLiteral("DiagTimer"));
    connect(diagTimer_, &QTimer::timeout, this, &frmDiag::Poll);

    diagFlex_ = new QTableWidget(RowCount, 2, this);
    diagFlex_->setObjectName(QStringLiteral("DiagFlex"));
    diagFlex_->horizontalHeader()->hide();
    diagFlex_->verticalHeader()->hide();
    diagFlex_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    diagFlex_->setSelectionMode(QAbstractItemView::NoSelection);
    for (int c = 0; c < 2; ++c)
        diagFlex_->setColumnWidth(c, kColumnTwips[c] / kTwipsPerPixel);
    const char* titles[RowCount] = {"", "Status", "Frequency", "Hex Freq.", "Temperature", "Spikes", "Delta", "Fe"};
    for (int r = 0; r < RowCount; ++r) {
        diagFlex_->setItem(r, 0, new QTableWidgetItem(QString::fromLatin1(titles[r])));
        diagFlex_->setItem(r, 1, new QTableWidgetItem);
    }
    diagFlex_->item(0, 1)->setText(QStringLiteral("Left Grid"));
    const int width = (kColumnTwips[0] + kColumnTwips[1] + 10) / kTwipsPerPixel + 2 * diagFlex_->frameWidth();
    diagFlex_->setFixedWidth(width);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdButton_);
    buttons->addWidget(cancel_);
    buttons->addWidget(cbMag_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(frame4);
    layout->addWidget(frame5);
    layout->addWidget(diagFlex_);

    connect(cmdButton_, &QPushButton::clicked, this, &frmDiag::CmdButton_Click);
    connect(cancel_, &QPushButton::clicked, this, &frmDiag::Cancel_Click);
}

frmDiag::~frmDiag()
{
    diagTimer_->stop();
    if (port_->isOpen())
        port_->close();
}

void frmDiag::setComPort(int port) { comPort_ = port; }
void frmDiag::setDevice(const QString& device) { device_ = device; }
void frmDiag::setMagnetVisible(bool visible) { cbMag_->setVisible(visible); }

QString frmDiag::value(int row) const
{
    const auto* item = diagFlex_->item(row, 1);
    return item ? item->text() : QString();
}

void frmDiag::setValue(int row, const QString& text) { diagFlex_->item(row, 1)->setText(text); }

void frmDiag::clearValues()
{
    for (int r = 1; r < RowCount; ++r)
        setValue(r, QString());
}

void frmDiag::CmdButton_Click()
{
    if (!port_->isOpen()) {
        if (device_.isEmpty())
            port_->setPortNumber(comPort_);
        else
            port_->setDeviceName(device_);
        if (!port_->open()) {
            prompter().message(QStringLiteral("Error opening comm port: ") + port_->errorString(), MsgStyle::Ok,
                               QString());
            return;
        }
    }
    portErrorReported_ = false;
    diagTimer_->start(std::max(1, pollScroll_->value() * 1000));
    cmdButton_->setEnabled(false);
    cancel_->setEnabled(true);
    Poll();
}

void frmDiag::Cancel_Click() { stopPolling(); }

void frmDiag::stopPolling()
{
    diagTimer_->stop();
    cmdButton_->setEnabled(true);
    cancel_->setEnabled(false);
}

void frmDiag::done(int result)
{
    diagTimer_->stop();
    if (port_->isOpen())
        port_->close();
    QDialog::done(result);
}

void frmDiag::Poll()
{
    if (!diagTimer_->isActive())
        return;
    diagTimer_->stop();
    clearValues();
    diagOper_->setText(QStringLiteral("Polling"));

    DiagLink link(*port_);
    for (;;) {
        if (pollOnce(link) || !link.portFailed()) {
            portErrorReported_ = false;
            break;
        }
        // The line itself failed (write refused, device gone): report it once
        // per run of failures; a silent unit only shows in the status row.
        if (portErrorReported_)
            break;
        portErrorReported_ = true;
        const QString text = port_->errorString().isEmpty() ? QStringLiteral("Serial port not available")
                                                             : port_->errorString();
        const int answer = ReportModuleError(SerialPort::ErrResource, text, QLatin1String(kModule),
                                             QLatin1String(kRoutine));
        if (answer == Answer::Abort) {
            stopPolling();
            emit abortRequested();
            reject();
            return;
        }
        if (answer != Answer::Retry)
            break;
        // Retry: reopen the line if it went away and poll again.
        portErrorReported_ = false;
        if (!port_->isOpen())
            port_->open();
        clearValues();
    }

    const int seconds = pollScroll_->value();
    if (seconds >= 1) {
        diagTimer_->start(seconds * 1000);
    } else {
        // A zero interval polls once: the window is idle again.
        cmdButton_->setEnabled(true);
        cancel_->setEnabled(false);
    }
    diagOper_->setText(QStringLiteral("Waiting to Poll"));
}

// The measurements of one poll. Returns false when an exchange failed.
bool frmDiag::pollOnce(DiagLink& link)
{
    link.Flush();

    auto showRead = [this](const FrequencyReading& r) {
        if (r.status == FrequencyReading::Failed)
            setValue(RowStatus, QStringLiteral("Communications Error"));
        else if (r.status == FrequencyReading::GridUnplugged)
            setValue(RowStatus, QStringLiteral("Grid Unplugged"));
    };

    if (!cbMag_->isHidden() && cbMag_->isChecked()) {
        // Magnet positions 1, 2, then 0 (away); the ferrous reading is how far
        // each magnet position pulls the frequency down from the rest value.
        int f[3] = {0, 0, 0};
        for (int k : {1, 2, 0}) {
            if (!link.SendCommandByte(kCommandMagnet) || !link.SendCommandByte(k)) {
                setValue(RowStatus, QStringLiteral("Communications Error"));
                return false;
            }
            const FrequencyReading r = link.ReadFrequency();
            if (r.status != FrequencyReading::Ok) {
                showRead(r);
                return r.status != FrequencyReading::Failed;
            }
            f[k] = r.frequency;
        }
        const int fe = (f[0] - f[1]) + (f[0] - f[2]);
        setValue(RowFe, Format(fe, QStringLiteral("#####")));
    }

    const FrequencyReading r = link.ReadFrequency();
    if (r.status == FrequencyReading::Failed) {
        showRead(r);
        return false;
    }
    setValue(RowTemperature, Format(DiagTemperature(r.temperatureByte), QStringLiteral("####.#")));
    if (r.status == FrequencyReading::GridUnplugged) {
        // No frequency: nothing to show for it and nothing to count as a spike.
        showRead(r);
        return true;
    }
    setValue(RowFrequency, Format(r.frequency, QStringLiteral("#####")));
    setValue(RowHex, QString::number(r.frequency, 16).toUpper());
    spikes_.add(r.frequency);
    setValue(RowSpikes, Format(spikes_.count, QStringLiteral("#####")));
    setValue(RowDelta, Format(spikes_.size, QStringLiteral("#####")));
    return true;
}

} // namespace qqc
