// The line capture file: its lines byte for byte, what reads back from it,
// rotation at the size limit, and a file that cannot be written.
#include "link/capture_format.h"
#include "link/capturing_port.h"
#include "link/fake_port.h"
#include "support/temp_home.h"

#include <QDir>
#include <gtest/gtest.h>

namespace qqc {
namespace {

// A clock the test moves; one hour ahead of UTC.
struct TestClock {
    QDateTime now{QDate(2026, 12, 6), QTime(18, 12, 55, 123), Qt::OffsetFromUTC, 3600};
    void advance(int ms) { now = now.addMSecs(ms); }
};

QList<CaptureEntry> entriesOf(const QString& path)
{
    CaptureFile file;
    EXPECT_TRUE(readCaptureFile(path, file, nullptr));
    EXPECT_TRUE(file.badLines.isEmpty()) << file.badLines.size();
    return file.entries;
}

TEST(LineCapture, PortBytesBecomeTimedLinesThatReadBackWhole)
{
    test::TempHome home;
    TestClock clock;
    auto capture = std::make_shared<LineCapture>(home.file("unit.capture"));
    capture->setClock([&clock] { return clock.now; });
    auto fake = std::make_unique<test::FakePort>();
    test::FakePort& line = *fake;
    line.close();
    CapturingPort port(std::move(fake), capture);
    port.setDeviceName("/dev/ttyUSB0");
    ASSERT_TRUE(port.open());

    QByteArray all;  // every byte value, "|" and spaces included
    for (int b = 0; b < 256; ++b)
        all += char(b);
    line.queue("<S>K\x01<E>" + all);
    while (port.readByte() >= 0)
        clock.advance(1);  // a byte a millisecond: one group, cut every 32 bytes
    ASSERT_TRUE(port.writeByte('J'));
    clock.advance(LineCapture::GroupGapMs + 1);
    ASSERT_TRUE(port.writeByte('S'));  // after a pause: a line of its own
    port.close();
    capture.reset();

    const QByteArray text = home.read("unit.capture");
    EXPECT_TRUE(text.contains("\n# 2026-12-06T18:12:55.123+01:00 OPEN /dev/ttyUSB0\n"
                              "2026-12-06T18:12:55.123+01:00 RX 3C 53 3E 4B 01 3C 45 3E 00 01 02 03 04 05 06 07 08 09 "
                              "0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16 17 |<S>K.<E>........................|\n"))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith(" TX 4A |J|\n2026-12-06T18:12:55.398+01:00 TX 53 |S|\n# 2026-12-06T18:12:55.398+01:00 CLOSE\n"))
        << text.toStdString();

    QByteArray rx;
    for (const CaptureEntry& e : entriesOf(home.file("unit.capture")))
        rx += e.kind == CaptureEntry::Rx ? e.bytes : QByteArray();
    EXPECT_EQ(rx, "<S>K\x01<E>" + all);
}

TEST(LineCapture, RotatesBeforeTheLimitKeepingOneOlderFile)
{
    test::TempHome home;
    const QString path = home.file("unit.capture");
    constexpr qint64 limit = 2048;
    TestClock clock;
    LineCapture capture(path, limit);
    capture.setClock([&clock] { return clock.now; });
    QByteArray sent;
    for (int i = 0; i < 2000; ++i) {
        capture.add(i % 7 == 0 ? CaptureEntry::Tx : CaptureEntry::Rx, quint8(i));
        if (i % 7 != 0)
            sent += char(i);
        clock.advance(3);
    }
    capture.flush();

    EXPECT_LE(QFileInfo(path).size(), limit);
    EXPECT_LE(QFileInfo(path + ".1").size(), limit);
    EXPECT_GT(QFileInfo(path + ".1").size(), limit / 2);
    // FILE.1 then FILE: the latest bytes, in order, with nothing missing between.
    QByteArray kept;
    for (const QString& f : {path + ".1", path})
        for (const CaptureEntry& e : entriesOf(f))
            if (e.kind == CaptureEntry::Rx)
                kept += e.bytes;
    ASSERT_FALSE(kept.isEmpty());
    EXPECT_TRUE(sent.endsWith(kept));
    EXPECT_TRUE(home.read("unit.capture").startsWith("# quorvelqc line capture"));
}

TEST(LineCapture, AFileThatCannotBeWrittenIsLoggedOnceAndCaptureResumes)
{
    test::TempHome home;
    const QString folder = home.file("not-yet");
    LineCapture capture(folder + "/unit.capture");
    for (int i = 0; i < 3; ++i) {
        capture.add(CaptureEntry::Rx, 'K');
        capture.flush();
    }
    const QByteArray log = home.read("quorvelqc.log");
    EXPECT_EQ(log.count("\r\n"), 1) << log.toStdString();
    EXPECT_TRUE(log.contains("Capture file " + folder.toUtf8() + "/unit.capture cannot be written"));

    ASSERT_TRUE(QDir().mkpath(folder));
    capture.add(CaptureEntry::Tx, 'J');
    capture.flush();
    EXPECT_EQ(entriesOf(folder + "/unit.capture").size(), 1);
}

TEST(CaptureFormat, DamagedLinesAreSkippedAndCounted)
{
    test::TempHome home;
    home.write("c", "# a comment\n"
                    "2026-12-06T18:12:55.123+01:00 RX 3C 7C |<||\n"
                    "2026-12-06T18:12:55.1 RX 3C |<|\n"       // time cut short
                    "2026-12-06T18:12:55.200+01:00 XX 3C\n"   // no direction
                    "2026-12-06T18:12:56.000+01:00 TX 4A 0 |J|\n"
                    "\n"
                    "2026-12-06T18:12:57.000Z TX 44 |D|\n"
                    "2026-12-06T18:12:58.000+01:00 RX 3C 5");  // cut by a crash
    CaptureFile file;
    ASSERT_TRUE(readCaptureFile(home.file("c"), file, nullptr));
    EXPECT_EQ(file.badLines, (QList<int>{3, 4, 5, 8}));
    ASSERT_EQ(file.entries.size(), 2);
    EXPECT_EQ(file.entries[0].bytes, "<|");
    EXPECT_EQ(file.entries[1].kind, CaptureEntry::Tx);
    EXPECT_EQ(file.entries[0].at.msecsTo(file.entries[1].at), 3600000 + 1877);
}

} // namespace
} // namespace qqc
