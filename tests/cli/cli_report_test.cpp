// quorvelqc-cli report as a process on a real database file: the PDF read
// back by poppler as text and pixels, the settings of the program folder,
// a write-protected file left as it was, and every failure as one line.

#include "report/report_fixture.h"
#include "db/database_copy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace qqc;

namespace {

struct Outcome {
    int status = -1;
    QString err;
};

class CliReport : public test::ReportPage {
protected:
    Outcome cli(const QStringList& args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LC_ALL", "en_US.UTF-8");
        env.remove("QUORVELQC_HOME");
        env.remove("QT_QPA_PLATFORM");
        env.remove("DISPLAY");
        env.remove("XDG_RUNTIME_DIR");
        p.setProcessEnvironment(env);
        p.start(test::binDir() + "/quorvelqc-cli", args);
        EXPECT_TRUE(p.waitForFinished(30000));
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardError())};
    }
    static QString run(const QString& program, const QStringList& args)
    {
        QProcess p;
        p.start(program, args);
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }
};

} // namespace

QQC_FILE_ONLY(CliReport);

TEST_P(CliReport, WritesTheSamplesPageWithTheProgramFoldersSettingsAndLeavesTheFileAsItWas)
{
    QImage logo(64, 64, QImage::Format_RGB32);
    logo.fill(qRgb(200, 120, 0));
    ASSERT_TRUE(logo.save(home.file("logo.png")));
    home.write("quorvelqc.ini", "[OVLABELS]\nREPORT0=Quux Oil Lab\nREPORT1=12 Harbour Rd\nREPORT5=" +
                                    home.file("logo.png").toUtf8() +
                                    "\nREPORT6=Plant %d|North\nCOLORREDUCTION=100\n[MISC]\nIMG=1\n");
    test::runSql(path, {"INSERT INTO Images (SampleID, ReportSlot, ImageFile) VALUES (6, 2, 'gone.jpg')"});
    store.reset();
    QFile::setPermissions(path, QFile::ReadOwner);
    QFile before(path);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray bytes = before.readAll();
    const QDateTime modified = QFileInfo(path).lastModified();

    const QString pdf = home.file("sample 6.pdf");
    const Outcome done = cli({"report", "--db", path, "--sample", "6", "--pdf", pdf, "--home", home.path(), "--paper",
                              "letter"});
    EXPECT_EQ(0, done.status);
    EXPECT_EQ("quorvelqc-cli: Image file not found: " + home.file("Img/gone.jpg") + "\n", done.err);
    QFile after(path);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(bytes, after.readAll()) << "a report never changes the database";
    EXPECT_EQ(modified, QFileInfo(path).lastModified());
    ASSERT_TRUE(QFile::exists(pdf));

    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "poppler-utils not installed";
    const QString text = run("pdftotext", {"-layout", pdf, "-"});
    // Ferrous of the last five samples (6 back to 2; 3 has none), not of sample 1.
    for (const char* s : {"Trend Report", "Plant %d|North", "Page 1", "Database:", "samples.mdb", "Equipment ID:",
                          "PUMP|7;A", "Ferrous Index", "60.0", "50.0", "40.0", "20.0", "Quux Oil Lab", "12 Harbour Rd"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(s))) << s << "\n" << text.toStdString();
    EXPECT_FALSE(text.contains("10.0"));

    // At 10 twips a pixel, in the image layout (the flag is on and the
    // sample has a picture row): the Wear axis's outer band (sample 6 is
    // Wear 5), red reduced by 100; the logo's solid colour.
    run("pdftoppm", {"-png", "-r", "144", "-singlefile", pdf, home.file("page")});
    const QImage page(home.file("page.png"));
    ASSERT_FALSE(page.isNull());
    const double side = (12240 - 288 - 200) / 3, u = 0.085 * side, cx = 144 + side / 2, cy = 1008 + 0.65 * side;
    EXPECT_EQ(qRgb(255, 100, 100), page.pixel(int((cx - 30) / 10), int((cy - 4.6 * u) / 10)) | 0xff000000);
    const QRgb logoPixel = page.pixel(int(144 + side + 200 + 300) / 10, (1008 + 300) / 10);
    EXPECT_NEAR(200, qRed(logoPixel), 3);   // the picture may be stored lossy
    EXPECT_NEAR(120, qGreen(logoPixel), 3);
    EXPECT_NEAR(0, qBlue(logoPixel), 3);
}

// On a server database the page names the address without its password.
TEST_P(CliReport, AServerDatabaseIsNamedWithoutItsPassword)
{
    if (test::serverAdminUri().isEmpty() || QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "needs the test server and poppler-utils";
    test::ServerDatabase server;
    db::createServerDatabase(server.uri(), test::builtTemplate());
    db::copyDataTables(store->database(), *db::Database::open(server.uri()));
    const QString typed = QString(server.uri()).replace("://postgres@", "://postgres:secret@");
    const QString pdf = home.file("server.pdf");
    const Outcome done = cli({"report", "--db", typed, "--sample", "6", "--pdf", pdf, "--home", home.path()});
    ASSERT_EQ(0, done.status) << done.err.toStdString();
    const QString text = run("pdftotext", {"-raw", pdf, "-"}).simplified();
    EXPECT_TRUE(text.contains("Database: " + server.uri().left(40))) << text.toStdString();
    EXPECT_FALSE(text.contains("secret"));
}

TEST_P(CliReport, EachFailureIsOneLineAndABadCommandLineIsStatusTwo)
{
    store.reset();
    home.write("foreign.mdb", "");
    test::runSql(home.file("foreign.mdb"), {"CREATE TABLE Other (a)"});
    const QString out = home.file("out.pdf");
    struct Case {
        QStringList args;
        int status;
        QString message;
    };
    const Case cases[] = {
        {{"--db", path, "--sample", "99", "--pdf", out}, 1, "no sample with SampleID 99"},
        {{"--db", path, "--sample", "9", "--pdf", out}, 1, "Please select a Sample with an Equipment ID."},
        {{"--db", path, "--sample", "6", "--pdf", home.file("no/such/folder/out.pdf")}, 1, "cannot write "},
        {{"--db", home.file("missing.mdb"), "--sample", "6", "--pdf", out}, 1, "no database"},
        {{"--db", home.file("foreign.mdb"), "--sample", "6", "--pdf", out}, 1, "is not a QuorvelQC database"},
        {{"--db", path, "--sample", "6"}, 2, "report needs --sample N and --pdf FILE"},
        {{"--db", path, "--sample", "6", "--pdf", out, "--paper", "a3"}, 2, "--paper takes a4 or letter"},
        {{"--db", path, "--sample", "six", "--pdf", out}, 2, "--sample needs a SampleID"},
    };
    for (const Case& c : cases) {
        const Outcome o = cli(QStringList{"report", "--home", home.path()} + c.args);
        EXPECT_EQ(c.status, o.status) << c.args.join(' ').toStdString();
        EXPECT_TRUE(o.err.startsWith("quorvelqc-cli: ") && o.err.contains(c.message)) << o.err.toStdString();
        EXPECT_EQ(c.status == 2 ? 2 : 1, o.err.count('\n')) << o.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(out));
}
