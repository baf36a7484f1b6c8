// Printing from the report window with stand-in printers: none, a Legal-size
// one, one that cannot be asked, and a PDF file standing in for a printer.
#include "report/report_fixture.h"
#include "report/ui/frm_report.h"
#include "report/ui/report_printer.h"
#include "support/scripted_prompter.h"

#include <QAction>
#include <QFile>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QToolBar>
#include <gtest/gtest.h>

#include <stdexcept>

using namespace qqc;
using qqc::test::ReportPage;

namespace {

struct FakePrinters : report::ReportPrinters {
    QString name;
    QPageSize::PageSizeId paper = QPageSize::Letter;
    bool broken = false;
    QString output;
    QString defaultPrinterName() const override { return name; }
    QPageSize paperOf(const QString&) const override
    {
        if (broken)
            throw std::runtime_error("gone");
        return QPageSize(paper);
    }
    std::unique_ptr<QPrinter> open(const QString&) const override
    {
        auto p = std::make_unique<QPrinter>(QPrinter::HighResolution);
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setOutputFileName(output);
        p->setPageSize(QPageSize(paper));
        return p;
    }
};

class ReportPrinting : public ReportPage {
protected:
    report::frmReport form{[this] { return settings(); }};
    test::ScriptedPrompter prompter;
    FakePrinters printers;

    void SetUp() override
    {
        ReportPage::SetUp();
        printers.output = home.file("printed.pdf");
        form.setPrinters(&printers);
        form.SetDB(&store->database());
        form.UpdateForm(6);
        form.resize(800, 600);
    }
    void press(const QString& key)
    {
        for (QAction* a : form.toolbar()->actions())
            if (a->objectName() == key)
                a->trigger();
    }
};

} // namespace

QQC_FILE_ONLY(ReportPrinting);

TEST_P(ReportPrinting, PrinterProblemsAreToldAndNothingPrints)
{
    press("Print");
    printers.name = "Legal";
    printers.paper = QPageSize::Legal;
    press("Preview");
    printers.broken = true;
    press("Print");
    ASSERT_EQ(3u, prompter.messages.size());
    EXPECT_EQ("Printer not found.  Select a default printer", prompter.messages[0].text);
    EXPECT_EQ("Non standard paper size selected or incorrect printer: Legal", prompter.messages[1].text);
    EXPECT_EQ("Problem with printer: [Legal]", prompter.messages[2].text);
    EXPECT_FALSE(QFile::exists(printers.output));
    EXPECT_EQ(nullptr, form.preview());
}

TEST_P(ReportPrinting, PrintWritesThePageAndPreviewShowsAndCloses)
{
    printers.name = "PDF";
    press("Print");
    EXPECT_TRUE(prompter.messages.empty());
    ASSERT_TRUE(QFile::exists(printers.output));
    EXPECT_GT(QFile(printers.output).size(), 1000);
    if (qEnvironmentVariableIsSet("QQC_KEEP_PDF"))
        QFile::copy(printers.output, qEnvironmentVariable("QQC_KEEP_PDF"));

    press("Preview");
    ASSERT_NE(nullptr, form.preview());
    EXPECT_TRUE(form.preview()->isVisibleTo(&form));
    EXPECT_EQ(1, form.preview()->pageCount());
    press("PrintClose");
    EXPECT_FALSE(form.preview()->isVisibleTo(&form));
}

TEST_P(ReportPrinting, LongCommentsGoOnToASecondPrintedAndPreviewedPage)
{
    QStringList lines;
    for (int i = 0; i < 60; ++i)
        lines << QString("remark %1").arg(i);
    test::runSql(path, {"UPDATE Samples SET Comments = '" + lines.join("\n") + "' WHERE SampleID = 6"});
    form.UpdateForm(6);
    printers.name = "PDF";
    press("Print");
    press("Preview");
    ASSERT_NE(nullptr, form.preview());
    EXPECT_EQ(2, form.preview()->pageCount());
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "poppler-utils not installed";
    QProcess text;
    text.start("pdftotext", {"-f", "2", "-l", "2", printers.output, "-"});
    text.waitForFinished(30000);
    const QString second = QString::fromUtf8(text.readAllStandardOutput());
    for (const char* s : {"Page 2", "Equipment ID:", "remark 59"})
        EXPECT_TRUE(second.contains(s)) << s << "\n" << second.toStdString();
}
