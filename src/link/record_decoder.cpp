#include "link/record_decoder.h"

#include "util/prompter.h"

namespace qqc {

namespace {

bool isMessageCode(std::uint8_t c)
{
    switch (c) {
    case 'K': case 'S': case 'C': case 'D': case 'F': case 'I': case 'X': case 'J':
        return true;
    default:
        return false;
    }
}

// Runs `step` until it succeeds or the handler lets it go; returns false when
// the step finally failed (ignored or aborted) and sets `abort` on Abort.
template <typename Step>
bool runStep(Step&& step, const DecodeFailureHandler& onFailure, bool& abort)
{
    QString description;
    // A bounded number of retries: the frame's bytes do not change between
    // tries, so endless retries would only hang the program.
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (step(description))
            return true;
        const int answer = onFailure ? onFailure(description) : Answer::Ignore;
        if (answer == Answer::Abort) {
            abort = true;
            return false;
        }
        if (answer != Answer::Retry)
            return false;
    }
    return false;
}

// Whether the bytes from `at` (a message code after "<S>") to the end of the
// frame form one whole frame of that code. Readings and results are binary
// and can spell "<S>" and a letter by chance; in a frame of exactly the test
// record's length such a pattern is a cut only when what follows it really is
// a whole frame.
bool wholeFrameFrom(const std::uint8_t* frame, std::size_t at, std::size_t length)
{
    const std::size_t payload = length - at - 1;
    switch (frame[at]) {
    case 'K': return payload == 1;
    case 'F': return payload == 2;
    case 'S': case 'I': return payload == 3;
    case 'C': return payload == 10;
    case 'D': return payload + 1 >= std::size_t(TestFrameLength);
    case 'X':
        for (std::size_t i = at + 1; i < length; ++i) {
            if (frame[i] < 0x20 || frame[i] > 0x7E)
                return false;
        }
        return true;
    default:
        return false;
    }
}

} // namespace

int get_ov_data(QByteArrayView bytes, TestRecord& record, const DecodeFailureHandler& onFailure)
{
    const auto* frame = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::size_t length = std::size_t(bytes.size());
    bool abort = false;
    if (frame != nullptr) {
        // A start tag followed by a message code inside the payload means the
        // test frame was cut by a line fault and another frame began there.
        // When that other frame is a whole test record, it is decoded; the cut
        // one is reported either way.
        std::size_t restart = 0;
        for (std::size_t i = 1; i + 3 < length; ++i) {
            if (frame[i] == '<' && frame[i + 1] == 'S' && frame[i + 2] == '>' && isMessageCode(frame[i + 3])
                && (length != std::size_t(TestFrameLength) || wholeFrameFrom(frame, i + 3, length)))
                restart = i + 3;
        }
        if (restart) {
            const QString description =
                QStringLiteral("Test record cut short after %1 bytes by the start of another frame").arg(restart - 3);
            if (frame[restart] != 'D' || length - restart < std::size_t(TestFrameLength)) {
                if (onFailure)
                    onFailure(description);
                return DecodeResult::Failed;
            }
            if (onFailure && onFailure(description) == Answer::Abort)
                return DecodeResult::Failed;
            frame += restart;
            length -= restart;
        }
    }
    if (frame == nullptr || length < std::size_t(TestFrameLength)) {
        const QString description =
            QStringLiteral("Test record too short: %1 of %2 bytes received").arg(frame ? length : 0).arg(TestFrameLength);
        if (onFailure)
            onFailure(description);   // Retry cannot lengthen the frame: the record is abandoned either way
        return DecodeResult::Failed;
    }

    const auto le = [frame](std::size_t k) { return std::int32_t(frame[k]) + 256 * std::int32_t(frame[k + 1]); };
    const auto be = [frame](std::size_t k) { return 256 * std::int32_t(frame[k]) + std::int32_t(frame[k + 1]); };

    // Decode into a copy: the caller's record changes only when the whole
    // frame was good.
    TestRecord r = record;
    bool failed = false;

    for (std::size_t i = 0; i < std::size_t(TestRecord::ReadingCount); ++i) {
        const std::size_t base = 2 + 7 * i;
        r.raw8700[i] = le(base);
        r.raw8700[100 + i] = le(base + 2);
        r.raw8700[200 + i] = le(base + 4);
        r.Temp[i] = std::int16_t(frame[base + 6]);
    }
    // Bytes 702-703: a word the unit sends but nothing uses.
    for (std::size_t j = 0; j < std::size_t(Calc::Count); ++j)
        r.Calc8700[j] = SignMagnitudeToInt(be(704 + 2 * j));
    // Byte 750: not used.
    for (std::size_t k = 0; k < std::size_t(Cal::Count) && !abort; ++k) {
        const std::size_t at = 751 + 2 * k;
        const bool ok = runStep(
            [&](QString& description) {
                if (frame[at] > 127) {
                    description = QStringLiteral("Calibration value %1 does not fit 16 bits (bytes %2 %3)")
                                      .arg(k + 1)
                                      .arg(frame[at])
                                      .arg(frame[at + 1]);
                    return false;
                }
                r.CalData[k] = be(at);
                return true;
            },
            onFailure, abort);
        failed = failed || !ok;
    }
    if (abort)
        return DecodeResult::Failed;
    for (std::size_t m = 0; m < std::size_t(Rslt::Count); ++m) {
        const std::int32_t v = be(759 + 2 * m);
        r.Rslt8700[m] = m <= 5 ? SignMagnitudeToInt(v) : v;
    }
    if (failed)
        return DecodeResult::Failed;
    record = r;
    return DecodeResult::Ok;
}

} // namespace qqc
