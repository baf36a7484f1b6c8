#include "link/ui/frm_test_time.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qqc {

frmTestTime::frmTestTime(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmTestTime"));
    setWindowTitle(QStringLiteral("Test Time"));

    auto* frame = new QGroupBox(QStringLiteral("Approximate Test Time"), this);
    auto* frameLayout = new QVBoxLayout(frame);
    for (size_t i = 0; i < rbTestTime_.size(); ++i) {
        const TestTimeChoice& choice = kTestTimeChoices[i];
        auto* button = new QRadioButton(QStringLiteral("%1 seconds").arg(choice.totalSeconds), frame);
        button->setObjectName(QStringLiteral("rbTestTime%1").arg(i));
        frameLayout->addWidget(button);
        rbTestTime_[i] = button;
    }
    rbTestTime_[0]->setChecked(true);

    chkDownloadTestTime_ = new QCheckBox(QStringLiteral("Download Test Time when QuorvelQC starts"), this);
    chkDownloadTestTime_->setObjectName(QStringLiteral("chkDownloadTestTime"));

    cmdDownloadCal_ = new QPushButton(QStringLiteral("Save && Download"), this);
    cmdDownloadCal_->setObjectName(QStringLiteral("cmdDownloadCal"));
    cmdDownloadCal_->setAutoDefault(false);
    cmdOkCancel_[0] = new QPushButton(QStringLiteral("Ok"), this);
    cmdOkCancel_[1] = new QPushButton(QStringLiteral("Cancel"), this);
    for (size_t i = 0; i < cmdOkCancel_.size(); ++i) {
        cmdOkCancel_[i]->setObjectName(QStringLiteral("cmdOkCancel%1").arg(i));
        cmdOkCancel_[i]->setAutoDefault(false);
    }

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdDownloadCal_);
    buttons->addStretch();
    buttons->addWidget(cmdOkCancel_[0]);
    buttons->addWidget(cmdOkCancel_[1]);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(chkDownloadTestTime_);
    layout->addLayout(buttons);

    connect(cmdOkCancel_[0], &QPushButton::clicked, this, [this] {
        result_ = true;
        accept();
    });
    connect(cmdOkCancel_[1], &QPushButton::clicked, this, [this] {
        result_ = false;
        reject();
    });
    connect(cmdDownloadCal_, &QPushButton::clicked, this, &frmTestTime::NewTestTime);
}

int frmTestTime::checkedIndex() const
{
    for (size_t i = 0; i < rbTestTime_.size(); ++i)
        if (rbTestTime_[i]->isChecked())
            return int(i);
    return -1;
}

int frmTestTime::TotalTestTime() const { return testTimeChoice(checkedIndex()).totalSeconds; }

void frmTestTime::setTotalTestTime(int seconds) { rbTestTime_[size_t(testTimeChoiceIndex(seconds))]->setChecked(true); }

int frmTestTime::TestTimeIncrement() const { return testTimeChoice(checkedIndex()).settingByte; }

int frmTestTime::TestTimeDownload() const { return chkDownloadTestTime_->isChecked() ? 1 : 0; }

void frmTestTime::setTestTimeDownload(int value) { chkDownloadTestTime_->setChecked(value != 0); }

} // namespace qqc
