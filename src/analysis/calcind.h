#pragma once
// Index recalculation: from the 300 raw readings of a test and the
// calibration the unit used, recompute the unit's intermediate values
// (PCCalc, the same quantities as Calc8700) and results (PCRslt, as
// Rslt8700): dielectric, iron index, water index (and ten times it as
// cont10) and the large-contamination class. Every non-integer value is
// rounded half to even when it is stored; entries this routine does not
// compute (PCCalc spare/bspikemag entries, PCRslt Short, spare4, spare5) keep
// what they held.

#include <QString>
#include <QtGlobal>

#include <array>
#include <span>

namespace qqc {

class StdError;
struct TestRecord;

// The median of values[start .. start+4]: three passes each take the largest
// remaining entry (the first of equal ones); the third one taken is the result.
qint32 Median5(std::span<const qint32> values, int start);

// The large-contamination class (droplets 1, ferrous 2, non-ferrous 4) of a
// class code 0..31. Code 6 has no class and gives 0, as does any code outside
// 0..31.
qint32 contaminationClass(int code);

struct CalcindInput {
    std::span<const qint32, 300> raw;   // Base 0..99, North 100..199, South 200..299
    qint32 count = 0;                   // the unit's dielectric count, Rslt8700[0]
    qint32 Freq220 = 0, Freq300 = 0, Diel220 = 0, Diel300 = 0;
};

struct CalcindError {
    int code = 0;          // 11 division by zero, 6 overflow
    QString description;
};

// Computes into pcCalc/pcRslt. On failure returns false, fills `error` and
// leaves both lists exactly as they were.
bool computeIndices(const CalcindInput& in, std::array<qint32, 23>& pcCalc, std::array<qint32, 8>& pcRslt,
                    CalcindError* error = nullptr);

// The program's step: recomputes record.PCCalc/PCRslt from record.raw8700,
// Rslt8700[0] and CalData. A failure (the two counts of the calibration equal,
// a dielectric beyond 32 bits) is recorded through `errors` with module
// "A8700" and routine "calcind" and reported; Retry computes again, Abort asks
// the program to stop, anything else goes on. The lists then keep their
// previous values. Returns whether the lists were computed.
bool calcind(TestRecord& record, StdError* errors);

} // namespace qqc
