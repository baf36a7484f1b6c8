#include "views/ui/exchange_progress.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QProgressDialog>

namespace qqc {

ExchangeProgressWindow::ExchangeProgressWindow(QWidget* parent, QString label, int delayMs,
                                               std::function<void(QProgressDialog&)> onShown)
    : parent_(parent), label_(std::move(label)), delayMs_(delayMs), onShown_(std::move(onShown))
{
    clock_.start();
}

ExchangeProgressWindow::~ExchangeProgressWindow() = default;

ExchangeProgress ExchangeProgressWindow::callback()
{
    return [this](qint64 done, qint64 total) { return step(done, total); };
}

bool ExchangeProgressWindow::step(qint64 done, qint64 total)
{
    if (!dialog_) {
        if (clock_.elapsed() < delayMs_)
            return true;
        dialog_ = std::make_unique<QProgressDialog>(parent_);
        // The bar is driven directly: QProgressDialog::setValue would run
        // every pending event of a modal dialog, the port's included.
        bar_ = new QProgressBar;
        dialog_->setBar(bar_);
        dialog_->setLabelText(label_);
        dialog_->setCancelButtonText(QStringLiteral("Cancel"));
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->setAutoReset(false);
        dialog_->setAutoClose(false);
        bar_->setRange(0, 1000);
        dialog_->show();
        shown_ = true;
        if (onShown_)
            onShown_(*dialog_);
    }
    bar_->setValue(total > 0 ? int(done * 1000 / total) : 0);
    QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
    return !dialog_->wasCanceled();
}

} // namespace qqc
