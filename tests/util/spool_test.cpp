// The spool's files: whole entries in arrival order, values that survive any
// character, and files that are not whole entries left alone.
#include "util/spool.h"

#include "support/file_size_limit.h"
#include "support/temp_home.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace qqc;

TEST(Spool, EntriesComeBackWholeInArrivalOrderAndLeaveOnlyWhenRemoved)
{
    test::TempHome home;
    Spool spool(spoolFolder());
    const QDateTime t0 = QDateTime::fromMSecsSinceEpoch(1765044773123);
    SpoolEntry late{"D", "/data/lab one.mdb", t0.addMSecs(1), {{"raw8700", "1,2,-3"}, {"Temp", "25"}}, {}};
    SpoolEntry early{"C", "/data/odd\\name\r\n=.mdb", t0, {{"CalDate", "46000.5"}, {"note", "a=b\\n"}}, {}};
    ASSERT_TRUE(spool.write(late));
    ASSERT_TRUE(spool.write(early));
    EXPECT_TRUE(late.file.endsWith(".qqs")) << late.file.toStdString();
    // A cut file (a crash before the rename leaves only a ".tmp") and a
    // foreign one are not entries.
    home.write("spool/20000101T000000000-1-000001.qqs", "QuorvelQC spool 1\nkind=D\ndatabase=/x\narrival=1\n");
    home.write("spool/20000101T000000000-1-000002.qqs.tmp", "QuorvelQC spool 1\n");

    QStringList unreadable;
    std::vector<SpoolEntry> loaded = spool.load(&unreadable);
    EXPECT_EQ(QStringList{"20000101T000000000-1-000001.qqs"}, unreadable);
    ASSERT_EQ(2u, loaded.size());
    EXPECT_EQ(early.file, loaded[0].file);
    EXPECT_EQ("C", loaded[0].kind);
    EXPECT_EQ(early.database, loaded[0].database);
    EXPECT_EQ(t0, loaded[0].arrival);
    EXPECT_EQ(early.fields, loaded[0].fields);
    EXPECT_EQ(late.fields, loaded[1].fields);
    EXPECT_EQ("1,2,-3", loaded[1].value("raw8700"));

    ASSERT_TRUE(spool.remove(loaded[0]));
    ASSERT_TRUE(spool.setAside(loaded[1]));
    EXPECT_TRUE(spool.load().empty());
    EXPECT_TRUE(QFile::exists(home.file("spool/" + late.file + ".failed")));
}

TEST(Spool, AWriteThatFailsLeavesNoEntryAndSaysWhy)
{
    test::TempHome home;
    Spool spool(spoolFolder());
    SpoolEntry entry{"D", "/data/lab.mdb", QDateTime::currentDateTime(), {{"raw8700", QString(4000, '7')}}, {}};
    QString error;
    {
        test::FileSizeLimit full(1024);   // the entry needs more: a full disk
        EXPECT_FALSE(spool.write(entry, &error));
    }
    EXPECT_TRUE(entry.file.isEmpty());
    EXPECT_TRUE(error.contains("cannot write")) << error.toStdString();
    EXPECT_TRUE(QDir(spool.folder()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(spool.write(entry, &error));
    EXPECT_EQ(1u, spool.load().size());
}
