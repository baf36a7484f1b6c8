#pragma once
// Monitor: the main window's logic without any widget. It owns everything the
// program shares (settings, error reporter, receive buffer and serial link,
// the open database, the calibration record, the current sample) and handles
// the events the child windows and the unit raise. MDIForm8700 owns one
// Monitor and the child windows, and wires window events to these handlers;
// tests drive a Monitor directly with a scripted Prompter.
//
// Each subsystem keeps its handlers in its own file (monitor_<topic>.cpp) and
// its members in its own section below, so the file stays readable.

#include <QObject>

namespace qqc {

class Monitor : public QObject {
    Q_OBJECT
public:
    explicit Monitor(QObject* parent = nullptr);
    ~Monitor() override;

    // --- shell: settings, error reporter, start-up state (monitor.cpp) ---

    // --- link: receive buffer, frames, unit messages (monitor_link.cpp) ---

    // --- database: open/create, sample store, assignments (monitor_store.cpp) ---

    // --- calibration and recalculation (monitor_calibration.cpp) ---

signals:

private:
};

} // namespace qqc
