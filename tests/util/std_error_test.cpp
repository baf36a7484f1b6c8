#include "util/std_error.h"

#include "support/scripted_prompter.h"
#include "support/temp_home.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace qqc {
namespace {

class StdErrorTest : public ::testing::Test {
protected:
    test::TempHome home;
    test::ScriptedPrompter prompts;
    StdError reporter{home.file("quorvelqc.log")};

    QString log() const { return QString::fromUtf8(home.read("quorvelqc.log")); }
};

TEST_F(StdErrorTest, OverflowReportShowsFourLinesAndLogsTheExactLine)
{
    reporter.RecordError("MDIForm8700", "get_ov_data", 6, "Overflow", "quorvelqc");
    prompts.answers = {Answer::Retry};
    EXPECT_EQ(reporter.ReportError(), Answer::Retry);

    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text,
              "Module: MDIForm8700\r\nProcedure: get_ov_data\r\nError: Overflow\r\nCode: 6\r\n");
    EXPECT_EQ(prompts.messages[0].style, 18);
    EXPECT_EQ(prompts.messages[0].title, "");

    const QRegularExpression expected(
        "^Error: Module=MDIForm8700,  Procedure=get_ov_data,  Error=Overflow,  Code= 6 ,  "
        "Source=quorvelqc,  Return Code= 4 ,  Time=\\d\\d:\\d\\d:\\d\\d\\r\\n$");
    EXPECT_TRUE(expected.match(log()).hasMatch()) << log().toStdString();
}

TEST_F(StdErrorTest, EachReportAppendsALineTheLogKeepsWhatTheBoxBreaksAndABadLogKeepsTheBox)
{
    reporter.RecordError("frmDiag", "Poll", -5, "");
    reporter.ReportError();
    EXPECT_EQ(reporter.description(), "Unknown Error");
    reporter.RecordError("M", "P", 13, "a|b $x");
    reporter.ReportError();
    // The "|" of a description is a line break in the box and does not push
    // the code off the message.
    EXPECT_EQ(prompts.messages[1].text, "Module: M\r\nProcedure: P\r\nError: a\r\nb $x\r\nCode: 13\r\n");
    const QStringList lines = log().split("\r\n");
    ASSERT_EQ(lines.size(), 3) << log().toStdString();
    EXPECT_TRUE(lines[0].contains(",  Error=Unknown Error,  Code=-5 ,  Source=QuorvelQC,  Return Code= 5 ,  Time="))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("Error: Module=M,  Procedure=P,  Error=a|b $x,  Code= 13 ,")) << lines[1].toStdString();

    // An unwritable log still shows the box and returns the answer.
    StdError broken(home.path() + "/no/such/folder/quorvelqc.log");
    broken.RecordError("M", "P", 1, "x");
    prompts.answers = {Answer::Abort};
    EXPECT_EQ(broken.ReportError(), Answer::Abort);
    EXPECT_EQ(prompts.messages.size(), 3u);
}

TEST_F(StdErrorTest, TraceHeaderAndTraceLines)
{
    reporter.TraceFile(home.file("trace.log"));
    reporter.TPrint("step one");
    const QString trace = QString::fromUtf8(home.read("trace.log"));
    const QRegularExpression expected("^={25}\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d={25}\\r\\n"
                                      "step one, \\d\\d:\\d\\d:\\d\\d\\r\\n$");
    EXPECT_TRUE(expected.match(trace).hasMatch()) << trace.toStdString();
}

TEST(ReportModuleError, WarningGivesOkBoxOtherwiseAbortRetryIgnoreAndARoutineErrorAPlainBox)
{
    test::TempHome home;
    test::ScriptedPrompter prompts;
    EXPECT_EQ(ReportModuleError(7, "Warning: no answer", "frmDiag", "tmrPoll_Timer"), Answer::Ok);
    EXPECT_EQ(prompts.messages[0].style, 48);
    EXPECT_EQ(prompts.messages[0].text,
              "Module: frmDiag\r\nProcedure: tmrPoll_Timer\r\nError: Warning: no answer\r\nCode: 7\r\n");
    EXPECT_EQ(ReportModuleError(8, "Timeout", "frmDiag", "tmrPoll_Timer"), Answer::Ignore);
    EXPECT_EQ(prompts.messages[1].style, 18);
    EXPECT_TRUE(home.read("quorvelqc.log").isEmpty());

    // A routine's error is a plain box.
    prompts.messages.clear();
    ShowRoutineError(13, "Type mismatch", "SaveParameterData");
    ShowRoutineError("AddNewSample");
    EXPECT_EQ(prompts.texts(), (QStringList{"Error 13(Type mismatch) in routine: SaveParameterData ",
                                            "Error in routine: AddNewSample "}));
    EXPECT_EQ(prompts.messages[0].style, MsgStyle::Ok);
    EXPECT_EQ(prompts.messages[0].title, "");
}

} // namespace
} // namespace qqc
