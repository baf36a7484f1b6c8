#include "link/ui/frm_diag.h"

#include "link/serial_port.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace qqc {

namespace {

// Grid column widths in twips, shown at 15 twips a pixel.
constexpr int kTwipsPerPixel = 15;
constexpr int kColumnTwips[2] = {1200, 2400};

} // namespace

frmDiag::frmDiag(std::unique_ptr<SerialPort> port, QWidget* parent) : QDialog(parent), poll_(std::move(port))
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

    diagFlex_ = new QTableWidget(DiagPoll::RowCount, 2, this);
    diagFlex_->setObjectName(QStringLiteral("DiagFlex"));
    diagFlex_->horizontalHeader()->hide();
    diagFlex_->verticalHeader()->hide();
    diagFlex_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    diagFlex_->setSelectionMode(QAbstractItemView::NoSelection);
    for (int c = 0; c < 2; ++c)
        diagFlex_->setColumnWidth(c, kColumnTwips[c] / kTwipsPerPixel);
    const char* titles[DiagPoll::RowCount] = {"",       "Status", "Frequency", "Hex Freq.",
                                              "Temperature", "Spikes", "Delta", "Fe"};
    for (int r = 0; r < DiagPoll::RowCount; ++r) {
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

    connect(cmdButton_, &QPushButton::clicked, &poll_, &DiagPoll::start);
    connect(cancel_, &QPushButton::clicked, &poll_, &DiagPoll::stop);
    connect(pollScroll_, &QSpinBox::valueChanged, &poll_, &DiagPoll::setIntervalSeconds);
    connect(cbMag_, &QCheckBox::toggled, &poll_, &DiagPoll::setMagnetChosen);
    connect(&poll_, &DiagPoll::valuesChanged, this, &frmDiag::showValues);
    connect(&poll_, &DiagPoll::runningChanged, this, &frmDiag::showRunning);
    connect(&poll_, &DiagPoll::abortRequested, this, [this] {
        emit abortRequested();
        reject();
    });
}

frmDiag::~frmDiag() = default;

void frmDiag::setMagnetVisible(bool visible)
{
    cbMag_->setVisible(visible);
    poll_.setMagnetOffered(visible);
}

QString frmDiag::value(int row) const
{
    const auto* item = diagFlex_->item(row, 1);
    return item ? item->text() : QString();
}

void frmDiag::showValues()
{
    for (int r = 1; r < DiagPoll::RowCount; ++r)
        diagFlex_->item(r, 1)->setText(poll_.value(r));
    diagOper_->setText(poll_.operation());
}

void frmDiag::showRunning(bool running)
{
    cmdButton_->setEnabled(!running);
    cancel_->setEnabled(running);
}

void frmDiag::done(int result)
{
    poll_.finish();
    QDialog::done(result);
}

} // namespace qqc
