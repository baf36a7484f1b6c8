#pragma once
// The steps of the simulator's --scenario option (tools/README.md lists
// them). The whole scenario is read and checked before anything runs, so a
// mistyped step is reported at start-up, not after the steps before it.

#include <QList>
#include <QString>

#include <optional>

namespace qqc::sim {

struct ScenarioStep {
    enum class Kind {
        Reset, Status, State, Diel, Firmware, Error, Calibration, Test, Tests, Wait, Junk,
        EndTag, Truncated, Silence, Unplug, Replug, Grid, NoGrid, Spikes, Magnet, Exit
    };

    Kind kind = Kind::Exit;
    QList<double> numbers;   // the numeric arguments given, in order
    QString text;            // the argument of "error" and "firmware" (empty: none given)

    // The i-th numeric argument, or `fallback` when the step leaves it out.
    double number(int i, double fallback = 0) const { return i < numbers.size() ? numbers[i] : fallback; }
};

// The scenario run when none is given.
inline const QString defaultScenario = QStringLiteral("firmware,status:252");

// Reads steps separated by "," or ";" ("name:arg:arg", names in any case,
// empty steps skipped). An unknown name, an argument too many or one that is
// not a number gives no steps and `error` naming the step.
std::optional<QList<ScenarioStep>> parseScenario(const QString& text, QString* error);

} // namespace qqc::sim
