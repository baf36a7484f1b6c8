// The report window offscreen: the shown sample, its plots, and "Save PDF"
// with scripted answers.
#include "report/report_fixture.h"
#include "report/ui/frm_report.h"
#include "support/scripted_prompter.h"

#include <QAction>
#include <QFile>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTableWidget>
#include <QToolBar>
#include <gtest/gtest.h>

using namespace qqc;
using qqc::test::ReportPage;

namespace {

class ReportWindow : public ReportPage {
protected:
    report::frmReport form{[this] { return settings(); }};
    test::ScriptedPrompter prompter;
};

} // namespace

QQC_FILE_ONLY(ReportWindow);

TEST_P(ReportWindow, ShowsTheSampleAndClearsForANewDatabase)
{
    form.SetDB(&store->database());
    form.UpdateForm(6);
    EXPECT_EQ("6", form.GridDataTable[1]->item(1, 1)->text());
    EXPECT_EQ(QColor(255, 0, 0), form.GridDataTable[2]->item(0, 1)->background().color());
    EXPECT_EQ("Oil looks dark", form.tbComments->toPlainText());
    // The Trifold surface: Wear 5, so the band below the centre is drawn.
    const QImage tri = form.DrawTri->render(QSize(1000, 1000));
    EXPECT_EQ(qRgb(0, 255, 0), tri.pixel(500, 670));

    form.UpdateForm(99);   // unknown: the window stays as it was
    EXPECT_EQ(6, form.currentSample());
    form.SetDB(nullptr);
    EXPECT_EQ(0, form.GridDataTable[1]->rowCount());
    EXPECT_TRUE(form.tbComments->toPlainText().isEmpty());
}

TEST_P(ReportWindow, SavePdfChecksTheSampleAndWritesTheChosenFile)
{
    form.SetDB(&store->database());
    EXPECT_FALSE(form.savePdf());
    form.UpdateForm(9);
    EXPECT_FALSE(form.savePdf());
    ASSERT_EQ(2u, prompter.messages.size());
    EXPECT_EQ("Please select a Sample.", prompter.messages[0].text);
    EXPECT_EQ("Please select a Sample with an Equipment ID.", prompter.messages[1].text);
    EXPECT_TRUE(prompter.fileRequests.empty());

    form.UpdateForm(6);
    const QString out = home.file("out.pdf");
    prompter.fileNames.push_back(out);
    QAction* save = nullptr;
    for (QAction* a : form.toolbar()->actions())
        if (a->text() == "Save PDF")
            save = a;
    ASSERT_NE(nullptr, save);
    save->trigger();
    ASSERT_TRUE(QFile::exists(out));
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(5).startsWith("%PDF"));
    EXPECT_EQ(2u, prompter.messages.size());
}

TEST_P(ReportWindow, ACommentIsSavedToTheSampleItWasTypedFor)
{
    form.SetDB(&store->database());
    QSignalSpy refreshed(&form, &report::frmReport::RefreshData);
    form.UpdateForm(6);
    form.tbComments->selectAll();
    form.tbComments->insertPlainText("Filter changed");
    form.UpdateForm(5);   // switching sample saves it to sample 6
    ASSERT_EQ(1, refreshed.size());
    EXPECT_EQ(6, refreshed[0][0].toInt());
    EXPECT_EQ("Filter changed", report::readReport(store->database(), 6).comments);
    EXPECT_EQ("Oil looks dark", form.tbComments->toPlainText());

    // Clearing the box keeps the stored comment; an untouched box writes nothing.
    form.tbComments->clear();
    form.UpdateForm(6);
    form.UpdateForm(4);
    EXPECT_EQ(1, refreshed.size());
    EXPECT_EQ("Oil looks dark", report::readReport(store->database(), 5).comments);
}
