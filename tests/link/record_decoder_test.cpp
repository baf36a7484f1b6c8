// The decoder's failures: short, cut and damaged frames. The byte layout
// itself is pinned by the hand-written frames (tests/data/record_frame.hex).

#include "link/record_decoder.h"
#include "sim/frames.h"
#include "sim/unit_model.h"
#include "util/prompter.h"

#include <gtest/gtest.h>

using namespace qqc;

namespace {

QByteArray payloadOf(const TestRecord& r)
{
    return QByteArray(1, 'D') + sim::encodeTestPayload(r);
}

int decode(const QByteArray& frame, TestRecord& r, QStringList* failures = nullptr, int answer = Answer::Ignore)
{
    return get_ov_data(frame, r, [&](const QString& d) {
        if (failures)
            failures->append(d);
        return answer;
    });
}

TestRecord sampleRecord()
{
    sim::OilSample oil;
    oil.lcont = 7;
    TestRecord r = sim::simulateTest(oil, sim::Calibration{}, 3);
    r.Calc8700[Calc::slope] = -5;
    r.Rslt8700[Rslt::Short] = -10;
    r.Rslt8700[Rslt::cont10] = 40000;
    return r;
}

} // namespace

TEST(RecordDecoder, ShortFrameOrUnrepresentableCalibrationWordIsReportedAndChangesNothing)
{
    const TestRecord previous = sampleRecord();
    TestRecord r = previous;
    QByteArray f = payloadOf(sim::simulateTest({}, {}, 9));
    f.truncate(500);   // an end tag inside the payload ends the frame here
    QStringList failures;
    EXPECT_EQ(decode(f, r, &failures, Answer::Retry), DecodeResult::Failed);
    EXPECT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures.value(0).contains(QStringLiteral("too short")));
    EXPECT_EQ(r, previous);
    EXPECT_EQ(get_ov_data(QByteArrayView(), r), DecodeResult::Failed);

    f = payloadOf(sim::simulateTest({}, {}, 5));
    f[753] = char(0x90);   // CalData[1] high byte above 127 fails the whole record
    failures.clear();
    EXPECT_EQ(decode(f, r, &failures, Answer::Ignore), DecodeResult::Failed);
    EXPECT_EQ(failures.size(), 1);
    EXPECT_EQ(r, previous);
    // Retry repeats the step (the same bytes fail again), Abort stops at once.
    int calls = 0;
    get_ov_data(f, r, [&](const QString&) { return ++calls < 3 ? Answer::Retry : Answer::Abort; });
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(r, previous);
}

TEST(RecordDecoder, CutFrameFollowedByAWholeOneDecodesTheWholeOne)
{
    const TestRecord sent = sampleRecord();
    const QByteArray whole = payloadOf(sent);
    // Bytes of a cut test frame, then the next frame's start tag and record.
    const QByteArray mixed = whole.left(400) + "<S>" + whole;
    TestRecord r;
    QStringList failures;
    EXPECT_EQ(decode(mixed, r, &failures), DecodeResult::Ok);
    EXPECT_EQ(failures.size(), 1);
    EXPECT_EQ(r.raw8700, sent.raw8700);
    EXPECT_EQ(r.Rslt8700, sent.Rslt8700);

    // A cut test frame followed by a short status frame is long enough but damaged.
    const QByteArray cut = whole.left(770) + "<S>K\x05";
    ASSERT_GE(cut.size(), TestFrameLength);
    TestRecord untouched = sent;
    EXPECT_EQ(decode(cut, untouched), DecodeResult::Failed);
    EXPECT_EQ(untouched, sent);
}

TEST(RecordDecoder, ReadingsThatSpellAStartTagAreNotACut)
{
    // Base 0x533C and North 0x4B3E are the bytes "<S>K" in the payload; the
    // frame is a whole test record all the same.
    TestRecord sent = sampleRecord();
    sent.raw8700[40] = 0x533C;
    sent.raw8700[140] = 0x4B3E;
    sent.raw8700[60] = 0x533C;
    sent.raw8700[160] = 0x443E;   // "<S>D"
    const QByteArray frame = payloadOf(sent);
    ASSERT_EQ(frame.size(), TestFrameLength);
    ASSERT_TRUE(frame.contains("<S>K"));
    ASSERT_TRUE(frame.contains("<S>D"));
    TestRecord r;
    QStringList failures;
    EXPECT_EQ(decode(frame, r, &failures), DecodeResult::Ok);
    EXPECT_TRUE(failures.isEmpty()) << failures.join(QLatin1Char('/')).toStdString();
    EXPECT_EQ(r.raw8700, sent.raw8700);
}
