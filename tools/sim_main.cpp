// quorvelqc-sim: plays the QuorvelQC unit on a pseudo-terminal.
//
// It opens a pty, prints the device path the monitor should open on the
// first line of standard output (and, with --link PATH, points a symlink at
// it), then runs a scenario given on the command line: status and state
// messages, live readings, firmware version, errors, calibrations and whole
// tests built from the unit model, with faults on request. Every byte the PC
// sends is answered as the unit answers it (command byte + 10, the frequency
// read, the test time and calibration downloads, the magnet position).
//
// Bytes go out at the line's real rate (about 1.04 ms a byte at 9600 baud)
// unless --fast is given. See --help and tools/README.md.

#include "sim/command_responder.h"
#include "sim/frames.h"
#include "sim/unit_model.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace qqc;
using namespace qqc::sim;

volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }

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
  CONNECTED, UNPLUG, REPLUG <device>, SILENCE s)";

struct Options {
    bool fast = false;
    bool wait = true;
    int tickMs = 1000;
    OilSample oil;
    Calibration cal;
    QString link;
    QString recordPath;
    QString firmware = QStringLiteral("3.1.0");
    quint32 seed = 1;
};

class Simulator {
public:
    explicit Simulator(Options o) : opt_(std::move(o)) {}
    ~Simulator()
    {
        closePty();
        if (!opt_.link.isEmpty() && QFileInfo(opt_.link).isSymLink())
            QFile::remove(opt_.link);
    }

    bool openPty()
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
            std::perror("quorvelqc-sim: pty");
            return false;
        }
        device_ = QString::fromLocal8Bit(ptsname(master_));
        // Keep the unit's end of the slave open, raw, at a speed the monitor
        // changes on open: that is how the simulator sees the monitor arrive.
        slave_ = ::open(ptsname(master_), O_RDWR | O_NOCTTY);
        termios t{};
        if (slave_ >= 0 && tcgetattr(slave_, &t) == 0) {
            cfmakeraw(&t);
            cfsetispeed(&t, B38400);
            cfsetospeed(&t, B38400);
            tcsetattr(slave_, TCSANOW, &t);
        }
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        connected_ = false;
        if (!opt_.link.isEmpty()) {
            const QString tmp = opt_.link + QStringLiteral(".new");
            QFile::remove(tmp);
            if (::symlink(device_.toLocal8Bit().constData(), tmp.toLocal8Bit().constData()) != 0
                || ::rename(tmp.toLocal8Bit().constData(), opt_.link.toLocal8Bit().constData()) != 0) {
                std::perror("quorvelqc-sim: --link");
                return false;
            }
        }
        return true;
    }

    void closePty()
    {
        if (slave_ >= 0)
            ::close(slave_);
        if (master_ >= 0)
            ::close(master_);
        slave_ = master_ = -1;
    }

    const QString& device() const { return device_; }

    bool run(const QStringList& steps)
    {
        if (opt_.wait)
            waitForMonitor();
        for (const QString& raw : steps) {
            if (stopRequested)
                return true;
            const QString step = raw.trimmed();
            if (step.isEmpty())
                continue;
            if (!runStep(step))
                return false;
            if (exit_)
                return true;
        }
        while (!stopRequested)
            idle(200);
        return true;
    }

private:
    bool runStep(const QString& step)
    {
        const QStringList a = step.split(QLatin1Char(':'));
        const QString name = a[0].toLower();
        const auto num = [&a](int i, double def = 0) { return i < a.size() ? a[i].toDouble() : def; };
        if (name == QLatin1String("reset")) {
            send(statusFrame(254));
        } else if (name == QLatin1String("status")) {
            send(statusFrame(int(num(1))));
        } else if (name == QLatin1String("state")) {
            send(stateFrame(int(num(1)), int(num(2)), int(num(3))));
        } else if (name == QLatin1String("diel")) {
            send(dielFrame(int(num(1))));
        } else if (name == QLatin1String("firmware")) {
            const QByteArray v = (a.size() > 1 ? a[1] : opt_.firmware).toLatin1().replace('.', "");
            const auto at = [&v](int i) { return i < v.size() ? v[i] : '0'; };
            send(firmwareFrame(at(0), at(1), at(2)));
        } else if (name == QLatin1String("error")) {
            send(errorFrame(step.section(QLatin1Char(':'), 1).toLatin1()));
        } else if (name == QLatin1String("cal")) {
            opt_.cal = {int(num(1, 5000)), int(num(2, 4600)), int(num(3, 220)), int(num(4, 300))};
            send(calibrationFrame(opt_.cal.freq220, opt_.cal.freq300, opt_.cal.diel220, opt_.cal.diel300));
        } else if (name == QLatin1String("test")) {
            runTest(TestKind::Whole);
        } else if (name == QLatin1String("tests")) {
            const int n = int(num(1, 1));
            const double every = num(2, 30);
            for (int i = 0; (n == 0 || i < n) && !stopRequested && !exit_; ++i) {
                const auto start = Clock::now();
                runTest(TestKind::Whole);
                const double spent = std::chrono::duration<double>(Clock::now() - start).count();
                if (n == 0 || i + 1 < n)
                    idle(int(std::max(0.0, every - spent) * 1000));
            }
        } else if (name == QLatin1String("wait")) {
            idle(int(num(1) * 1000));
        } else if (name == QLatin1String("junk")) {
            QByteArray junk;
            for (int i = 0; i < int(num(1, 8)); ++i)
                junk += char('a' + (nextRandom() % 26));   // small letters: never a tag, never an answer
            sendRaw(junk);
        } else if (name == QLatin1String("endtag")) {
            runTest(TestKind::EndTagInPayload);
        } else if (name == QLatin1String("truncated")) {
            runTest(TestKind::Truncated);
        } else if (name == QLatin1String("silence")) {
            record(QStringLiteral("SILENCE %1").arg(num(1)));
            responder_.setSilent(true);
            const auto until = Clock::now() + std::chrono::milliseconds(int(num(1) * 1000));
            while (Clock::now() < until && !stopRequested)
                serviceInput(50);
            responder_.setSilent(false);
        } else if (name == QLatin1String("unplug")) {
            record(QStringLiteral("UNPLUG"));
            closePty();
        } else if (name == QLatin1String("replug")) {
            closePty();
            if (!openPty())
                return false;
            record(QStringLiteral("REPLUG ") + device_);
            std::printf("%s\n", device_.toLocal8Bit().constData());
            std::fflush(stdout);
            if (opt_.wait)
                waitForMonitor();
        } else if (name == QLatin1String("grid")) {
            // The grid the "D" frequency read reports (diagnostics window).
            CommandResponder::Grid& g = responder_.grid();
            if (a.value(1) == QLatin1String("unplugged")) {
                g.unplugged = true;
            } else {
                g.frequency = int(num(1, g.frequency));
                g.temperatureByte = int(num(2, g.temperatureByte));
                g.unplugged = false;
            }
        } else if (name == QLatin1String("nogrid")) {
            responder_.grid().unplugged = true;
        } else if (name == QLatin1String("spikes")) {
            responder_.grid().spikeEvery = int(num(1));
            responder_.grid().spikeSize = int(num(2, 300));
        } else if (name == QLatin1String("magnet")) {
            responder_.grid().magnetDrop = {0, int(num(1, 120)), int(num(2, 80))};
        } else if (name == QLatin1String("exit")) {
            exit_ = true;
        } else {
            std::fprintf(stderr, "quorvelqc-sim: unknown scenario step \"%s\"\n", step.toLocal8Bit().constData());
            return false;
        }
        return true;
    }

    enum class TestKind { Whole, EndTagInPayload, Truncated };

    void runTest(TestKind kind)
    {
        ++tests_;
        // Each test varies a little around the configured oil.
        OilSample oil = opt_.oil;
        oil.ferrous += int(nextRandom() % 5) - 2;
        oil.dielectric += int(nextRandom() % 7) - 3;
        oil.ferrous = std::max(0, oil.ferrous);
        TestRecord r = simulateTest(oil, opt_.cal, opt_.seed + quint32(tests_));
        avoidEndTag(r);
        if (kind == TestKind::EndTagInPayload) {
            r.raw8700[40] = 0x453C;   // "<E" as a little-endian word ...
            r.raw8700[140] = 0x3E;    // ... and ">" right after it
        }

        send(statusFrame(252));
        for (int s : {22, 23, 24, 25}) {
            send(stateFrame(s, 0, 0));
            idle(opt_.tickMs / 2);
        }
        send(stateFrame(26, 1, 0));
        for (int code = 0; code <= 50 && !stopRequested; code += 5) {
            send(statusFrame(code));
            send(stateFrame(27, 0, code * 2));
            if (code % 10 == 0)
                send(dielFrame(oil.dielectric));
            idle(opt_.tickMs);
        }
        send(statusFrame(250));
        const QByteArray f = testFrame(r);
        if (kind == TestKind::Truncated) {
            sendRaw(f.left(f.size() / 2));
            record(QStringLiteral("TX D cut at %1").arg(f.size() / 2));
            return;
        }
        for (const QString& field : {QStringLiteral("raw8700"), QStringLiteral("Temp"), QStringLiteral("Calc8700"),
                                     QStringLiteral("CalData"), QStringLiteral("Rslt8700")})
            record(QStringLiteral("TXD ") + field + QLatin1Char('=') + testRecordText(r, field));
        send(f);
        send(stateFrame(28, 2, 0));
        send(statusFrame(252));
    }

    static QString testRecordText(const TestRecord& r, const QString& field)
    {
        // The same text form the monitor stores (plain decimals joined by ",").
        QStringList items;
        const auto add = [&items](const auto& table) {
            for (auto v : table)
                items << QString::number(qint64(v));
        };
        if (field == QLatin1String("raw8700")) add(r.raw8700);
        else if (field == QLatin1String("Temp")) add(r.Temp);
        else if (field == QLatin1String("Calc8700")) add(r.Calc8700);
        else if (field == QLatin1String("CalData")) add(r.CalData);
        else if (field == QLatin1String("Rslt8700")) add(r.Rslt8700);
        return items.join(QLatin1Char(','));
    }

    void send(const QByteArray& frameBytes)
    {
        record(QStringLiteral("TX %1 %2").arg(QLatin1Char(frameBytes.size() > 3 ? frameBytes[3] : '?')).arg(frameBytes.size() - 7));
        sendRaw(frameBytes);
    }

    // Writes bytes at the line's rate; bytes nobody can take are lost, as on
    // a serial line without a listener.
    void sendRaw(const QByteArray& bytes)
    {
        if (master_ < 0 || responder_.silent())
            return;
        const auto perByte = std::chrono::microseconds(1042);
        auto next = Clock::now();
        for (char c : bytes) {
            if (master_ < 0 || stopRequested)
                return;
            writeByte(quint8(c));
            if (!opt_.fast) {
                next += perByte;
                std::this_thread::sleep_until(next);
            }
        }
    }

    void writeByte(quint8 b)
    {
        for (int tries = 0; tries < 50; ++tries) {
            const ssize_t w = ::write(master_, &b, 1);
            if (w == 1)
                return;
            if (w < 0 && errno != EAGAIN && errno != EINTR)
                return;
            pollfd p{master_, POLLOUT, 0};
            ::poll(&p, 1, 10);
        }
    }

    // Answers commands for `ms` milliseconds.
    void idle(int ms)
    {
        const auto until = Clock::now() + std::chrono::milliseconds(std::max(0, ms));
        do {
            serviceInput(int(std::clamp<long long>(
                std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count(), 0, 50)));
        } while (Clock::now() < until && !stopRequested);
    }

    void serviceInput(int waitMs)
    {
        if (master_ < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::max(1, waitMs)));
            return;
        }
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, waitMs) <= 0 || !(p.revents & POLLIN)) {
            if (p.revents & (POLLHUP | POLLERR))
                std::this_thread::sleep_for(std::chrono::milliseconds(std::max(1, waitMs)));
            noteConnection();
            return;
        }
        unsigned char buffer[64];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        for (ssize_t i = 0; i < n; ++i) {
            const int downloadsBefore = responder_.calibrationDownloads();
            const int settingBefore = responder_.testTimeSetting();
            record(QStringLiteral("RX ") + QString::asprintf("%02X", buffer[i]));
            const QByteArray answer = responder_.receive(buffer[i]);
            if (responder_.calibrationDownloads() != downloadsBefore) {
                const auto& c = responder_.calibration();
                record(QStringLiteral("CAL %1,%2,%3,%4").arg(c[0]).arg(c[1]).arg(c[2]).arg(c[3]));
                opt_.cal = {c[0], c[1], c[2], c[3]};
            }
            if (responder_.testTimeSetting() != settingBefore)
                record(QStringLiteral("TESTTIME %1").arg(responder_.testTimeSetting()));
            sendRaw(answer);
        }
        noteConnection();
    }

    void noteConnection()
    {
        if (connected_ || slave_ < 0)
            return;
        termios t{};
        if (tcgetattr(slave_, &t) == 0 && cfgetispeed(&t) == B9600) {
            connected_ = true;
            record(QStringLiteral("CONNECTED"));
        }
    }

    void waitForMonitor()
    {
        while (!connected_ && !stopRequested)
            serviceInput(50);
    }

    void record(const QString& line)
    {
        if (opt_.recordPath.isEmpty())
            return;
        if (!recordFile_.isOpen()) {
            recordFile_.setFileName(opt_.recordPath);
            if (!recordFile_.open(QIODevice::WriteOnly | QIODevice::Append))
                return;
        }
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started_).count();
        recordFile_.write(QStringLiteral("%1 %2\n").arg(ms).arg(line).toUtf8());
        recordFile_.flush();
    }

    quint32 nextRandom()
    {
        random_ = random_ * 1103515245u + 12345u;
        return (random_ >> 16) & 0x7FFF;
    }

    Options opt_;
    CommandResponder responder_;
    QFile recordFile_;
    QString device_;
    int master_ = -1;
    int slave_ = -1;
    bool connected_ = false;
    bool exit_ = false;
    int tests_ = 0;
    quint32 random_ = 12345;
    Clock::time_point started_ = Clock::now();
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvelqc-sim"));
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
    parser.addOptions({linkOpt, scenarioOpt, fastOpt, noWaitOpt, tickOpt, recordOpt, dielOpt, ironOpt, waterOpt,
                       lcontOpt, calOpt, firmwareOpt, seedOpt});
    parser.process(app);

    Options o;
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

    QString scenario = parser.value(scenarioOpt);
    if (scenario.isEmpty())
        scenario = QStringLiteral("firmware,status:252");
    const QStringList steps = scenario.split(QRegularExpression(QStringLiteral("[,;]")));

    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    std::signal(SIGPIPE, SIG_IGN);

    Simulator sim(o);
    if (!sim.openPty())
        return 1;
    std::printf("%s\n", sim.device().toLocal8Bit().constData());
    std::fflush(stdout);
    return sim.run(steps) ? 0 : 2;
}
