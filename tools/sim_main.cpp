// quorvelqc-sim: plays the QuorvelQC unit on a pseudo-terminal (see
// sim/simulator.h, --help and tools/README.md). It prints the device path the
// monitor should open on the first line of standard output, then runs the
// scenario given on the command line until an "exit" step, SIGTERM or SIGINT,
// or plays back the line captures given with --replay.

#include "link/capture_format.h"
#include "sim/replay_plan.h"
#include "sim/scenario.h"
#include "sim/sim_options.h"
#include "sim/simulator.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char** argv)
{
    using namespace qqc::sim;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvelqc-sim"));
    const SimOptions options = readOptions(app);

    std::signal(SIGTERM, [](int) { Simulator::requestStop(); });
    std::signal(SIGINT, [](int) { Simulator::requestStop(); });
    std::signal(SIGPIPE, SIG_IGN);

    QString error;
    if (!options.replay.isEmpty()) {
        QList<qqc::CaptureEntry> entries;
        for (const QString& file : options.replay) {
            qqc::CaptureFile capture;
            if (!qqc::readCaptureFile(file, capture, &error)) {
                std::fprintf(stderr, "quorvelqc-sim: %s\n", error.toLocal8Bit().constData());
                return 2;
            }
            if (!capture.badLines.isEmpty())
                std::fprintf(stderr, "quorvelqc-sim: %s: %d lines not in the capture format skipped (first: line %d)\n",
                             file.toLocal8Bit().constData(), int(capture.badLines.size()), capture.badLines.first());
            entries += capture.entries;
        }
        ReplayPlan plan(entries, options.speed, options.stallMs);
        if (plan.finished()) {
            std::fprintf(stderr, "quorvelqc-sim: no bytes to replay in %s\n",
                         options.replay.join(QStringLiteral(", ")).toLocal8Bit().constData());
            return 2;
        }
        Simulator sim(options);
        if (!sim.plugIn())
            return 1;
        sim.replay(plan);
        return 0;
    }

    const auto steps = parseScenario(options.scenario.isEmpty() ? defaultScenario : options.scenario, &error);
    if (!steps) {
        std::fprintf(stderr, "quorvelqc-sim: %s\n", error.toLocal8Bit().constData());
        return 2;
    }

    Simulator sim(options);
    if (!sim.plugIn())
        return 1;
    return sim.run(*steps) ? 0 : 2;
}
