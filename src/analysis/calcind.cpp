#include "analysis/calcind.h"

#include "analysis/calibration.h"
#include "core/record.h"
#include "util/prompter.h"
#include "util/std_error.h"
#include "util/vb_format.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace qqc {

qint32 Median5(std::span<const qint32> values, int start)
{
    Q_ASSERT(start >= 0 && std::size_t(start) + 5 <= values.size());
    // Entries already taken are marked rather than overwritten with a low
    // sentinel value, so entries below any sentinel (channel differences can
    // reach -131070) still order correctly.
    bool taken[5] = {false, false, false, false, false};
    qint32 result = 0;
    for (int pass = 0; pass < 3; ++pass) {
        int best = -1;
        for (int k = 0; k < 5; ++k) {
            if (!taken[k] && (best < 0 || values[start + k] > values[start + best]))
                best = k;
        }
        taken[best] = true;
        result = values[start + best];
    }
    return result;
}

qint32 contaminationClass(int code)
{
    switch (code) {
    case 0: case 1:
        return 0;
    case 2: case 3:
        return 2;
    case 4: case 8: case 12: case 16: case 20: case 24: case 28:
        return 4;
    case 9: case 17: case 25:
        return 1;
    case 11: case 19: case 27:
        return 3;
    case 13: case 21: case 29:
        return 5;
    case 5: case 7: case 10: case 14: case 18: case 22: case 26: case 30:
        return 6;
    case 15: case 23: case 31:
        return 7;
    default:
        return 0;  // code 6 (large spikes with the North/South condition only)
    }
}

namespace {

bool fail(CalcindError* error, int code, const char* description)
{
    if (error) {
        error->code = code;
        error->description = QString::fromLatin1(description);
    }
    return false;
}

bool fits(qint64 v)
{
    return v >= std::numeric_limits<qint32>::min() && v <= std::numeric_limits<qint32>::max();
}

// A value rounded half to even into a 32-bit entry; false when it does not fit.
bool toEntry(double value, qint32& out)
{
    const double r = RoundHalfEven(value);
    if (!std::isfinite(r) || r < double(std::numeric_limits<qint32>::min())
        || r > double(std::numeric_limits<qint32>::max()))
        return false;
    out = qint32(r);
    return true;
}

} // namespace

bool computeIndices(const CalcindInput& in, std::array<qint32, 23>& pcCalc, std::array<qint32, 8>& pcRslt,
                    CalcindError* error)
{
    // Work on copies: the caller's lists change only when everything succeeded.
    std::array<qint32, 23> calc = pcCalc;
    std::array<qint32, 8> rslt = pcRslt;
    const auto R = in.raw;

    // 1. Dielectric from the unit's count through the calibration line.
    const CalibrationSet cal{in.Freq220, in.Freq300, in.Diel220, in.Diel300};
    const auto d = CountToDielectric(in.count, cal);
    if (!d) {
        const bool zeroOverZero = double(in.Freq220) - double(in.count) == 0.0 || in.Diel300 == in.Diel220;
        return zeroOverZero ? fail(error, 6, "Overflow") : fail(error, 11, "Division by zero");
    }
    if (!toEntry(*d, rslt[Rslt::diel]))
        return fail(error, 6, "Overflow");

    // 2. Medians of the Base channel blocks, and of each channel's start and end.
    qint32 M[6];
    for (int b = 0; b < 5; ++b)
        M[b] = Median5(R, 20 * b);
    M[5] = Median5(R, 95);
    calc[Calc::en] = Median5(R, 195);
    calc[Calc::es] = Median5(R, 295);
    calc[Calc::sn] = Median5(R, 100);
    calc[Calc::ss] = Median5(R, 200);
    calc[Calc::sb] = Median5(R, 0);

    // 3. Too little signal in any Base block.
    const bool lowSignal = std::any_of(std::begin(M), std::end(M), [](qint32 m) { return m < 500; });
    calc[Calc::CRITICAL] = lowSignal ? 1 : 0;

    // 4. Successive drops of the Base channel (rises count as no drop).
    qint64 drop[5];
    for (int k = 0; k < 5; ++k) {
        drop[k] = std::max<qint64>(0, qint64(M[k]) - qint64(M[k + 1]));
        if (!fits(drop[k]))
            return fail(error, 6, "Overflow");
        calc[Calc::bgp1 + k] = qint32(drop[k]);
    }

    // 5. Slope index: the first drop weighs a third; single precision.
    float s = float((double(drop[0]) / 3.0 + double(drop[1]) + double(drop[2]) + double(drop[3]) + double(drop[4])
                     - 13.0)
                    / 5.0);
    if (s < 0.0f)
        s = 0.0f;
    if (!toEntry(double(s * 10.0f), rslt[Rslt::cont10]))
        return fail(error, 6, "Overflow");

    // 6. Base against North and South near the end of the test.
    qint32 Z[12];
    for (int i = 0; i < 12; ++i) {
        const qint64 z = qint64(R[i + 88]) - R[i + 188] + R[i + 88] - R[i + 288];
        if (!fits(z))
            return fail(error, 6, "Overflow");
        Z[i] = qint32(z);
    }
    const qint32 z0 = Median5(Z, 0), z2 = Median5(Z, 2), z4 = Median5(Z, 4);
    calc[Calc::bns1] = z0;
    calc[Calc::bns2] = z2;
    calc[Calc::bns3] = z4;
    const qint32 zmax = std::max({z0, z2, z4, 0});

    // 7. Spikes (a reading below its neighbourhood median by more than the
    // threshold of 4) and the largest curvature of the Base channel.
    constexpr qint32 threshold = 4;
    // Readings are 16-bit on the wire but a reloaded sample can hold any
    // 32-bit value, so differences are taken in 64 bits.
    qint32 small = 0, large = 0, north = 0, south = 0;
    qint64 curvature = 0;
    for (int i = 7; i <= 91; ++i) {
        const qint64 centre = Median5(R, i - 2);
        const qint64 e = centre - R[i] - threshold;
        if (e >= 1 && e <= 8)
            ++small;
        else if (e >= 9)
            ++large;
        if (qint64(Median5(R, i + 98)) - R[i + 100] - threshold > 0)
            ++north;
        if (qint64(Median5(R, i + 198)) - R[i + 200] - threshold > 0)
            ++south;
        const qint64 c = std::abs(qint64(Median5(R, i - 7)) - 2 * centre + Median5(R, i + 3));
        curvature = std::max(curvature, c);
    }
    if (!fits(curvature))
        return fail(error, 6, "Overflow");
    calc[Calc::bigbspike] = large;
    calc[Calc::smallbspike] = small;
    calc[Calc::numnspike] = north;
    calc[Calc::numsspike] = south;
    calc[Calc::slope] = qint32(curvature);

    // 8. Class code.
    int code = 0;
    if (curvature > 4)
        code += 16;
    if (small > 0)
        code += 8;
    if (large > 0)
        code += 4;
    const double spikeLimit = 1.09 * double(small + large);
    if (!(double(north) <= spikeLimit && double(south) <= spikeLimit))
        code += 2;
    if (double(s) > 3.8)
        code += 1;

    // 9.-11. Results; a low signal overrides them.
    if (lowSignal) {
        rslt[Rslt::water] = 999;
        rslt[Rslt::iron] = 999;
        rslt[Rslt::lcont] = 7;
    } else {
        if (!toEntry(double(s), rslt[Rslt::water]))
            return fail(error, 6, "Overflow");
        rslt[Rslt::iron] = zmax;
        rslt[Rslt::lcont] = contaminationClass(code);
    }

    pcCalc = calc;
    pcRslt = rslt;
    return true;
}

bool calcind(TestRecord& record, StdError* errors)
{
    const CalcindInput in{std::span<const qint32, 300>(record.raw8700), record.Rslt8700[Rslt::Short],
                          record.CalData[Cal::FreqA], record.CalData[Cal::FreqB], record.CalData[Cal::DlecA],
                          record.CalData[Cal::DlecB]};
    for (;;) {
        CalcindError error;
        if (computeIndices(in, record.PCCalc, record.PCRslt, &error))
            return true;
        if (!errors)
            return false;
        errors->RecordError(QStringLiteral("A8700"), QStringLiteral("calcind"), error.code, error.description);
        const int answer = errors->ReportError();
        if (answer == Answer::Retry)
            continue;
        if (answer == Answer::Abort)
            errors->StopApp();
        return false;
    }
}

} // namespace qqc
