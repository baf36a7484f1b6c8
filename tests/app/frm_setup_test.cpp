// The setup dialog on its own: the port list, the fluid dielectric checks,
// the buttons and the logo browse.
#include "app/frm_setup.h"
#include "support/scripted_prompter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace qqc;

namespace {

QList<SystemPortEntry> usbPort() { return {{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("USB Serial")}}; }

QStringList entries(const QComboBox* box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

} // namespace

TEST(FrmSetup, PortListChoicesAndStoredDevices)
{
    frmSetup dialog(usbPort());
    EXPECT_EQ(entries(dialog.cboPort()),
              (QStringList{"None", "Comm 1", "Comm 2", "Comm 3", "Comm 4", "/dev/ttyUSB0 - USB Serial"}));

    dialog.setComPort(0);
    EXPECT_EQ(dialog.cboPort()->currentText(), "None");
    EXPECT_EQ(dialog.ComPort(), 0);   // showing "None" is not choosing it
    // A number without an entry gets one, so "Ok" keeps it.
    dialog.setComPort(7);
    EXPECT_EQ(dialog.cboPort()->currentText(), "Comm 7");
    EXPECT_EQ(dialog.ComPort(), 7);

    // Choosing an entry sets port and device; a stored device is kept unplugged.
    const QString usb = "/dev/ttyUSB0 - USB Serial";
    dialog.cboPort()->setCurrentIndex(dialog.cboPort()->findText(usb));
    EXPECT_EQ(dialog.ComPort(), kNamedDevicePort);
    EXPECT_EQ(dialog.Device(), "/dev/ttyUSB0");
    dialog.cboPort()->setCurrentIndex(0);   // "None"
    EXPECT_EQ(dialog.ComPort(), -1);

    dialog.setComPort(kNamedDevicePort);
    dialog.setDevice("/dev/ttyUSB0");
    EXPECT_EQ(dialog.cboPort()->currentText(), usb);
    dialog.setDevice("/dev/ttyACM3");       // not plugged in
    EXPECT_EQ(dialog.Device(), "/dev/ttyACM3");
    EXPECT_EQ(dialog.ComPort(), kNamedDevicePort);
}

TEST(FluidDielectric, AcceptsOnlyNumbersInTheFluidsRange)
{
    // 1.9 and 2.45 are typed into the dialog below.
    const std::tuple<int, const char*, bool> cases[] = {{0, " 2.20 ", true}, {0, "2.4", true},  {0, "1.89", false},
                                                        {0, "2.2x", false},  {0, "", false},    {1, "2.5", true},
                                                        {1, "3.5", true},    {1, "2.4", false}, {1, "3.51", false}};
    for (const auto& [fluid, text, valid] : cases)
        EXPECT_EQ(isValidFluidDielectric(fluid, text), valid) << fluid << " '" << text << "'";
}

TEST(FrmSetup, InvalidDielectricBeepsAndKeepsTheFocus)
{
    test::ScriptedPrompter prompts;
    frmSetup dialog({});
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));

    QLineEdit* fluid220 = dialog.f_dlec(0);
    fluid220->setFocus();
    fluid220->selectAll();
    QTest::keyClicks(fluid220, "2.45");
    dialog.f_Rep(0)->setFocus();
    QTest::qWait(20);
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_TRUE(fluid220->hasFocus());

    fluid220->selectAll();
    QTest::keyClicks(fluid220, "1.9");
    dialog.f_Rep(0)->setFocus();
    QTest::qWait(20);
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_TRUE(dialog.f_Rep(0)->hasFocus());
}

TEST(FrmSetup, OkAndSaveRefuseAnInvalidDielectricUnlessDisabled)
{
    test::ScriptedPrompter prompts;
    frmSetup dialog({});
    dialog.show();
    QSignalSpy save(&dialog, &frmSetup::NewDielectric);
    dialog.setDlec(1, "4.0");
    QTest::mouseClick(dialog.cmdDownloadCal(), Qt::LeftButton);
    QTest::mouseClick(dialog.cmdOkCancel(0), Qt::LeftButton);
    EXPECT_EQ(save.count(), 0);
    EXPECT_FALSE(dialog.OkCancel());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(prompts.beeps, 2);

    dialog.setDlec(1, "3.1");
    QTest::mouseClick(dialog.cmdDownloadCal(), Qt::LeftButton);
    EXPECT_EQ(save.count(), 1);
    EXPECT_TRUE(dialog.isVisible());   // saving does not close the dialog
    QTest::mouseClick(dialog.cmdOkCancel(0), Qt::LeftButton);
    EXPECT_TRUE(dialog.OkCancel());

    // Disabled (no calibration file), an invalid value neither blocks "Ok"
    // nor can be sent.
    frmSetup disabled({});
    disabled.setDlec(0, "9");
    disabled.DlecEnable(false);
    EXPECT_FALSE(disabled.cmdDownloadCal()->isEnabled());
    disabled.show();
    QTest::mouseClick(disabled.cmdOkCancel(0), Qt::LeftButton);
    EXPECT_TRUE(disabled.OkCancel());
    EXPECT_EQ(prompts.beeps, 2);
}

TEST(FrmSetup, LogoBrowseStartsInTheLogosFolderAndTakesTheWholeChosenPath)
{
    test::ScriptedPrompter prompts;
    frmSetup dialog({});
    dialog.setRepLabel(5, "/srv/lab/logos/old.bmp");
    prompts.fileNames = {"/srv/lab/logos/new.jpg", ""};
    QTest::mouseClick(dialog.CmdBrowseFile(), Qt::LeftButton);
    ASSERT_EQ(prompts.fileRequests.size(), 1u);
    EXPECT_EQ(prompts.fileRequests[0].title, "Logo Bitmap");
    EXPECT_EQ(prompts.fileRequests[0].folder, "/srv/lab/logos");
    EXPECT_EQ(prompts.fileRequests[0].filter, "Bitmap File (*.bmp);;JPG file (*.jpg)");
    EXPECT_EQ(dialog.RepLabel(5), "/srv/lab/logos/new.jpg");
    // Cancelling the file dialog keeps the path.
    QTest::mouseClick(dialog.CmdBrowseFile(), Qt::LeftButton);
    EXPECT_EQ(dialog.RepLabel(5), "/srv/lab/logos/new.jpg");

    // The label boxes hold what the settings file keeps, but the logo path is whole.
    const QString longText(80, QLatin1Char('x'));
    dialog.setRepLabel(0, longText);
    EXPECT_EQ(dialog.RepLabel(0).size(), 63);
    dialog.setRepLabel(5, "/" + longText);
    EXPECT_EQ(dialog.RepLabel(5).size(), 81);
}
