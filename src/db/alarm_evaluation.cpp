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
        return alarmLevel(value, judgingOf(parmId, samples_->value(QStringLiteral("AlarmID"))));
    });
}

ParameterJudging SampleDatabase::judgingOf(short parmId, const QVariant& alarmId)
{
    return trap("GetSeverity", [&] {
        ParameterJudging j;
        Recordset& p = *parameters_;
        j.known = p.seek({parmId});
        if (!j.known)
            return j;
        j.alarmed = p.value(QStringLiteral("ParmAlarm")).toLongLong() != 0;
        j.axis = int(p.value(QStringLiteral("ParmType")).toLongLong());
        if (j.alarmed && alarmData_->seek({toLong(alarmId, "AlarmID"), parmId})) {
            Recordset& a = *alarmData_;
            j.limits = AlarmLimits{toSingle(a.value(QStringLiteral("HighNormal"))), toSingle(a.value(QStringLiteral("Alert"))),
                                   toSingle(a.value(QStringLiteral("Alarm"))), toSingle(a.value(QStringLiteral("Extreme")))};
        }
        return j;
    });
}

void SampleDatabase::UpdateTriFold(qint32 sampleId)
{
    trap("UpdateTriFold ", [&] {
        TriFoldLevels levels;
        Recordset& p = *parameters_;
        for (p.moveFirst(); !p.eof(); p.moveNext()) {
            const short parmId = short(p.value(QStringLiteral("ParmID")).toLongLong());
            ParameterJudging j;
            j.known = true;
            j.alarmed = p.value(QStringLiteral("ParmAlarm")).toLongLong() != 0;
            if (!countsOnTriFold(parmId, j))
                continue;
            const int type = int(p.value(QStringLiteral("ParmType")).toLongLong());
            if (!sampleDetails_->seek({sampleId, parmId}))
                continue;
            const short level = short(sampleDetails_->value(QStringLiteral("Severity")).toLongLong());
            if (!levels.add(type, level))
                throw DbError(SubscriptOutOfRange, QStringLiteral("Subscript out of range (ParmType %1)").arg(type));
        }
        if (!samples_->seek({sampleId}))
            throw DbError(DbErr::NoCurrentRecord, QStringLiteral("No current record (sample %1).").arg(sampleId));
        samples_->edit();
        samples_->setValue(QStringLiteral("WearSev"), levels.axisValue(Axis::Wear));
        samples_->setValue(QStringLiteral("ContamSev"), levels.axisValue(Axis::Contamination));
        samples_->setValue(QStringLiteral("ChemSev"), levels.axisValue(Axis::Chemistry));
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
                const short level =
                    storedLevel(parmId, value, [&] { return GetSeverity(sampleId, value, parmId); });
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

SampleDatabase::SampleRef SampleDatabase::findSample(qint32 sampleId)
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

void SampleDatabase::setAlarm(qint32 sampleId, qint32 alarmId)
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

void SampleDatabase::setReference(qint32 sampleId, qint32 refId, float refDielectric)
{
    trap("SetRef ", [&] {
        if (!samples_->seek({sampleId}))
            return;
        samples_->edit();
        samples_->setValue(QStringLiteral("RefID"), refId);
        samples_->setValue(QStringLiteral("RefDielectric"), refDielectric);
        samples_->update();
        const float dielectric = detailValue(sampleId, Parm::Dielectric);
        const float viscosity = detailValue(sampleId, Parm::Viscosity);
        CompareResult cmp = CompareToReference(sampleId, dielectric, viscosity);
        SaveParameterData(sampleId, cmp.dielectricChange, Parm::DielectricChange);
        SaveParameterData(sampleId, cmp.viscosityChange, Parm::ViscosityChange);
        RecalculateAlarms(sampleId);
    });
}

void SampleDatabase::setCustomer(qint32 sampleId, qint32 customerId)
{
    trap("SetCustomer ", [&] {
        if (!samples_->seek({sampleId}))
            return;
        samples_->edit();
        samples_->setValue(QStringLiteral("CustomerID"), customerId);
        samples_->update();
    });
}

void SampleDatabase::viscosityChanged(qint32 sampleId, float dielectric, float viscosity)
{
    CompareResult cmp = CompareToReference(sampleId, dielectric, viscosity);
    SaveParameterData(sampleId, cmp.viscosityChange, Parm::ViscosityChange);
}

float SampleDatabase::detailValue(qint32 sampleId, short parmId)
{
    return trap("DetailValue", [&] {
        return sampleDetails_->seek({sampleId, parmId}) ? toSingle(sampleDetails_->value(QStringLiteral("Value"))) : 0.0f;
    });
}

} // namespace qqc::db
