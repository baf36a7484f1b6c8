#include "sim/sim_options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace qqc::sim {

namespace {

const char* const helpText = R"(Scenario steps (separated by "," or ";"), run in order:
  reset                 status 254: the unit was reset (the monitor answers with its downloads)
  status:N              status message "K" with code N (0..50 count-down, 250..253)
  state:S[:V[:C]]       procedure state "S" with variant V and count C
  diel:N                live dielectric reading "F" (dielectric x 100)
  firmware:M.m.r        firmware version "I", e.g. firmware:3.1.0
  error:TEXT            unit error text "X"
  cal:F220:F300:D220:D300   a new calibration "C" (also becomes the model's calibration)
  test                  one whole test: states, count-down, "D" test record, results
  tests:N:SECONDS       N tests, one every SECONDS (N = 0: until stopped)
  wait:SECONDS          answer commands only, for SECONDS (fractions allowed)
  junk:N                N junk bytes (never a tag)
  endtag                a test record whose payload holds the end tag "<E>"
  truncated             the first part of a test record, then nothing (a cut line)
  silence:SECONDS       send nothing and answer nothing for SECONDS
  unplug                close the unit's side of the pty (an unplugged cable)
  replug                a new pty; the --link symlink points at it again
  grid:FREQ[:TEMP]      the frequency read "D" reports FREQ counts and temperature byte TEMP
                        (defaults 10000 and 100), with a grid plugged in
  grid:unplugged        no grid plugged in: the frequency read reports high byte 254
  nogrid                the same as grid:unplugged
  spikes:N[:SIZE]       every N-th frequency read jumps by SIZE counts (default 300; N = 0: none)
  magnet:D1:D2          counts lost with the magnet at positions 1 and 2 (defaults 120, 80)
  exit                  end the program
Without --scenario the unit reports firmware 3.1.0 and "Available for Test",
then answers commands until it is stopped. Unless --no-wait is given the
scenario starts when the monitor has opened the line (set it to 9600 baud).

Record file (--record): one line per event, "<ms> <EVENT> <details>":
  RX 4A             a byte received from the PC (hex)
  TX K 1            a frame sent: code and payload length
  TXD <table>=...   the tables of a sent test record, in their text form
  CAL f220,f300,d220,d300   a calibration download received
  TESTTIME n        a test time setting byte received
  CONNECTED, UNPLUG, REPLUG <device>, SILENCE s

Replay (--replay FILE, instead of a scenario): plays what the monitor received
in a line capture (quorvelqc --capture) with its timing divided by --speed, and
answers the monitor's commands with what followed them in the capture. Give
FILE.1 before FILE to play a rotated capture whole.)";

[[noreturn]] void optionError(const char* text)
{
    std::fprintf(stderr, "quorvelqc-sim: %s\n", text);
    std::exit(2);
}

} // namespace

SimOptions readOptions(const QCoreApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Plays the QuorvelQC unit on a pseudo-terminal.\n\n")
                                     + QString::fromLatin1(helpText));
    parser.addHelpOption();
    const QCommandLineOption linkOpt(QStringLiteral("link"), QStringLiteral("Also make PATH a symlink to the pty."),
                                     QStringLiteral("PATH"));
    const QCommandLineOption scenarioOpt(QStringLiteral("scenario"), QStringLiteral("Steps to run (see above)."),
                                         QStringLiteral("STEPS"));
    const QCommandLineOption fastOpt(QStringLiteral("fast"), QStringLiteral("Send as fast as the pty takes bytes."));
    const QCommandLineOption noWaitOpt(QStringLiteral("no-wait"),
                                       QStringLiteral("Start the scenario at once, not when the monitor opens the line."));
    const QCommandLineOption tickOpt(QStringLiteral("tick"),
                                     QStringLiteral("Milliseconds between count-down steps of a test (default 1000)."),
                                     QStringLiteral("MS"), QStringLiteral("1000"));
    const QCommandLineOption recordOpt(QStringLiteral("record"), QStringLiteral("Append what happens to FILE."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption dielOpt(QStringLiteral("diel"), QStringLiteral("Oil dielectric (default 2.45)."),
                                     QStringLiteral("D"), QStringLiteral("2.45"));
    const QCommandLineOption ironOpt(QStringLiteral("iron"), QStringLiteral("Ferrous index (default 12)."),
                                     QStringLiteral("N"), QStringLiteral("12"));
    const QCommandLineOption waterOpt(QStringLiteral("water"), QStringLiteral("Water index (default 0.07)."),
                                      QStringLiteral("W"), QStringLiteral("0.07"));
    const QCommandLineOption lcontOpt(QStringLiteral("lcont"),
                                      QStringLiteral("Large-contamination flags 0..7: 1 droplets, 2 ferrous, 4 non-ferrous."),
                                      QStringLiteral("FLAGS"), QStringLiteral("0"));
    const QCommandLineOption calOpt(QStringLiteral("cal"),
                                    QStringLiteral("Calibration F220,F300,D220,D300 (default 5000,4600,220,300)."),
                                    QStringLiteral("LIST"), QStringLiteral("5000,4600,220,300"));
    const QCommandLineOption firmwareOpt(QStringLiteral("firmware"), QStringLiteral("Firmware version (default 3.1.0)."),
                                         QStringLiteral("M.m.r"), QStringLiteral("3.1.0"));
    const QCommandLineOption seedOpt(QStringLiteral("seed"), QStringLiteral("Noise seed (default 1)."),
                                     QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption replayOpt(QStringLiteral("replay"),
                                       QStringLiteral("Play back a line capture (may be given more than once)."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption speedOpt(QStringLiteral("speed"),
                                      QStringLiteral("Replay X times faster than recorded (default 1)."),
                                      QStringLiteral("X"), QStringLiteral("1"));
    const QCommandLineOption stallOpt(QStringLiteral("stall"),
                                      QStringLiteral("Seconds the replay waits for a recorded command (default 5)."),
                                      QStringLiteral("SECONDS"), QStringLiteral("5"));
    parser.addOptions({linkOpt, scenarioOpt, fastOpt, noWaitOpt, tickOpt, recordOpt, dielOpt, ironOpt, waterOpt,
                       lcontOpt, calOpt, firmwareOpt, seedOpt, replayOpt, speedOpt, stallOpt});
    parser.process(app);

    SimOptions o;
    o.fast = parser.isSet(fastOpt);
    o.wait = !parser.isSet(noWaitOpt);
    o.tickMs = parser.value(tickOpt).toInt();
    o.link = parser.value(linkOpt);
    o.recordPath = parser.value(recordOpt);
    o.firmware = parser.value(firmwareOpt);
    o.seed = parser.value(seedOpt).toUInt();
    o.oil.dielectric = int(std::lround(parser.value(dielOpt).toDouble() * 100));
    o.oil.ferrous = parser.value(ironOpt).toInt();
    o.oil.water = int(std::lround(parser.value(waterOpt).toDouble() * 100));
    o.oil.lcont = parser.value(lcontOpt).toInt() & 7;
    const QStringList cal = parser.value(calOpt).split(QLatin1Char(','));
    if (cal.size() == 4)
        o.cal = {cal[0].toInt(), cal[1].toInt(), cal[2].toInt(), cal[3].toInt()};
    o.scenario = parser.value(scenarioOpt);
    o.replay = parser.values(replayOpt);
    bool ok = false;
    o.speed = parser.value(speedOpt).toDouble(&ok);
    if (!ok || !(o.speed > 0))
        optionError("--speed takes a number above 0");
    const double stall = parser.value(stallOpt).toDouble(&ok);
    if (!ok || stall < 0)
        optionError("--stall takes a number of seconds");
    o.stallMs = int(std::lround(stall * 1000));
    if (!o.replay.isEmpty() && !o.scenario.isEmpty())
        optionError("--replay and --scenario cannot be given together");
    return o;
}

} // namespace qqc::sim
