#include "link/frm_test_time.h"

#include "link/link_ops.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qqc {

namespace {

// The leading whole number of a caption ("200 seconds" -> 200), 0 when none.
int leadingNumber(const QString& caption)
{
    const QString first = caption.section(QLatin1Char(' '), 0, 0);
    bool ok = false;
    const int value = first.toInt(&ok);
    return ok ? value : 0;
}

} // namespace

int DownloadTestTime(SerialPort& port, int settingByte)
{
    int acknowledged = 0;
    for (const int byte : {int('J'), settingByte, int('S')})
        if (SendCommandByte(port, std::uint8_t(byte)) == LinkStatus::Ok)
            ++acknowledged;
    return acknowledged;
}

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
        button->setProperty("tag", choice.settingByte);
        frameLayout->addWidget(button);
        rbTestTime_[i] = button;
    }
    rbTestTime_[0]->setChecked(true);

    chkDownloadTestTime_ = new QCheckBox(QStringLiteral("Download Test Time when Swiftcheck starts"), this);
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

int frmTestTime::TotalTestTime() const
{
    for (const auto* button : rbTestTime_)
        if (button->isChecked())
            return leadingNumber(button->text());
    return 50;
}

void frmTestTime::setTotalTestTime(int seconds)
{
    for (auto* button : rbTestTime_) {
        if (leadingNumber(button->text()) == seconds) {
            button->setChecked(true);
            return;
        }
    }
    rbTestTime_[0]->setChecked(true);
}

int frmTestTime::TestTimeIncrement() const
{
    for (const auto* button : rbTestTime_)
        if (button->isChecked())
            return button->property("tag").toInt();
    return 1;
}

int frmTestTime::TestTimeDownload() const { return chkDownloadTestTime_->isChecked() ? 1 : 0; }

void frmTestTime::setTestTimeDownload(int value) { chkDownloadTestTime_->setChecked(value != 0); }

} // namespace qqc
