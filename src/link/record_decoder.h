#pragma once
// Decoding of the unit's test record (the "D" frame) into the tables of a
// TestRecord.
//
// Frame layout, byte k counted from the code byte (k = 0):
//   1            not used
//   2 + 7i ..    reading i (i = 0..99): Base, North, South as little-endian
//   8 + 7i       words, then the temperature byte
//   702-703      not used (little-endian word)
//   704 + 2j     Calc8700[j], j = 0..22: big-endian, sign-magnitude
//   750          not used
//   751 + 2k     CalData[k], k = 0..3: big-endian, first byte at most 127
//   759 + 2m     Rslt8700[m], m = 0..7: big-endian; sign-magnitude for m <= 5
// so a whole frame is 775 bytes with the code byte.
//
// A frame that is too short (an end tag inside the payload, or a line fault),
// that holds the start of another frame ("<S>" and a message code: the test
// frame was cut and another began), or that carries an unrepresentable
// calibration word is a decoding failure: the failure is passed to the
// caller's handler (the error reporter in the program), and the record is left
// exactly as it was, so a damaged frame never turns into a test made of the
// previous test's values.

#include "core/record.h"

#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <functional>

namespace qqc {

constexpr int TestFrameLength = 775;   // code byte + 774 payload bytes

// Bit 15 is the sign, bits 0..14 the magnitude: v below 32768 is itself,
// otherwise 32768 - v (0x8005 is -5, 0x8000 is 0).
constexpr std::int32_t SignMagnitudeToInt(std::int32_t v) { return v < 32768 ? v : 32768 - v; }
inline void SignMagnitudeToInt(std::int32_t v, std::int32_t& result) { result = SignMagnitudeToInt(v); }

// Called with a description of each decoding failure; returns the answer of
// the error reporter: Answer::Abort (stop decoding), Answer::Retry (repeat the
// failed step) or Answer::Ignore (go on with the next step). Without a
// handler every failure is ignored.
using DecodeFailureHandler = std::function<int(const QString& description)>;

namespace DecodeResult {
constexpr int Ok = 1;
constexpr int Failed = -1;
} // namespace DecodeResult

// Decodes `frame` (code byte at index 0, the bytes up to the end tag) on top
// of `record`: the caller passes the current record, so entries a step left
// alone after an Ignore answer keep their previous values. When the frame
// holds a cut test frame followed by a whole one, the cut one is reported and
// the whole one decoded. Returns 1 when the whole record was decoded; -1 when
// any failure occurred, in which case `record` is unchanged. PCCalc and PCRslt
// are never touched.
int get_ov_data(QByteArrayView frame, TestRecord& record, const DecodeFailureHandler& onFailure = {});

} // namespace qqc
