#include "sim/scenario.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace qqc::sim {

namespace {

using Kind = ScenarioStep::Kind;

// What a step name takes after it: at most `numbers` numeric arguments, or
// (with `text`) one text argument, the rest of the step for "error".
struct StepForm {
    const char* name;
    Kind kind;
    int numbers;
    bool text = false;
};

const StepForm stepForms[] = {
    {"reset", Kind::Reset, 0},       {"status", Kind::Status, 1},      {"state", Kind::State, 3},
    {"diel", Kind::Diel, 1},         {"firmware", Kind::Firmware, 0, true}, {"error", Kind::Error, 0, true},
    {"cal", Kind::Calibration, 4},   {"test", Kind::Test, 0},          {"tests", Kind::Tests, 2},
    {"wait", Kind::Wait, 1},         {"junk", Kind::Junk, 1},          {"endtag", Kind::EndTag, 0},
    {"truncated", Kind::Truncated, 0}, {"silence", Kind::Silence, 1},  {"unplug", Kind::Unplug, 0},
    {"replug", Kind::Replug, 0},     {"grid", Kind::Grid, 2},          {"nogrid", Kind::NoGrid, 0},
    {"spikes", Kind::Spikes, 2},     {"magnet", Kind::Magnet, 2},      {"exit", Kind::Exit, 0},
};

std::optional<ScenarioStep> parseStep(const QString& step, QString* error)
{
    QStringList args = step.split(QLatin1Char(':'));
    const QString name = args.takeFirst().toLower();
    const auto form = std::find_if(std::begin(stepForms), std::end(stepForms),
                                   [&name](const StepForm& f) { return name == QLatin1String(f.name); });
    const auto reject = [&](const char* why) {
        *error = QStringLiteral("%1 scenario step \"%2\"").arg(QLatin1String(why), step);
        return std::nullopt;
    };
    if (form == std::end(stepForms))
        return reject("unknown");

    ScenarioStep s;
    s.kind = form->kind;
    if (s.kind == Kind::Error) {
        s.text = step.section(QLatin1Char(':'), 1);
        return s;
    }
    if (s.kind == Kind::Grid && args == QStringList{QStringLiteral("unplugged")}) {
        s.kind = Kind::NoGrid;
        return s;
    }
    if (args.size() > (form->text ? 1 : form->numbers))
        return reject("too many arguments in");
    if (form->text) {
        s.text = args.value(0);
        return s;
    }
    for (const QString& a : args) {
        bool ok = false;
        s.numbers << a.toDouble(&ok);
        if (!ok)
            return reject("a number expected in");
    }
    return s;
}

} // namespace

std::optional<QList<ScenarioStep>> parseScenario(const QString& text, QString* error)
{
    QList<ScenarioStep> steps;
    for (const QString& raw : text.split(QRegularExpression(QStringLiteral("[,;]")))) {
        const QString step = raw.trimmed();
        if (step.isEmpty())
            continue;
        const std::optional<ScenarioStep> s = parseStep(step, error);
        if (!s)
            return std::nullopt;
        steps << *s;
    }
    return steps;
}

} // namespace qqc::sim
