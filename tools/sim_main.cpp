// quorvelqc-sim: plays the QuorvelQC unit on a pseudo-terminal (see
// sim/simulator.h, --help and tools/README.md). It prints the device path the
// monitor should open on the first line of standard output, then runs the
// scenario given on the command line until an "exit" step, SIGTERM or SIGINT.

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

    QString error;
    const auto steps = parseScenario(options.scenario.isEmpty() ? defaultScenario : options.scenario, &error);
    if (!steps) {
        std::fprintf(stderr, "quorvelqc-sim: %s\n", error.toLocal8Bit().constData());
        return 2;
    }

    std::signal(SIGTERM, [](int) { Simulator::requestStop(); });
    std::signal(SIGINT, [](int) { Simulator::requestStop(); });
    std::signal(SIGPIPE, SIG_IGN);

    Simulator sim(options);
    if (!sim.plugIn())
        return 1;
    return sim.run(*steps) ? 0 : 2;
}
