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
    // Start-up step 8: opens the configured port; on failure shows
    // "Error opening comm port: " + the system's text and returns false.
    bool openSerialLink();
    void closeSerialLink();

    // --- database: open/create, sample store, assignments (monitor_store.cpp) ---
    // Start-up step 14: reopens the last database or falls back to the open
    // or create commands.
    void openDatabaseAtStartup();
    void closeDatabase();

    // --- calibration and recalculation (monitor_calibration.cpp) ---

signals:

private:
};

} // namespace qqc
