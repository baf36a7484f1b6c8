// The upgrade window converting a Jet database: the same window, bars and
// Cancel, the copy through db/jet_conversion.h.
#include "app/jet_conversion_window.h"

#include "app/frm_upgrade_mdb.h"
#include "db/jet_conversion.h"
#include "util/common.h"
#include "util/ui/dialog_prompter.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>

namespace qqc {

void frmUpgradeMdb::setJetConversion(const QString& jetPath, const QString& destination)
{
    jetPath_ = jetPath;
    db_ = destination;
    text_->setText(QStringLiteral("This Jet database is converted into a new database, which only this program "
                                  "reads.  The Jet file itself is not changed."));
    tbDBName[0]->setText(jetPath);
    tbDBName[1]->setText(destination);
    if (auto* form = findChild<QFormLayout*>())
        if (auto* label = qobject_cast<QLabel*>(form->labelForField(tbDBName[1])))
            label->setText(QStringLiteral("New database:"));
}

void frmUpgradeMdb::startJetConversion()
{
    jetError_.clear();
    db::JetConversionRequest request;
    request.jetPath = jetPath_;
    request.destination = db_;
    request.templatePath = templateDb_;
    request.freeSpace = freeSpace_;
    request.cancelRequested = [this] { return cancel_.load(); };
    request.progress = [this](const db::UpgradeProgress& p) {
        QMutexLocker lock(&mutex_);
        latest_ = p;
        fresh_ = true;
    };
    // Asked on the window's thread while the worker waits for the answer.
    request.acceptShortCounts = [this](const std::vector<db::JetTableRows>& tables) {
        bool accept = false;
        QMetaObject::invokeMethod(
            this,
            [&] {
                accept = MessageBoxItems(QStringLiteral(" Fewer rows were read than the Jet file's tables declare: | $ "
                                                        "| A file that was not closed cleanly can carry a stale count. "
                                                        "| Convert the rows that were read? "),
                                         MsgStyle::YesNo | MsgStyle::Exclamation, {db::shortCountText(tables)})
                         == Answer::Yes;
            },
            Qt::BlockingQueuedConnection);
        return accept;
    };
    worker_ = QThread::create([this, request] {
        const db::JetConversionResult r = db::convertJetDatabase(request);
        result_ = r.upgrade;
        switch (r.outcome) {
        case db::JetConversionResult::Done:
            result_.outcome = db::UpgradeResult::Done;
            break;
        case db::JetConversionResult::Cancelled:
            result_.outcome = db::UpgradeResult::Cancelled;
            break;
        case db::JetConversionResult::NoSpace:
            result_.outcome = db::UpgradeResult::NoSpace;
            break;
        default:
            result_.outcome = db::UpgradeResult::Failed;
            jetError_ = r.error;
            break;
        }
    });
    connect(worker_, &QThread::finished, this, &frmUpgradeMdb::finished);
    refresh_->start();
    worker_->start();
}

Monitor::JetConverter convertThroughWindow(QWidget* parent, std::function<void(const QString&)> log)
{
    return [parent, log](const QString& templatePath, const QString& jetPath, const QString& destination) {
        frmUpgradeMdb form(parent);
        form.setTemplateDB(templatePath);
        form.setJetConversion(jetPath, destination);
        runModal(form);
        if (form.UpgradeError()) {
            log(QStringLiteral("Conversion of %1: not enough disk space").arg(jetPath));
            return Monitor::UpgradeOutcome::EndProgram;
        }
        if (form.upgraded()) {
            log(QStringLiteral("Converted %1 (layout %2) into %3")
                    .arg(jetPath)
                    .arg(form.upgradeResult().summary.sourceVersion)
                    .arg(destination));
            for (const QString& line : form.upgradeResult().summary.lines())
                log(QStringLiteral("  ") + line);
            return Monitor::UpgradeOutcome::Upgraded;
        }
        log(QStringLiteral("Conversion of %1 not done; the Jet file is unchanged").arg(jetPath));
        if (!form.started() || form.upgradeResult().outcome == db::UpgradeResult::Cancelled)
            MessageBoxEx(QStringLiteral(" $ was not converted and stays as it was. | It is offered the conversion "
                                        "again when it is next opened. "),
                         MsgStyle::Information, jetPath, QStringLiteral("Database Selection"));
        return Monitor::UpgradeOutcome::NotUpgraded;
    };
}

} // namespace qqc
