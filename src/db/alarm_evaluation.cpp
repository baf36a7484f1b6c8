#include "db/routine_trap.h"

#include "analysis/severity.h"

namespace qqc::db {

// --- Alarm evaluation ---

short SampleDatabase::GetSeverity(qint32 sampleId, float value, short parmId)
{
    return trap("GetSeverity", [&]() -> short {
        // A sample that does not exist has no limits: level 0, no error. An
        // existing sample without an alarm set is an error (reported).
        if (!samples_->seek({sampleId}))
            return short(0);
        return severityFor(samples_->value(QStringLiteral("AlarmID")), value, parmId);
    });
}

short SampleDatabase::severityFor(const QVariant& alarmId, float value, short parmId)
{
    return trap("GetSeverity", [&]() -> short {
        bool alarmed = false;
        if (parameters_->seek({parmId}))
            alarmed = parameters_->value(QStringLiteral("ParmAlarm")).toLongLong() != 0;
        return alarmed ? alarmSetLevel(alarmId, value, parmId) : short(0);
    });
}

std::optional<SampleDatabase::Limits> SampleDatabase::alarmLimits(qint32 alarmId, short parmId)
{
    if (!alarmData_->seek({alarmId, parmId}))
        return std::nullopt;
    Recordset& a = *alarmData_;
    return Limits{toSingle(a.value(QStringLiteral("HighNormal"))), toSingle(a.value(QStringLiteral("Alert"))),
                  toSingle(a.value(QStringLiteral("Alarm"))), toSingle(a.value(QStringLiteral("Extreme")))};
}

short SampleDatabase::alarmSetLevel(const QVariant& alarmId, float value, short parmId)
{
    return trap("GetSeverity", [&]() -> short {
        const auto l = alarmLimits(toLong(alarmId, "AlarmID"), parmId);
        return l ? CalculateSeverity(value, (*l)[0], (*l)[1], (*l)[2], (*l)[3]) : short(0);
    });
}

void SampleDatabase::UpdateTriFold(qint32 sampleId)
{
    trap("UpdateTriFold ", [&] {
        std::array<short, 4> worst{};
        Recordset& p = *parameters_;
        for (p.moveFirst(); !p.eof(); p.moveNext()) {
            const short parmId = short(p.value(QStringLiteral("ParmID")).toLongLong());
            const bool alarmed = p.value(QStringLiteral("ParmAlarm")).toLongLong() != 0;
            if (!alarmed && !IsFlagParameter(parmId))
                continue;
            const int type = int(p.value(QStringLiteral("ParmType")).toLongLong());
            if (!sampleDetails_->seek({sampleId, parmId}))
                continue;
            if (type < 0 || type > 3)
                throw DbError(SubscriptOutOfRange, QStringLiteral("Subscript out of range (ParmType %1)").arg(type));
            const short level = short(sampleDetails_->value(QStringLiteral("Severity")).toLongLong());
            if (level > worst[size_t(type)])
                worst[size_t(type)] = level;
        }
        if (!samples_->seek({sampleId}))
            throw DbError(DbErr::NoCurrentRecord, QStringLiteral("No current record (sample %1).").arg(sampleId));
        samples_->edit();
        samples_->setValue(QStringLiteral("WearSev"), LevelToAxisValue(worst[Axis::Wear]));
        samples_->setValue(QStringLiteral("ContamSev"), LevelToAxisValue(worst[Axis::Contamination]));
        samples_->setValue(QStringLiteral("ChemSev"), LevelToAxisValue(worst[Axis::Chemistry]));
        samples_->update();
    });
}

void SampleDatabase::RecalculateAlarms(qint32 sampleId)
{
    trap("RecalculateAlarms ", [&] {
        sampleDetailsQuery_->setParameter(0, sampleId);
        Recordset& rs = *sampleDetailsRs_;
        rs.requery();
        if (!rs.eof()) {
            for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
                const short parmId = short(rs.value(QStringLiteral("ParmID")).toLongLong());
                const float value = toSingle(rs.value(QStringLiteral("Value")));
                const short level = IsFlagParameter(parmId) ? FlagSeverity(value) : GetSeverity(sampleId, value, parmId);
                if (sampleDetails_->seek({sampleId, parmId})
                    && short(sampleDetails_->value(QStringLiteral("Severity")).toLongLong()) != level) {
                    sampleDetails_->edit();
                    sampleDetails_->setValue(QStringLiteral("Severity"), level);
                    sampleDetails_->update();
                }
            }
        }
        UpdateTriFold(sampleId);
    });
}

// --- Assignments ---

SampleDatabase::SampleRef SampleDatabase::FindSample(qint32 sampleId)
{
    return trap("FindSample", [&] {
        SampleRef r;
        if (!samples_->seek({sampleId}))
            return r;
        r.found = true;
        r.number = samples_->value(QStringLiteral("SampleNum")).toString();
        if (r.number.isEmpty())
            r.number = QString::number(sampleId);
        r.refId = qint32(samples_->value(QStringLiteral("RefID")).toLongLong());
        r.alarmId = qint32(samples_->value(QStringLiteral("AlarmID")).toLongLong());
        r.customerId = samples_->value(QStringLiteral("CustomerID"));
        return r;
    });
}

void SampleDatabase::SetAlarm(qint32 sampleId, qint32 alarmId)
{
    trap("SetAlarm ", [&] {
        if (!samples_->seek({sampleId}))
            return;
        samples_->edit();
        samples_->setValue(QStringLiteral("AlarmID"), alarmId);
        samples_->update();
        RecalculateAlarms(sampleId);
    });
}

void SampleDatabase::SetReference(qint32 sampleId, qint32 refId, float refDielectric)
{
    trap("SetRef ", [&] {
        if (!samples_->seek({sampleId}))
            return;
        samples_->edit();
        samples_->setValue(QStringLiteral("RefID"), refId);
        samples_->setValue(QStringLiteral("RefDielectric"), refDielectric);
        samples_->update();
        const float dielectric = DetailValue(sampleId, Parm::Dielectric);
        const float viscosity = DetailValue(sampleId, Parm::Viscosity);
        CompareResult cmp = CompareToReference(sampleId, dielectric, viscosity);
        SaveParameterData(sampleId, cmp.dielectricChange, Parm::DielectricChange);
        SaveParameterData(sampleId, cmp.viscosityChange, Parm::ViscosityChange);
        RecalculateAlarms(sampleId);
    });
}

void SampleDatabase::SetCustomer(qint32 sampleId, qint32 customerId)
{
    trap("SetCustomer ", [&] {
        if (!samples_->seek({sampleId}))
            return;
        samples_->edit();
        samples_->setValue(QStringLiteral("CustomerID"), customerId);
        samples_->update();
    });
}

void SampleDatabase::ViscosityChanged(qint32 sampleId, float dielectric, float viscosity)
{
    CompareResult cmp = CompareToReference(sampleId, dielectric, viscosity);
    SaveParameterData(sampleId, cmp.viscosityChange, Parm::ViscosityChange);
}

float SampleDatabase::DetailValue(qint32 sampleId, short parmId)
{
    return trap("DetailValue", [&] {
        return sampleDetails_->seek({sampleId, parmId}) ? toSingle(sampleDetails_->value(QStringLiteral("Value"))) : 0.0f;
    });
}

} // namespace qqc::db
