#include "app/frm_upgrade_mdb.h"

#include "db/jet_conversion.h"
#include "util/common.h"
#include "util/std_error.h"
#include "util/ui/dialog_prompter.h"

#include <QApplication>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <climits>

namespace qqc {

frmUpgradeMdb::frmUpgradeMdb(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Form1"));
    auto* layout = new QVBoxLayout(this);
    text_ = new QLabel(
        QStringLiteral("Database must be updated to latest version.  Original will be backed up and compressed."), this);
    text_->setWordWrap(true);
    layout->addWidget(text_);
    auto* form = new QFormLayout;
    for (int i = 0; i < 2; ++i) {
        tbDBName[i] = new QLineEdit(this);
        tbDBName[i]->setReadOnly(true);
        tbDBName[i]->setMinimumWidth(420);
    }
    tbStatus = new QLineEdit(this);
    tbStatus->setReadOnly(true);
    for (auto*& bar : Pbar) {
        bar = new QProgressBar(this);
        bar->setRange(0, 1);
        bar->setValue(0);
    }
    form->addRow(QStringLiteral("Database:"), tbDBName[0]);
    form->addRow(QStringLiteral("Backup:"), tbDBName[1]);
    form->addRow(QStringLiteral("Status:"), tbStatus);
    form->addRow(QStringLiteral("Table Progress:"), Pbar[0]);
    form->addRow(QStringLiteral("Overall Progress:"), Pbar[1]);
    layout->addLayout(form);
    auto* buttons = new QHBoxLayout;
    cmdUpgrade = new QPushButton(QStringLiteral("Start Update"), this);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    buttons->addStretch();
    buttons->addWidget(cmdUpgrade);
    buttons->addWidget(cmdCancel);
    layout->addLayout(buttons);
    connect(cmdUpgrade, &QPushButton::clicked, this, &frmUpgradeMdb::cmdUpgrade_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmUpgradeMdb::cmdCancel_Click);

    refresh_ = new QTimer(this);
    refresh_->setInterval(50);
    connect(refresh_, &QTimer::timeout, this, &frmUpgradeMdb::showProgress);

    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

frmUpgradeMdb::~frmUpgradeMdb()
{
    // A window closed under a running upgrade cancels it and waits: the
    // worker reports into this object.
    if (worker_) {
        cancel_ = true;
        worker_->wait();
        delete worker_;
        QApplication::restoreOverrideCursor();
    }
}

void frmUpgradeMdb::setDB(const QString& path)
{
    db_ = path;
    tbDBName[0]->setText(path);
    tbDBName[1]->setText(db::backupPathFor(path));
}

void frmUpgradeMdb::cmdUpgrade_Click()
{
    if (worker_)
        return;
    upgradeError_ = false;
    started_ = true;
    cancel_ = false;
    cmdUpgrade->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!jetPath_.isEmpty()) {
        startJetConversion();
        return;
    }

    db::UpgradeRequest request;
    request.source = request.destination = db_;
    request.templatePath = templateDb_;
    request.freeSpace = freeSpace_;
    request.cancelRequested = [this] { return cancel_.load(); };
    request.progress = [this](const db::UpgradeProgress& p) {
        QMutexLocker lock(&mutex_);
        latest_ = p;
        fresh_ = true;
    };
    worker_ = QThread::create([this, request] { result_ = db::upgradeDatabase(request); });
    connect(worker_, &QThread::finished, this, &frmUpgradeMdb::finished);
    refresh_->start();
    worker_->start();
}

void frmUpgradeMdb::cmdCancel_Click()
{
    if (!worker_) {
        QDialog::reject();
        return;
    }
    // The worker stops at its next check; the window closes once it has
    // cleaned up.
    cancel_ = true;
    closeWhenStopped_ = true;
    cmdCancel->setEnabled(false);
    tbStatus->setText(QStringLiteral("Cancelling."));
}

void frmUpgradeMdb::reject()
{
    // Escape and the close button act as Cancel.
    cmdCancel_Click();
}

void frmUpgradeMdb::showProgress()
{
    db::UpgradeProgress p;
    {
        QMutexLocker lock(&mutex_);
        if (!fresh_)
            return;
        p = latest_;
        fresh_ = false;
    }
    if (!cancel_)
        tbStatus->setText(p.status);
    Pbar[0]->setRange(0, int(std::max<qint64>(1, std::min<qint64>(p.records, INT_MAX))));
    Pbar[0]->setValue(int(std::min<qint64>(p.record, INT_MAX)));
    Pbar[1]->setRange(0, std::max(1, p.tablesTotal));
    Pbar[1]->setValue(std::min(p.tablesDone, std::max(1, p.tablesTotal)));
}

void frmUpgradeMdb::finished()
{
    refresh_->stop();
    showProgress();
    worker_->wait();
    delete worker_;
    worker_ = nullptr;
    QApplication::restoreOverrideCursor();
    cmdUpgrade->setEnabled(true);
    cmdCancel->setEnabled(true);
    const QString backup = result_.summary.backupPath.isEmpty()
                               ? QString()
                               : QStringLiteral(" The backup is %1.").arg(result_.summary.backupPath);
    switch (result_.outcome) {
    case db::UpgradeResult::Done:
        upgraded_ = true;
        hide();
        accept();
        return;
    case db::UpgradeResult::NoSpace:
        MessageBoxItems(QStringLiteral("Insufficient disk space to update database.|Required Disk space: $ Kb|"
                                       "Free Disk Space: $ Kb.||Program will exit."),
                        MsgStyle::Critical,
                        {QString::number(result_.requiredBytes / 1024),
                         QString::number(std::max<qint64>(0, result_.freeBytes) / 1024)});
        upgradeError_ = true;
        hide();
        QDialog::reject();
        return;
    case db::UpgradeResult::Cancelled:
        tbStatus->setText(QStringLiteral("Cancelled; the database is unchanged.") + backup);
        if (closeWhenStopped_) {
            hide();
            QDialog::reject();
        }
        return;
    case db::UpgradeResult::Failed:
        if (!jetPath_.isEmpty()) {
            tbStatus->setText(QStringLiteral("Not converted; the Jet file is unchanged."));
            closeWhenStopped_ = false;
            MessageBoxItems(QStringLiteral("$"), MsgStyle::Exclamation, {jetError_});
            return;
        }
        tbStatus->setText(QStringLiteral("Failed; the database is unchanged.") + backup);
        closeWhenStopped_ = false;
        ShowRoutineError(result_.errorNumber, result_.error, QStringLiteral("cmdUpgrade"));
        return;
    }
}

Monitor::DatabaseUpgrader upgradeThroughWindow(QWidget* parent, std::function<void(const QString&)> log)
{
    return [parent, log](const QString& templatePath, const QString& dbPath, const QString& dbFolder) {
        frmUpgradeMdb form(parent);
        form.setTemplateDB(templatePath);
        form.setDB(dbPath);
        form.setDbDir(dbFolder);
        runModal(form);
        if (form.UpgradeError()) {
            log(QStringLiteral("Upgrade of %1: not enough disk space (%2 bytes needed, %3 free)")
                    .arg(dbPath)
                    .arg(form.upgradeResult().requiredBytes)
                    .arg(form.upgradeResult().freeBytes));
            return Monitor::UpgradeOutcome::EndProgram;
        }
        if (form.upgraded()) {
            log(QStringLiteral("Upgraded %1 from layout %2").arg(dbPath).arg(form.upgradeResult().summary.sourceVersion));
            for (const QString& line : form.upgradeResult().summary.lines())
                log(QStringLiteral("  ") + line);
            return Monitor::UpgradeOutcome::Upgraded;
        }
        // Cancelled, failed, or never started (an unattended station answers
        // the window at once): the file stays as it was until the next start.
        log(QStringLiteral("Upgrade of %1 not done; the database is unchanged").arg(dbPath));
        if (!form.started() || form.upgradeResult().outcome == db::UpgradeResult::Cancelled)
            MessageBoxEx(QStringLiteral(" $ was not upgraded and stays as it was. | It is offered the upgrade again "
                                        "when it is next opened. "),
                         MsgStyle::Information, dbPath, QStringLiteral("Database Selection"));
        return Monitor::UpgradeOutcome::NotUpgraded;
    };
}

} // namespace qqc
