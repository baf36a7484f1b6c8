#pragma once
// The test time dialog: the user picks the approximate length of a test on
// the unit from the choices of link/time_setting.h. The dialog only shows
// and returns the choice; the main window stores it and sends it
// (DownloadTestTime).

#include "link/time_setting.h"

#include <QDialog>
#include <QString>

#include <array>

class QCheckBox;
class QPushButton;
class QRadioButton;

namespace qqc {

class frmTestTime : public QDialog {
    Q_OBJECT
public:
    explicit frmTestTime(QWidget* parent = nullptr);

    // True after "Ok"; false after "Cancel" or any other way of closing.
    bool OkCancel() const { return result_; }
    // The selected choice's total in seconds (50 when none is selected).
    int TotalTestTime() const;
    // Selects the first choice whose total is `seconds`, or the 50-second
    // choice when none is.
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
    int checkedIndex() const;   // -1 when no button is selected

    std::array<QRadioButton*, 5> rbTestTime_{};
    QCheckBox* chkDownloadTestTime_ = nullptr;
    std::array<QPushButton*, 2> cmdOkCancel_{};
    QPushButton* cmdDownloadCal_ = nullptr;
    bool result_ = false;
};

} // namespace qqc
