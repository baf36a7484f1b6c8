#include "analysis/calibration.h"

#include "util/save_file.h"
#include "util/vb_format.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cmath>
#include <limits>

namespace qqc {

// --- count-to-dielectric model ----------------------------------------------

std::optional<double> CountToDielectric(double count, const CalibrationSet& cal)
{
    const double span = double(cal.Freq220) - double(cal.Freq300);
    if (span == 0.0)
        return std::nullopt;
    return double(cal.Diel220) + (double(cal.Freq220) - count) * (double(cal.Diel300) - double(cal.Diel220)) / span;
}

std::optional<qint32> DielectricIndex(double count, const CalibrationSet& cal)
{
    const auto d = CountToDielectric(count, cal);
    if (!d)
        return std::nullopt;
    const double r = RoundHalfEven(*d);
    if (!std::isfinite(r) || r < double(std::numeric_limits<qint32>::min())
        || r > double(std::numeric_limits<qint32>::max()))
        return std::nullopt;
    return qint32(r);
}

std::optional<double> DielectricForChart(double count, const CalibrationSet& cal)
{
    auto d = CountToDielectric(count, cal);
    if (!d)
        return std::nullopt;
    double v = *d;
    if (v > 1600.0)
        v = 1600.0;
    return RoundHalfEven(v / 100.0, 3);
}

// --- plausibility checks ------------------------------------------------------

bool CalibrationOrderSuspicious(const CalibrationSet& cal)
{
    // 64-bit so that counts of opposite sign cannot overflow the difference.
    return qint64(cal.Freq220) - qint64(cal.Freq300) < 300;
}

bool CalibrationHasZero(const CalibrationSet& cal)
{
    return cal.Freq220 == 0 || cal.Freq300 == 0 || cal.Diel220 == 0 || cal.Diel300 == 0;
}

QString CalibrationOrderWarning()
{
    return QStringLiteral("WARNING||  The same calibration oil may have been used for both tests or the order of "
                          "their use has been switched");
}

QString SupportEmailAddress() { return QStringLiteral("support@quorvelqc.example"); }

QString CalibrationProblemMessage(const QString& supportAddress)
{
    return QStringLiteral("A problem has been detected with the calibration data.|Please recalibrate and email your "
                          "database, quorvelqc.log, and quorqccal.def to ")
        + supportAddress;
}

QString InvalidCalibrationTrace(const CalibrationSet& cal)
{
    return QStringLiteral("Invalid calibration, Freq220 %1 Freq300 %2").arg(cal.Freq220).arg(cal.Freq300);
}

QString DownloadFailedMessage() { return QStringLiteral("Write to QuorvelQC failed.  Check power, cables, etc."); }

// --- calibration definition file ----------------------------------------------

CalFileResult ReadCalFile(const QString& path, CalRecord& record)
{
    CalFileResult result;
    QFile file(path);
    if (!file.exists()) {
        result.status = CalFileStatus::Missing;
        return result;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = CalFileStatus::Unreadable;
        result.error = file.errorString();
        return result;
    }
    const QByteArray bytes = file.read(kCalRecordSize);
    result.size = file.size();
    if (bytes.size() < kCalRecordSize) {
        result.status = file.error() == QFileDevice::NoError ? CalFileStatus::Short : CalFileStatus::Unreadable;
        result.error = file.errorString();
        result.size = bytes.size();
        return result;
    }
    record = CalRecord::fromBytes(bytes);
    return result;
}

QString CalFileProblemText(const QString& path, const CalFileResult& result)
{
    switch (result.status) {
    case CalFileStatus::Ok:
        return {};
    case CalFileStatus::Missing:
        return QStringLiteral("The calibration file %1 does not exist.").arg(path);
    case CalFileStatus::Short:
        return QStringLiteral("The calibration file %1 is damaged: it holds %2 bytes instead of %3.")
            .arg(path)
            .arg(result.size)
            .arg(kCalRecordSize);
    case CalFileStatus::Unreadable:
        return QStringLiteral("The calibration file %1 could not be read (%2).").arg(path, result.error);
    }
    return {};
}

bool WriteCalFile(const QString& path, const CalRecord& record, QString* error)
{
    QByteArray bytes = record.toBytes();
    // The record is written over the start of the file; anything after it in a
    // longer file stays, as an in-place rewrite of the first record would leave it.
    {
        QFile old(path);
        if (old.size() > kCalRecordSize && old.open(QIODevice::ReadOnly)) {
            old.seek(kCalRecordSize);
            bytes += old.readAll();
        }
    }
    return SaveFileWhole(path, bytes, error);
}

// --- the unit's "C" message ------------------------------------------------------

QString NewCalMessage::traceLine() const
{
    return QStringLiteral("NewCal,%1,%2,%3,%4,%5,%6")
        .arg(words[0])
        .arg(words[1])
        .arg(words[2])
        .arg(words[3])
        .arg(byte9)
        .arg(byte10);
}

bool ParseCalMessage(const QByteArray& frame, NewCalMessage& message, QString* reason)
{
    if (frame.size() < 1 + kCalPayloadSize) {
        if (reason)
            *reason = QStringLiteral("NewCal rejected: %1 payload bytes instead of %2")
                          .arg(qMax<qsizetype>(0, frame.size() - 1))
                          .arg(kCalPayloadSize);
        return false;
    }
    static const char* const names[4] = {"Freq220", "Freq300", "Diel220", "Diel300"};
    NewCalMessage m;
    for (int k = 0; k < 4; ++k) {
        const auto high = quint8(frame[1 + 2 * k]);
        const auto low = quint8(frame[2 + 2 * k]);
        m.words[k] = quint16(high * 256 + low);
    }
    m.byte9 = quint8(frame[9]);
    m.byte10 = quint8(frame[10]);
    for (int k = 0; k < 4; ++k) {
        if (m.words[k] > 32767) {
            if (reason)
                *reason = QStringLiteral("NewCal rejected: %1 %2 does not fit a signed 16-bit value, %3")
                              .arg(QLatin1String(names[k]))
                              .arg(m.words[k])
                              .arg(m.traceLine());
            return false;
        }
    }
    message = m;
    return true;
}

// --- fluid dielectric texts ------------------------------------------------------

std::optional<qint16> DielectricTextToValue(const QString& text)
{
    const QString t = text.trimmed();
    bool ok = false;
    double v = t.toDouble(&ok);          // "2.20" whatever the system's locale
    if (!ok)
        v = QLocale().toDouble(t, &ok);  // "2,20" where the comma is the decimal mark
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    const double r = RoundHalfEven(v * 100.0);
    if (r < -32768.0 || r > 32767.0)
        return std::nullopt;
    return qint16(r);
}

} // namespace qqc
