#pragma once
// The progress window of an exchange run: shown once the run has taken
// `delayMs`, with a Cancel button. It hands the run a progress callback that
// keeps the window painted and answers Cancel. While the run goes, events
// are processed without socket notifiers where the event loop honours that
// (the glib loop does not); a test the unit sends meanwhile is kept by the
// monitor's spool until the run's transaction has ended (Monitor::storeEntry).

#include "views/exchange.h"

#include <QElapsedTimer>
#include <QString>

#include <functional>
#include <memory>

class QProgressBar;
class QProgressDialog;
class QWidget;

namespace qqc {

class ExchangeProgressWindow {
public:
    ExchangeProgressWindow(QWidget* parent, QString label, int delayMs,
                           std::function<void(QProgressDialog&)> onShown = {});
    ~ExchangeProgressWindow();
    ExchangeProgress callback();
    bool wasShown() const { return shown_; }

private:
    bool step(qint64 done, qint64 total);

    QWidget* parent_;
    QString label_;
    int delayMs_;
    std::function<void(QProgressDialog&)> onShown_;
    QElapsedTimer clock_;
    std::unique_ptr<QProgressDialog> dialog_;
    QProgressBar* bar_ = nullptr;
    bool shown_ = false;
};

} // namespace qqc
