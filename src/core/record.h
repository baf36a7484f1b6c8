#pragma once
// The decoded test record: the seven tables of one unit test, a plain value.
// The Monitor holds the current one (Monitor::currentTestRecord()): a "D"
// frame from the unit replaces it (decoder in link/record_decoder.h),
// selecting a stored sample reloads it from its text fields, the index
// recalculation fills PCCalc/PCRslt from raw8700, and the engineering chart
// and the calibration check read it.
//
// Each table is stored in the Samples field of the same name as its entries
// in index order, plain decimal integers joined by "," (see the text-form
// functions below).

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

namespace qqc {

// Entries of Calc8700 / PCCalc, in order.
namespace Calc {
enum : int {
    bgp1, bgp2, bgp3, bgp4, bgp5, en, es, sn, ss, sb, bns1, bns2, bns3,
    bigbspike, smallbspike, numnspike, numsspike, bspikemag, slope,
    spare1, spare2, spare3, CRITICAL,
    Count
};
} // namespace Calc

// Entries of Rslt8700 / PCRslt, in order.
namespace Rslt {
enum : int {
    Short,   // "Short"
    diel,    // dielectric x 100
    iron,    // ferrous index
    water,   // water x 100
    lcont,   // large-contamination flags, see LcontFlag
    spare4,
    spare5,
    cont10,
    Count
};
} // namespace Rslt

// Entries of CalData: the calibration the unit used for the test.
namespace Cal {
enum : int {
    FreqA,   // "freq A" = Freq220
    FreqB,   // "freq B" = Freq300
    DlecA,   // "Dlec A" = Diel220
    DlecB,   // "Dlec B" = Diel300
    Count
};
} // namespace Cal

// Bits of Rslt8700[Rslt::lcont].
namespace LcontFlag {
constexpr int Droplets = 1;
constexpr int Ferrous = 2;
constexpr int NonFerrous = 4;
} // namespace LcontFlag

struct TestRecord {
    static constexpr int ReadingCount = 100;        // readings per channel
    static constexpr int RawCount = 3 * ReadingCount;  // Base, North, South

    // 0..99 channel "Base", 100..199 "North", 200..299 "South".
    std::array<std::int32_t, RawCount> raw8700{};
    // Temperature byte of each reading.
    std::array<std::int16_t, ReadingCount> Temp{};
    // The unit's intermediate calculations and results.
    std::array<std::int32_t, Calc::Count> Calc8700{};
    std::array<std::int32_t, Rslt::Count> Rslt8700{};
    // The calibration used for the test.
    std::array<std::int32_t, Cal::Count> CalData{};
    // The same quantities recomputed by this program from raw8700.
    std::array<std::int32_t, Calc::Count> PCCalc{};
    std::array<std::int32_t, Rslt::Count> PCRslt{};

    // Channel c (0 Base, 1 North, 2 South), reading i.
    std::int32_t raw(int channel, int reading) const { return raw8700[channel * ReadingCount + reading]; }

    bool operator==(const TestRecord&) const = default;
};

// --- Text forms of the tables, as the Samples fields hold them ---

// The seven field names, in the order a stored sample is loaded:
// raw8700, Temp, Calc8700, PCCalc, Rslt8700, PCRslt, CalData.
const QStringList& testRecordFieldNames();

// The text form of the table named `field` (case-sensitive field name);
// empty for an unknown name.
QString testRecordFieldText(const TestRecord& record, const QString& field);
// The same text as bytes (ASCII, so also its UTF-8 form).
QByteArray testRecordFieldBytes(const TestRecord& record, const QString& field);

// Loads the table named `field` from its text form: entries 0, 1, 2, ... take
// the items in order; entries beyond the last item keep their values; an
// empty text leaves the table unchanged. Items beyond the table's size are
// ignored, and an item that is not an integer leaves its entry unchanged.
// Returns false when any item was ignored or not a number (the table is
// still loaded as far as it could be).
bool setTestRecordFieldText(TestRecord& record, const QString& field, const QString& text);

} // namespace qqc
