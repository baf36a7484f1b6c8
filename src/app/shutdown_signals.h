#pragma once
// Turns SIGTERM and SIGINT into a Qt signal on the user-interface thread, so
// they shut the program down exactly like "File" > "Exit". The handler only
// writes one byte to a socket pair (async-signal-safe); a QSocketNotifier
// reads it in the event loop.

#include <QObject>

class QSocketNotifier;

namespace qqc {

class ShutdownSignals : public QObject {
    Q_OBJECT
public:
    explicit ShutdownSignals(QObject* parent = nullptr);
    ~ShutdownSignals() override;

    // Installs the handlers; false when the platform has none to install.
    bool install();

signals:
    void shutdownRequested(int signalNumber);

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace qqc
