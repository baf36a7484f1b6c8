#pragma once
// The simulator program's unit: runs a scenario on a pseudo-terminal. Every
// byte the PC sends is answered through a CommandResponder; the steps send
// status and state messages, live readings, firmware version, errors,
// calibrations and whole tests built from the unit model, with faults on
// request. Bytes go out at the line's real rate (about 1.04 ms a byte at
// 9600 baud) unless the options say fast; every event goes to the EventLog.
// With --replay it plays a capture of a real line instead (simulator_replay.cpp).

#include "sim/command_responder.h"
#include "sim/event_log.h"
#include "sim/pty.h"
#include "sim/replay_plan.h"
#include "sim/scenario.h"
#include "sim/sim_options.h"

#include <QByteArray>
#include <QList>

namespace qqc::sim {

class Simulator {
public:
    explicit Simulator(SimOptions options);
    ~Simulator();   // removes the --link symlink

    // Opens a new pty, points the --link symlink at it and prints its device
    // path as a line on standard output. Errors go to standard error.
    bool plugIn();
    // Runs `steps`, then answers commands until stopped (requestStop() or an
    // "exit" step); false when a step fails.
    bool run(const QList<ScenarioStep>& steps);
    // Plays a line capture back (sim/replay_plan.h) once the monitor has
    // opened the line, reports on standard error what went differently, then
    // keeps the line open, answering nothing, until stopped.
    void replay(ReplayPlan& plan);
    // Asks the running simulator to end; safe in a signal handler.
    static void requestStop();

private:
    enum class TestKind { Whole, EndTagInPayload, Truncated };

    bool openLine();
    void printDevice();
    bool runStep(const ScenarioStep& step);
    void runTest(TestKind kind);
    void send(const QByteArray& frameBytes);
    void sendRaw(const QByteArray& bytes);
    void writeByte(quint8 b);
    void idle(int ms);
    void serviceInput(int waitMs);
    void noteConnection();
    void waitForMonitor();
    quint32 nextRandom();
    static bool stopping();

    SimOptions opt_;
    CommandResponder responder_;
    EventLog log_;
    Pty pty_;
    bool connected_ = false;
    bool exit_ = false;
    int tests_ = 0;
    quint32 random_ = 12345;
};

} // namespace qqc::sim
