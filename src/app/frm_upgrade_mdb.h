#pragma once
// The upgrade window: shown modally (through the prompter) when the
// database to open has an older layout. "Start Update" runs the upgrade
// (db/upgrade.h) on a worker thread, so the window, the serial link and the
// spool keep running; the two bars follow the table's records and the
// steps. "Cancel" stops it within a fraction of a second, the database as it
// was. The caller reads UpgradeError (only the refusal for lack of disk
// space sets it; the program then ends) and upgraded().

#include "app/monitor.h"
#include "db/upgrade.h"

#include <QDialog>
#include <QMutex>
#include <QString>

#include <atomic>
#include <memory>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QThread;
class QTimer;

namespace qqc {

class frmUpgradeMdb : public QDialog {
    Q_OBJECT
public:
    explicit frmUpgradeMdb(QWidget* parent = nullptr);
    ~frmUpgradeMdb() override;

    // Set by the caller before showing.
    void setTemplateDB(const QString& path) { templateDb_ = path; }
    // The database path; fills both path fields (the backup's: backupPathFor).
    void setDB(const QString& path);
    void setDbDir(const QString& folder) { dbDir_ = folder; }
    // Converts a Jet database into `destination` instead (db/jet_conversion.h);
    // the texts say so. The Jet file is only read.
    void setJetConversion(const QString& jetPath, const QString& destination);
    // Read by the caller afterwards.
    bool UpgradeError() const { return upgradeError_; }
    bool upgraded() const { return upgraded_; }
    // "Start Update" was pressed at least once.
    bool started() const { return started_; }
    const db::UpgradeResult& upgradeResult() const { return result_; }

    // Tests: the free-space figure instead of the folder's.
    void setFreeSpace(std::function<std::optional<qint64>(const QString&)> freeSpace) { freeSpace_ = std::move(freeSpace); }
    bool running() const { return worker_ != nullptr; }

    void cmdUpgrade_Click();
    void cmdCancel_Click();

    QLineEdit* tbDBName[2] = {};
    QLineEdit* tbStatus = nullptr;
    QProgressBar* Pbar[2] = {};
    QPushButton* cmdUpgrade = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    void reject() override;

private:
    void showProgress();
    void finished();

    void startJetConversion();

    QString templateDb_, db_, dbDir_;
    QLabel* text_ = nullptr;
    QString jetPath_, jetError_;
    bool upgradeError_ = false;
    bool upgraded_ = false;
    bool started_ = false;
    bool closeWhenStopped_ = false;
    std::function<std::optional<qint64>(const QString&)> freeSpace_;
    db::UpgradeResult result_;
    QThread* worker_ = nullptr;
    QTimer* refresh_ = nullptr;
    std::atomic<bool> cancel_{false};
    QMutex mutex_;
    db::UpgradeProgress latest_;
    bool fresh_ = false;
};

// The Monitor's upgrader: frmUpgradeMdb shown modally through the prompter.
// `log` gets the summary of a finished upgrade and why one did not run.
Monitor::DatabaseUpgrader upgradeThroughWindow(QWidget* parent, std::function<void(const QString&)> log);

} // namespace qqc
