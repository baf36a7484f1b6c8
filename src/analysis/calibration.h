#pragma once
// The unit's calibration: the two-point count-to-dielectric model, the
// plausibility checks, the 18-byte calibration definition file QuorQCcal.def,
// the payload of the unit's "C" (new calibration) message and the fluid
// dielectric texts of the setup dialog. Everything here is free of windows,
// ports and databases; Monitor (app/monitor_calibration.cpp) strings it
// together.

#include "core/cal_record.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace qqc {

// --- count-to-dielectric model ----------------------------------------------

// d = Diel220 + (Freq220 - f) * (Diel300 - Diel220) / (Freq220 - Freq300), in
// double precision; d is the dielectric x 100. Empty when the two counts are
// equal (no line through the calibration points).
std::optional<double> CountToDielectric(double count, const CalibrationSet& cal);
// The index-calculation form: d rounded half to even. Empty when the counts
// are equal or d does not fit a 32-bit integer.
std::optional<qint32> DielectricIndex(double count, const CalibrationSet& cal);
// The engineering-chart form: d capped at 1600, then d / 100 rounded half to
// even at 3 decimals (so at most 16.000).
std::optional<double> DielectricForChart(double count, const CalibrationSet& cal);

// --- plausibility checks ------------------------------------------------------

// The counts fall with rising dielectric: the 2.20 fluid must read at least
// 300 counts above the 3.00 fluid, otherwise the same fluid was probably used
// twice or the two were swapped.
bool CalibrationOrderSuspicious(const CalibrationSet& cal);
// Any of the four values 0: the unit lost or never had a calibration.
bool CalibrationHasZero(const CalibrationSet& cal);

QString CalibrationOrderWarning();       // the "WARNING||  The same ..." prompt
// "A problem has been detected ..." ending with the support address.
QString CalibrationProblemMessage(const QString& supportAddress);
QString InvalidCalibrationTrace(const CalibrationSet& cal);  // "Invalid calibration, Freq220 ..."
QString DownloadFailedMessage();         // "Write to QuorvelQC failed.  Check power, cables, etc."
// Where users send their database and files when a calibration looks broken
// (the program's default; the settings can name another).
QString SupportEmailAddress();

// --- calibration definition file (the record's layout: core/cal_record.h) ------

inline constexpr auto kCalFileName = "QuorQCcal.def";

enum class CalFileStatus { Ok, Missing, Short, Unreadable };

struct CalFileResult {
    CalFileStatus status = CalFileStatus::Ok;
    qint64 size = 0;      // bytes found (for a short file)
    QString error;        // the system's text when the file could not be read
};

// Reads the record. `record` is changed only when the status is Ok: a file
// shorter than one record is reported as Short instead of being read as
// whatever happened to follow.
CalFileResult ReadCalFile(const QString& path, CalRecord& record);
// A user-readable sentence for a status other than Ok (empty for Ok).
QString CalFileProblemText(const QString& path, const CalFileResult& result);
// Writes the record through a temporary file in the same folder that then
// replaces the old one, so a crash mid-write leaves the old calibration whole.
// Bytes after the first record of an existing longer file are kept. Returns
// false (old file untouched) with the system's text in `error`.
bool WriteCalFile(const QString& path, const CalRecord& record, QString* error = nullptr);

// --- the unit's "C" message ------------------------------------------------------

// Payload bytes 1..8: four big-endian words Freq220, Freq300, Diel220,
// Diel300; bytes 9 and 10 are single values shown only in the trace line.
struct NewCalMessage {
    quint16 words[4] = {0, 0, 0, 0};
    quint8 byte9 = 0;
    quint8 byte10 = 0;

    // "NewCal,f220,f300,d220,d300,b9,b10"
    QString traceLine() const;
    CalibrationSet set() const { return {words[0], words[1], words[2], words[3]}; }
};

inline constexpr int kCalPayloadSize = 10;

// `frame` holds the code byte at index 0 and the payload from index 1. Fails
// (with a reason for the log) when fewer than 10 payload bytes arrived or a
// word does not fit a signed 16-bit value (high byte above 127).
bool ParseCalMessage(const QByteArray& frame, NewCalMessage& message, QString* reason = nullptr);

// --- fluid dielectric texts ------------------------------------------------------

// "2.20" -> 220: the text's value x 100 rounded half to even. Empty when the
// text is not a number or the result does not fit a signed 16-bit value.
std::optional<qint16> DielectricTextToValue(const QString& text);

} // namespace qqc
