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

TEST(SignMagnitude, BitFifteenIsTheSign)
{
    EXPECT_EQ(SignMagnitudeToInt(0x8005), -5);
    EXPECT_EQ(SignMagnitudeToInt(0x7FFF), 32767);
    EXPECT_EQ(SignMagnitudeToInt(0x8000), 0);
    EXPECT_EQ(SignMagnitudeToInt(5), 5);
}

// The round trip through the simulator's encoder runs over a pty in
// end_to_end_test.cpp; here the byte layout is pinned on its own.
TEST(RecordDecoder, ChannelWordsAreLittleEndianAndLaterWordsBigEndian)
{
    QByteArray f(TestFrameLength, 0);
    f[0] = 'D';
    f[2 + 7 * 3] = 0x34;   // Base reading 3
    f[3 + 7 * 3] = 0x12;
    f[6 + 7 * 99] = 0x01;  // South reading 99, low byte
    f[8 + 7 * 99] = char(200);  // temperature of reading 99
    f[704] = char(0x80);   // Calc8700[0] = -5
    f[705] = 0x05;
    f[706] = 0x7F;         // Calc8700[1] = 32767
    f[707] = char(0xFF);
    f[751] = 0x13;         // CalData[0] = 0x1388 = 5000
    f[752] = char(0x88);
    f[761] = char(0x80);   // Rslt8700[1] = -10
    f[762] = 0x0A;
    f[771] = char(0x80);   // Rslt8700[6] = 32778, no sign-magnitude
    f[772] = 0x0A;
    TestRecord r;
    ASSERT_EQ(decode(f, r), DecodeResult::Ok);
    EXPECT_EQ(r.raw8700[3], 4660);
    EXPECT_EQ(r.raw8700[299], 1);
    EXPECT_EQ(r.Temp[99], 200);
    EXPECT_EQ(r.Calc8700[0], -5);
    EXPECT_EQ(r.Calc8700[1], 32767);
    EXPECT_EQ(r.CalData[0], 5000);
    EXPECT_EQ(r.Rslt8700[1], -10);
    EXPECT_EQ(r.Rslt8700[6], 32778);
}

TEST(RecordDecoder, ShortFrameIsReportedAndChangesNothing)
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
}

TEST(RecordDecoder, UnrepresentableCalibrationWordFailsTheWholeRecord)
{
    const TestRecord previous = sampleRecord();
    QByteArray f = payloadOf(sim::simulateTest({}, {}, 5));
    f[753] = char(0x90);   // CalData[1] high byte above 127
    TestRecord r = previous;
    QStringList failures;
    EXPECT_EQ(decode(f, r, &failures, Answer::Ignore), DecodeResult::Failed);
    EXPECT_EQ(failures.size(), 1);
    EXPECT_EQ(r, previous);
    // Retry repeats the step (the same bytes fail again), Abort stops at once.
    int calls = 0;
    get_ov_data(f, r, [&](const QString&) {
        return ++calls < 3 ? Answer::Retry : Answer::Abort;
    });
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
