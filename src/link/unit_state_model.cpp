#include "link/unit_state_model.h"

#include "util/vb_format.h"

namespace qqc {

void UnitStateModel::DoGridStatus(int code)
{
    if (code == UnitStatus::NotPluggedIn)
        panelLowered_ = false;
    else if (code == UnitStatus::AvailableForTest)
        panelLowered_ = true;
    ShowUnitStatus(code);
}

void UnitStateModel::ShowUnitStatus(int code)
{
    const UnitStatusView v = unitStatusFor(code, totalTestTime_);
    statusCaption_ = v.caption;
    statusRed_ = v.red;
    if (v.setGauge && v.gauge >= 0)
        gauge_ = v.gauge;
    emit unitStatusChanged();
}

void UnitStateModel::NewState(int state, int variant, int count)
{
    const StateView v = stateTextFor(state, variant, count, readings_);
    if (!v.text.isEmpty()) {
        stateText_ = v.text;
        emit stateTextChanged();
    }
    if (v.readFrequency)
        emit ReadFreq();
}

void UnitStateModel::SetCalInfo(const QString& caption, const QString& dielA, const QString& dielB)
{
    calCaption_ = caption;
    calDielectrics_ = QStringLiteral("A: ") + Format(dielA.toDouble() / 100.0, QStringLiteral("0.00"))
                      + QStringLiteral(" B: ") + Format(dielB.toDouble() / 100.0, QStringLiteral("0.00"));
    emit calInfoChanged();
}

} // namespace qqc
