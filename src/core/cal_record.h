#pragma once
// The unit's calibration as plain values: the four numbers of one calibration
// and the calibration record the program keeps (and writes as the 18-byte
// calibration definition file). The model, the checks and the file routines
// that work on them are in analysis/calibration.h.

#include <QByteArray>
#include <QtGlobal>

namespace qqc {

// Freq220, Freq300 (counts read on the two calibration fluids), Diel220,
// Diel300 (the fluids' dielectric constants x 100), in this order everywhere.
// 32-bit because the per-test copy decoded from a test record is 32-bit.
struct CalibrationSet {
    qint32 Freq220 = 0;
    qint32 Freq300 = 0;
    qint32 Diel220 = 0;
    qint32 Diel300 = 0;

    friend bool operator==(const CalibrationSet&, const CalibrationSet&) = default;
};

inline constexpr int kCalRecordSize = 18;

// The calibration record, laid out as one record at the start of the
// definition file, little-endian, no padding: valid flag (int16), CalDate
// (IEEE double, platform date), Freq220, Freq300, Diel220, Diel300 (int16 each).
struct CalRecord {
    qint16 valid = 0;
    double CalDate = 0.0;
    qint16 Freq220 = 0;
    qint16 Freq300 = 0;
    qint16 Diel220 = 0;
    qint16 Diel300 = 0;

    CalibrationSet set() const { return {Freq220, Freq300, Diel220, Diel300}; }
    QByteArray toBytes() const;
    // Decodes the first 18 bytes; `bytes` must hold at least that many.
    static CalRecord fromBytes(const QByteArray& bytes);

    friend bool operator==(const CalRecord&, const CalRecord&) = default;
};

} // namespace qqc
