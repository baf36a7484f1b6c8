#include "link/ui/frm_status.h"

#include "link/unit_status.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>

#include <algorithm>

namespace qqc {

namespace {
// The width of the widest caption the panel can show, in `metrics`.
int widestStatusCaption(const QFontMetrics& metrics)
{
    using namespace UnitStatus;
    int widest = 0;
    const auto measure = [&](int code) {
        widest = std::max(widest, metrics.horizontalAdvance(unitStatusFor(code, 9999).caption));
    };
    // The named states, the poll blocks and a four-digit count-down.
    for (int code : {PortNotDefined, TestDataReady, NotPluggedIn, AvailableForTest, Reset, ReadingTestData,
                     CommunicationsError})
        measure(code);
    for (int code = PollBlockedFirst; code <= PollBlockedLast; ++code)
        measure(code);
    measure(0);
    return widest;
}
} // namespace

GridControl::GridControl(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("GridControl"));
    setFrameShape(QFrame::StyledPanel);
    // 3000 twips, or wider when the font needs it for the widest caption (the
    // labels sit 8 pixels in from each side).
    const int w = std::max(twipsToPixels(3000), widestStatusCaption(fontMetrics()) + 16 + 4);
    Gauge8700 = new QProgressBar(this);
    Gauge8700->setObjectName(QStringLiteral("Gauge8700"));
    Gauge8700->setRange(0, GaugeMaximum);
    Gauge8700->setValue(0);
    Gauge8700->setTextVisible(false);
    Gauge8700->setGeometry(8, 8, w - 16, 20);
    Gauge8700Text = new QLabel(this);
    Gauge8700Text->setObjectName(QStringLiteral("Gauge8700Text"));
    Gauge8700Text->setAlignment(Qt::AlignCenter);
    Gauge8700Text->setGeometry(8, 32, w - 16, 20);
    lblCal = new QLabel(this);
    lblCal->setObjectName(QStringLiteral("lblCal"));
    lblCal->setGeometry(8, 56, w - 16, 20);
    lblDiel = new QLabel(this);
    lblDiel->setObjectName(QStringLiteral("lblDiel"));
    lblDiel->setGeometry(8, 78, w - 16, 20);
    setFixedSize(w, 106);
}

void GridControl::showUnitStatus(const UnitStateModel& model)
{
    Gauge8700Text->setText(model.statusCaption());
    QPalette p = Gauge8700Text->palette();
    p.setColor(QPalette::WindowText, model.statusRed() ? QColor(255, 0, 0) : QColor(0, 0, 0));
    Gauge8700Text->setPalette(p);
    Gauge8700->setValue(model.gauge());
}

void GridControl::showCalInfo(const UnitStateModel& model)
{
    lblCal->setText(model.calCaption());
    lblDiel->setText(model.calDielectrics());
}

frmStatus::frmStatus(UnitStateModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    setObjectName(QStringLiteral("frmStatus"));
    setWindowTitle(QStringLiteral("Status"));
    txtStatus = new QPlainTextEdit(this);
    txtStatus->setObjectName(QStringLiteral("txtStatus"));
    txtStatus->setReadOnly(true);
    grid_ = new GridControl(this);
    txtStatus->setGeometry(8, 8, grid_->width(), 48);
    baseTop_ = txtStatus->y() + txtStatus->height() + 8;
    grid_->move(txtStatus->x(), baseTop_);
    // Room for the panel at its lower position too.
    resize(grid_->x() + grid_->width() + twipsToPixels(550),
           baseTop_ + grid_->height() + twipsToPixels(GridStatusStepTwips) + twipsToPixels(650));

    connect(&model_, &UnitStateModel::unitStatusChanged, this, &frmStatus::showUnitStatus);
    connect(&model_, &UnitStateModel::stateTextChanged, this, &frmStatus::showStateText);
    connect(&model_, &UnitStateModel::calInfoChanged, this, [this] { grid_->showCalInfo(model_); });
    showUnitStatus();
    showStateText();
    grid_->showCalInfo(model_);
}

QSize frmStatus::minimumSizeHint() const
{
    // The procedure text and the panel at its lower position, with the margin
    // they sit in: less would cut a caption or the gauge.
    return QSize(grid_->x() + grid_->width() + txtStatus->x(),
                 baseTop_ + twipsToPixels(GridStatusStepTwips) + grid_->height() + txtStatus->y());
}

void frmStatus::showUnitStatus()
{
    grid_->move(grid_->x(), baseTop_ + (model_.panelLowered() ? twipsToPixels(GridStatusStepTwips) : 0));
    grid_->showUnitStatus(model_);
}

void frmStatus::showStateText()
{
    txtStatus->setPlainText(QString(model_.stateText()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void frmStatus::closeEvent(QCloseEvent* event)
{
    emit unloaded();
    QWidget::closeEvent(event);
}

} // namespace qqc
