// The sample window's export and import commands, offscreen, with every
// question answered by a scripted prompter.

#include "db/db_fixture.h"
#include "support/scripted_prompter.h"
#include "views/ui/frm_data.h"
#include "views/ui/frm_list.h"

#include <QFile>
#include <QLocale>
#include <QProgressDialog>

#include <gtest/gtest.h>

using namespace qqc;

namespace {

class ExchangeWindowTest : public test::TemplateCopy {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        TemplateCopy::SetUp();
        test::runSql(path, {
            "INSERT INTO Samples (SampleID, SampleNum, SampleDate, EquipmentID, UnitUsage) VALUES"
            " (1, '1', '2004-03-05T10:00:00', 'A', '30'), (2, '2', '2004-03-06T10:00:00', '', '5'),"
            " (3, '3', '2004-03-07T10:00:00', 'C', '200')"});
        store = openStore();
        form.SetDB(&store->database());
        form.UpdateForm();
        form.show();
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
    void selectRows(int first, int last)
    {
        form.vsFlexData_MouseDown(Qt::LeftButton, first);
        form.vsFlexData_MouseMove(last, true);
        form.vsFlexData_MouseUp(last);
    }
    QByteArray read(const QString& name)
    {
        QFile f(home.file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    int samples() { return store->database().queryValue("SELECT COUNT(*) FROM Samples").toInt(); }

    test::ScriptedPrompter prompter;
    std::unique_ptr<db::SampleDatabase> store;
    frmData form;
};

TEST_F(ExchangeWindowTest, ExportNeedsASelectionWritesGridOrderAndClearsTheAnchors)
{
    form.ExportCSV();
    ASSERT_EQ(prompter.texts(), QStringList{"Please select Sample(s) to Export "});
    EXPECT_EQ(prompter.messages[0].title, "Export Data to a .CSV File");
    EXPECT_TRUE(prompter.fileRequests.empty());

    form.vsFlexData_Click(0, 4);  // Unit Usage, descending: 200, 30, 5
    selectRows(1, 2);
    prompter.fileNames = {home.file("out.csv")};
    form.ExportCSV();
    ASSERT_EQ(prompter.fileRequests.size(), 1u);
    EXPECT_EQ(prompter.fileRequests[0].title, "New File Name");
    EXPECT_EQ(prompter.fileRequests[0].filter, "Export Files (*.csv);;All Files (*.*)");
    const QList<QByteArray> lines = read("out.csv").split('\n');
    ASSERT_EQ(lines.size(), 4);  // header, two samples, the end
    EXPECT_TRUE(lines[1].startsWith("3,3,3/7/2004 10:00,C,200,"));
    EXPECT_TRUE(lines[2].startsWith("1,1,3/5/2004 10:00,A,30,"));
    EXPECT_FALSE(form.hasSelection());
    form.ExportVQM();
    EXPECT_EQ(prompter.messages.back().text, "Please select Sample(s) to Export ");
    EXPECT_EQ(prompter.messages.back().title, "Export Data to a VQM Generic File");
}

TEST_F(ExchangeWindowTest, CancelAtTheMissingEquipmentWarningLeavesNoFile)
{
    selectRows(1, 3);  // newest first: 3, 2 (no equipment ID), 1
    prompter.fileNames = {home.file("out.dat")};
    prompter.answers = {Answer::Cancel};
    form.ExportVQM();
    ASSERT_EQ(prompter.texts().last(), "Warning, No Lab Unit ID for sample: 2");
    EXPECT_FALSE(QFile::exists(home.file("out.dat")));
    EXPECT_TRUE(form.hasSelection());
}

TEST_F(ExchangeWindowTest, ImportShowsItsReportRebuildsTheGridAndCancelStoresNothing)
{
    home.write("in.dat", "UNITID#   :NEW\r\nTAKEDATE  :01/02/2004\r\nUNITID#   :A\r\nTAKEDATE  :03/05/2004\r\n");
    form.setProgressDelay(0);
    form.setProgressShownHook([](QProgressDialog& dialog) { dialog.cancel(); });
    prompter.fileNames = {home.file("in.dat")};
    form.importVqm();
    EXPECT_EQ(prompter.fileRequests[0].title, "Select VQM Generic File for Import");
    EXPECT_EQ(prompter.fileRequests[0].filter, "VQM Generic File (*.dat);;All Files (*.*)");
    EXPECT_EQ(samples(), 3);

    form.setProgressShownHook({});
    QString shown;
    prompter.onModal = [&](QDialog& dialog) {
        if (auto* list = qobject_cast<frmList*>(&dialog))
            shown = list->text();
        return int(QDialog::Accepted);
    };
    prompter.fileNames = {home.file("in.dat")};
    form.importVqm();
    EXPECT_EQ(shown, "Adding: NEW, 01/02/2004\nAdding: A, 03/05/2004\n");
    EXPECT_EQ(samples(), 5);
    EXPECT_EQ(form.model().rowCount(), 5);
}

} // namespace
