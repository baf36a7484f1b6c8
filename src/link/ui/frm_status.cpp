#include "link/ui/frm_status.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>

namespace qqc {

GridControl::GridControl(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("GridControl"));
    setFrameShape(QFrame::StyledPanel);
    const int w = twipsToPixels(3000);
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
    txtStatus->setGeometry(8, 8, twipsToPixels(3000), 48);
    grid_ = new GridControl(this);
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
