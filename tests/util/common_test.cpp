#include "util/common.h"

#include "support/scripted_prompter.h"
#include "support/temp_home.h"
#include "util/prompter.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace qqc {
namespace {

TEST(SubstituteParams, ItemsInOrderLastOneReusedAndInsertedDollarsLeftAlone)
{
    QString list = "3|1|2|5";
    EXPECT_EQ(SubstituteParams("$.$", list), "3.1");
    EXPECT_EQ(list, "2|5");
    QString one = "x";
    EXPECT_EQ(SubstituteParams("a$b$c", one), "axbxc");
    EXPECT_EQ(one, "x");
    QString none;
    EXPECT_EQ(SubstituteParams("a$b$c", none), "abc");
    QString unused = "p|q";
    EXPECT_EQ(SubstituteParams("no place-holder", unused), "no place-holder");
    EXPECT_EQ(unused, "p|q");
    QString dollar = "$5|tail";
    EXPECT_EQ(SubstituteParams("cost $ and $", dollar), "cost $5 and tail");
}

TEST(MessageBoxEx, BarsBecomeLineBreaksPlusBecomesTabThenSubstitution)
{
    test::ScriptedPrompter p;
    p.answers = {Answer::Yes};
    const int answer = MessageBoxEx("a+b|Sample:$ Date:$", MsgStyle::YesNo, "12|1/2/2026", "Title");
    EXPECT_EQ(answer, Answer::Yes);
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0].text, "a\tb\r\nSample:12 Date:1/2/2026");
    EXPECT_EQ(p.messages[0].style, MsgStyle::YesNo);
    EXPECT_EQ(p.messages[0].title, "Title");
}

TEST(SplitPath, SplitsAtTheLastSeparatorOfEitherKind)
{
    QString folder = "keep";
    QString file = "keep";
    SplitPath("C:\\data\\x.mdb", folder, file);
    EXPECT_EQ(folder, "C:\\data\\");
    EXPECT_EQ(file, "x.mdb");
    SplitPath("/home/lab/db/y.mdb", folder, file);
    EXPECT_EQ(folder, "/home/lab/db/");
    EXPECT_EQ(file, "y.mdb");
    folder = file = "keep";
    SplitPath("plain.mdb", folder, file);
    EXPECT_EQ(folder, "keep");
    EXPECT_EQ(file, "keep");
}

TEST(NextNumberedFileName, FirstNameAndNextAfterTheLargest)
{
    test::TempHome home;
    const QString folder = home.path() + "/";
    EXPECT_EQ(NextNumberedFileName(folder, "new", "mdb"), folder + "new00001.mdb");

    home.write("new00002.mdb", "");
    home.write("NEW00010.MDB", "");   // names compare without case
    home.write("newest.mdb", "");     // not numeric: counts as 0
    home.write("new00099.txt", "");   // other extension
    EXPECT_EQ(NextNumberedFileName(folder, "new", "mdb"), folder + "new00011.mdb");
    // A prefix of 8 characters or more gets no padding.
    EXPECT_EQ(NextNumberedFileName(folder, "samples_", "csv"), folder + "samples_1.csv");
}

TEST(DebugLog, AppendsDateTimeCommaTextOnlyWhenEnabled)
{
    test::TempHome home;
    DebugLog("not written", false);
    EXPECT_TRUE(home.read("quorvelqc.log").isEmpty());
    DebugLog("Rx: K 05", true);
    DebugLog("second", true);
    const QString log = QString::fromUtf8(home.read("quorvelqc.log"));
    const QRegularExpression line(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d,Rx: K 05\r\n\d{4}-\d\d-\d\d \d\d:\d\d:\d\d,second\r\n$)");
    EXPECT_TRUE(line.match(log).hasMatch()) << log.toStdString();
}

} // namespace
} // namespace qqc
