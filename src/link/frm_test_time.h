#pragma once
// The test time dialog: the user picks the approximate length of a test on
// the unit. Each choice carries the setting byte the unit understands; the
// dialog only shows and returns the choice, the main window stores it and
// sends it (DownloadTestTime).

#include <QDialog>
#include <QString>
#include <array>

class QCheckBox;
class QPushButton;
class QRadioButton;

namespace qqc {

class SerialPort;

struct TestTimeChoice {
    int totalSeconds;   // shown first in the caption, used for the count-down
    int settingByte;    // sent to the unit after "J"
};

// The five choices in button order ("50 seconds" .. "700 seconds").
constexpr std::array<TestTimeChoice, 5> kTestTimeChoices{{{50, 1}, {100, 5}, {200, 10}, {500, 28}, {700, 40}}};

// Sends a test time setting to the unit: "J" (answered "T"), the setting
// byte (answered byte + 10), then "S" (answered "]"). Each byte goes out
// whatever became of the one before; failures are not reported, so a silent
// unit costs two seconds a byte and nothing else. Returns how many of the
// three bytes were acknowledged.
int DownloadTestTime(SerialPort& port, int settingByte);

class frmTestTime : public QDialog {
    Q_OBJECT
public:
    explicit frmTestTime(QWidget* parent = nullptr);

    // True after "Ok"; false after "Cancel" or any other way of closing.
    bool OkCancel() const { return result_; }
    // The first word of the selected button's caption (50 when none is).
    int TotalTestTime() const;
    // Selects the first button whose caption starts with `seconds`, or the
    // 50-second button when none does.
    void setTotalTestTime(int seconds);
    // The selected button's setting byte (1 when none is selected).
    int TestTimeIncrement() const;
    int TestTimeDownload() const;
    void setTestTimeDownload(int value);

    QRadioButton* rbTestTime(int index) const { return rbTestTime_.at(size_t(index)); }
    QCheckBox* chkDownloadTestTime() const { return chkDownloadTestTime_; }
    QPushButton* cmdOkCancel(int index) const { return cmdOkCancel_.at(size_t(index)); }
    QPushButton* cmdDownloadCal() const { return cmdDownloadCal_; }

signals:
    // "Save && Download": store the choice and send it at once; the dialog stays open.
    void NewTestTime();

private:
    std::array<QRadioButton*, 5> rbTestTime_{};
    QCheckBox* chkDownloadTestTime_ = nullptr;
    std::array<QPushButton*, 2> cmdOkCancel_{};
    QPushButton* cmdDownloadCal_ = nullptr;
    bool result_ = false;
};

} // namespace qqc
