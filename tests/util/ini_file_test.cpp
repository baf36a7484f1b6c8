#include "util/ini_file.h"

#include "support/file_size_limit.h"
#include "support/temp_home.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <utility>

namespace qqc {
namespace {

class IniFileTest : public ::testing::Test {
protected:
    test::TempHome home;
    QString path = home.file(QStringLiteral("quorvelqc.ini"));
    IniFile ini{path};
};

TEST_F(IniFileTest, NamesCompareWithoutCaseAndValuesAreTrimmed)
{
    home.write("quorvelqc.ini", "[misc]\r\n  Debug = 1 \r\nTotalTestTime=  75 \r\n[OvLabels]\r\nreport0=  Acme Oil  \r\n"
                                "[WINDOWS]\nWIN_4=0.12,0.20,0.59,0.65\n");
    EXPECT_TRUE(ini.readFlag("MISC", "DEBUG"));
    EXPECT_EQ(ini.readInt("MISC", "TOTALTESTTIME", 50), 75);
    EXPECT_EQ(ini.readText("OVLABELS", "REPORT0", "Company"), "Acme Oil");
    EXPECT_EQ(ini.readText("windows", "win_4", "12E-02|2E-02|59E-02|65E-02"), "0.12,0.20,0.59,0.65");
}

TEST_F(IniFileTest, FlagIsOnOnlyForExactlyOneAndIntegersReadLeadingDigits)
{
    home.write("quorvelqc.ini", "[MISC]\nA= 1 \nB=01\nC=yes\nD=1x\nE=\n"
                                "[COMM]\nA=12abc\nB=-3\nC=abc\nD=\nE=99999999999\n");
    EXPECT_TRUE(ini.readFlag("MISC", "A"));
    for (const char* off : {"B", "C", "D", "E"})
        EXPECT_FALSE(ini.readFlag("MISC", off)) << off;
    const std::pair<const char*, int> numbers[] = {{"A", 12}, {"B", -3}, {"C", 7}, {"D", 7}, {"E", 2147483647}, {"MISSING", 7}};
    for (const auto& [name, value] : numbers)
        EXPECT_EQ(ini.readInt("COMM", name, 7), value) << name;
}

TEST_F(IniFileTest, TextIsCutAt63CharactersButPathsAreReadWhole)
{
    const QString sixtyFour = QString(63, 'a') + "b";
    home.write("quorvelqc.ini", ("[Database]\nFile=" + sixtyFour + "\n").toUtf8());
    EXPECT_EQ(ini.readText("Database", "File", ""), sixtyFour.left(63));
    EXPECT_EQ(ini.readPath("Database", "File", ""), sixtyFour);
    // NULs become blanks before trimming.
    home.write("quorvelqc.ini", QByteArray("[A]\nK=ab\0\0  \n", 14));
    EXPECT_EQ(ini.readText("A", "K", ""), "ab");
}

TEST_F(IniFileTest, GarbledFileGivesDefaultsAndCanBeWrittenAnUnreadableOneNot)
{
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk.append(char((i * 7919) & 0xFF));
    home.write("quorvelqc.ini", junk);
    EXPECT_EQ(ini.readInt("COMM", "PORT", 0), 0);
    EXPECT_EQ(ini.readText("OVLABELS", "REPORT6", "QuorvelQC Analyzer"), "QuorvelQC Analyzer");
    EXPECT_TRUE(ini.writeText("COMM", "PORT", "3"));
    EXPECT_EQ(ini.readInt("COMM", "PORT", 0), 3);

    // A folder where the file should be cannot be read as a file.
    IniFile folder(home.file("folder.ini"));
    QDir(home.path()).mkdir("folder.ini");
    EXPECT_EQ(folder.readInt("MISC", "TOTALTESTTIME", 50), 50);
    EXPECT_FALSE(folder.writeText("MISC", "X", "1"));
}

TEST_F(IniFileTest, WritingAKeyKeepsEveryOtherLineAndStaysOneLine)
{
    const QByteArray before = "; station settings\r\n[MISC]\r\nDEBUG=0\r\nUnknown=keep me\r\n\r\n"
                              "[WINDOWS]\r\nwin_1=0.1|0.1|0.1|0.1\r\n; trailing comment\r\n";
    home.write("quorvelqc.ini", before);
    ASSERT_TRUE(ini.writeText("windows", "WIN_1", "1E-01|0|5E-01|5E-01"));
    ASSERT_TRUE(ini.writeText("WINDOWS", "WIN_2", "0|0|1|1"));
    ASSERT_TRUE(ini.writeText("COMM", "PORT", "2"));
    ASSERT_TRUE(ini.writeText("misc", "CHART", "1"));   // into its section, before the blank line
    EXPECT_EQ(home.read("quorvelqc.ini"),
              QByteArray("; station settings\r\n[MISC]\r\nDEBUG=0\r\nUnknown=keep me\r\nCHART=1\r\n\r\n"
                         "[WINDOWS]\r\nWIN_1=1E-01|0|5E-01|5E-01\r\n; trailing comment\r\nWIN_2=0|0|1|1\r\n"
                         "\r\n[COMM]\r\nPORT=2\r\n"));
    // A value with line breaks stays on one line.
    ASSERT_TRUE(ini.writeText("OVLABELS", "REPORT0", "two\r\nlines"));
    ASSERT_TRUE(ini.writeText("OVLABELS", "REPORT1", "next"));
    EXPECT_EQ(ini.readText("OVLABELS", "REPORT0", ""), "two  lines");
    EXPECT_EQ(ini.readText("OVLABELS", "REPORT1", ""), "next");
}

TEST_F(IniFileTest, WriteReplacesTheFileWholeOrNotAtAll)
{
    ASSERT_TRUE(ini.writeText("MISC", "DEBUG", "1"));
    ASSERT_TRUE(ini.writeText("MISC", "DEBUG", "0"));
    EXPECT_FALSE(ini.readFlag("MISC", "DEBUG"));
    const QByteArray before = home.read("quorvelqc.ini");
    {
        // The disk fills up half-way through the new file.
        test::FileSizeLimit limit(qsizetype(before.size()) - 4);
        EXPECT_FALSE(ini.writeText("MISC", "DEBUG", "1"));
    }
    EXPECT_EQ(home.read("quorvelqc.ini"), before);
    const QStringList files = QDir(home.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(files, QStringList{"quorvelqc.ini"}) << "no temporary file stays behind";
}

// A settings file of the earlier program: Windows-1252, with the five bytes
// 1252 leaves undefined in a comment.
const QByteArray kCp1252File = "; \x81\x8D\x8F\x90\x9D\r\n[OvLabels]\r\nreport0=Soci\xE9t\xE9 G\xE9n\xE9rale\r\n"
                               "report1=Prix \x80 \x93HT\x94\r\n[MISC]\r\nDEBUG=0\r\n";

TEST_F(IniFileTest, Windows1252FileIsReadAsSuchAndWrittenBackInIt)
{
    home.write("quorvelqc.ini", kCp1252File);
    EXPECT_EQ(ini.readText("OVLABELS", "REPORT0", ""), QString::fromUtf8("Société Générale"));
    EXPECT_EQ(ini.readText("OVLABELS", "REPORT1", ""), QString::fromUtf8("Prix € “HT”"));

    // Other lines keep their bytes; the new value is written in 1252 too.
    ASSERT_TRUE(ini.writeText("OVLABELS", "REPORT2", QString::fromUtf8("Zürich € Œ")));
    ASSERT_TRUE(ini.writeText("MISC", "DEBUG", "1"));
    EXPECT_EQ(home.read("quorvelqc.ini"),
              QByteArray("; \x81\x8D\x8F\x90\x9D\r\n[OvLabels]\r\nreport0=Soci\xE9t\xE9 G\xE9n\xE9rale\r\n"
                         "report1=Prix \x80 \x93HT\x94\r\nREPORT2=Z\xFCrich \x80 \x8C\r\n[MISC]\r\nDEBUG=1\r\n"));
}

TEST_F(IniFileTest, CharacterWindows1252CannotHoldTurnsTheFileIntoUtf8ForGood)
{
    home.write("quorvelqc.ini", kCp1252File);
    ASSERT_TRUE(ini.writeText("OvLabels", "report3", QString::fromUtf8("Łódź")));
    const QByteArray utf8 = "; \xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D\r\n[OvLabels]\r\n"
                            "report0=Soci\xC3\xA9t\xC3\xA9 G\xC3\xA9n\xC3\xA9rale\r\n"
                            "report1=Prix \xE2\x82\xAC \xE2\x80\x9CHT\xE2\x80\x9D\r\nreport3=\xC5\x81\xC3\xB3" "d\xC5\xBA\r\n"
                            "[MISC]\r\nDEBUG=0\r\n";
    EXPECT_EQ(home.read("quorvelqc.ini"), utf8);
    EXPECT_EQ(ini.readText("OVLABELS", "REPORT0", ""), QString::fromUtf8("Société Générale"));

    // A UTF-8 file stays UTF-8, also for characters 1252 could hold.
    ASSERT_TRUE(ini.writeText("MISC", "DEBUG", QString::fromUtf8("é")));
    EXPECT_EQ(home.read("quorvelqc.ini"), QByteArray(utf8).replace("DEBUG=0", "DEBUG=\xC3\xA9"));

    // A new file is UTF-8.
    IniFile fresh(home.file("new.ini"));
    ASSERT_TRUE(fresh.writeText(QString::fromUtf8("Métier"), "K", QString::fromUtf8("é 中")));
    EXPECT_TRUE(home.read("new.ini").startsWith("[M\xC3\xA9tier]"));
    EXPECT_TRUE(home.read("new.ini").contains("K=\xC3\xA9 \xE4\xB8\xAD"));
    EXPECT_EQ(fresh.readText(QString::fromUtf8("MÉTIER"), "k", ""), QString::fromUtf8("é 中"));
}

} // namespace
} // namespace qqc
