#include "link/frm_status.h"

#include "util/vb_format.h"

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

void GridControl::ShowUnitStatus(int code)
{
    const UnitStatusView v = UnitStatusFor(code, totalTestTime_);
    Gauge8700Text->setText(v.caption);
    QPalette p = Gauge8700Text->palette();
    p.setColor(QPalette::WindowText, v.red ? QColor(255, 0, 0) : QColor(0, 0, 0));
    Gauge8700Text->setPalette(p);
    if (v.setGauge && v.gauge >= Gauge8700->minimum())
        Gauge8700->setValue(v.gauge);
}

void GridControl::SetCalInfo(const QString& caption, const QString& dielA, const QString& dielB)
{
    lblCal->setText(caption);
    lblDiel->setText(QStringLiteral("A: ") + Format(dielA.toDouble() / 100.0, QStringLiteral("0.00"))
                     + QStringLiteral(" B: ") + Format(dielB.toDouble() / 100.0, QStringLiteral("0.00")));
}

frmStatus::frmStatus(QWidget* parent) : QWidget(parent)
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
}

void frmStatus::DoGridStatus(int code)
{
    if (code == UnitStatus::NotPluggedIn)
        grid_->move(grid_->x(), baseTop_);
    else if (code == UnitStatus::AvailableForTest)
        grid_->move(grid_->x(), baseTop_ + twipsToPixels(GridStatusStepTwips));
    grid_->ShowUnitStatus(code);
}

void frmStatus::TotalTestTime(int seconds) { grid_->TotalTestTime(seconds); }

void frmStatus::NewState(int state, int variant, int count)
{
    const StateView v = StateTextFor(state, variant, count, readings_);
    if (!v.text.isEmpty()) {
        stateText_ = v.text;
        txtStatus->setPlainText(QString(v.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    }
    if (v.readFrequency)
        emit ReadFreq();
}

void frmStatus::CalInfo(const QString& caption, const QString& dielA, const QString& dielB)
{
    grid_->SetCalInfo(caption, dielA, dielB);
}

void frmStatus::closeEvent(QCloseEvent* event)
{
    emit unloaded();
    QWidget::closeEvent(event);
}

} // namespace qqc
