#pragma once
// The simulator program's command line (tools/README.md lists the options).

#include "sim/unit_model.h"

#include <QString>
#include <QStringList>

class QCoreApplication;

namespace qqc::sim {

struct SimOptions {
    bool fast = false;   // send as fast as the pty takes bytes, not at 9600 baud
    bool wait = true;    // start the scenario when the monitor has opened the line
    int tickMs = 1000;   // between the count-down steps of a test
    OilSample oil;
    Calibration cal;
    QString link;        // a symlink to point at the pty (empty: none)
    QString recordPath;  // the event record file (empty: none)
    QString firmware = QStringLiteral("3.1.0");
    quint32 seed = 1;
    QString scenario;    // the --scenario text (empty: none given)
    QStringList replay;  // line captures to play back, in order (--replay)
    double speed = 1;    // the replay's gaps are divided by this
    int stallMs = 5000;  // how long the replay waits for a recorded command
};

// Reads the command line of `app`; --help and a wrong option end the program
// with the usage text.
SimOptions readOptions(const QCoreApplication& app);

} // namespace qqc::sim
