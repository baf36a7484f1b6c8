#pragma once
// The unit's side of the PC's command exchanges: every command byte is
// acknowledged with the byte + 10, and a few commands carry parameters or
// answer with data:
//   "D"  frequency read: "N", then the grid frequency low byte, high byte and
//        the temperature byte (high byte 254 when no grid is plugged in)
//   "M"  magnet position: "W", then the position byte k (answered k + 10);
//        the following frequency reads are pulled down by that position's drop
//   "J"  test time: "T", then the setting byte (answered byte + 10); the
//        closing "S" is an ordinary command ("]")
//   "R"  calibration download: "\", then four words high byte first, not
//        answered
// Every byte received is recorded, so a test can check exactly what the PC
// sent. The responder is pure (bytes in, bytes out); the simulator program
// and in-process tests put it on the unit's end of a pseudo-terminal.

#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include <array>

namespace qqc::sim {

class CommandResponder {
public:
    struct Grid {
        int frequency = 10000;       // grid frequency in counts (0..65535)
        int temperatureByte = 100;   // the unit's raw temperature byte
        // Frequencies returned by successive reads, before `frequency` takes
        // over; a way to script jumps (spikes) exactly.
        QList<int> sequence;
        int spikeEvery = 0;          // every n-th read is a spike (0: none)
        int spikeSize = 300;         // counts added to a spike read
        std::array<int, 3> magnetDrop{0, 120, 80};  // counts lost at positions 0, 1, 2
        bool unplugged = false;      // no grid: high byte 254
    };

    Grid& grid() { return grid_; }
    // A silent unit records but never answers.
    void setSilent(bool silent) { silent_ = silent; }
    bool silent() const { return silent_; }

    // One byte from the PC; returns the bytes the unit sends back.
    QByteArray receive(quint8 byte);

    const QByteArray& received() const { return received_; }
    void clearReceived() { received_.clear(); }
    // The last test time setting byte received after "J" (-1: none yet).
    int testTimeSetting() const { return testTimeSetting_; }
    // The last calibration received after "R" (Freq220, Freq300, Diel220, Diel300).
    const std::array<qint16, 4>& calibration() const { return calibration_; }
    int calibrationDownloads() const { return calibrationDownloads_; }
    int magnetPosition() const { return magnet_; }
    int frequencyReads() const { return reads_; }

private:
    QByteArray frequencyAnswer();

    enum class Expect { Command, MagnetPosition, TestTimeSetting, CalibrationWords };

    Grid grid_;
    bool silent_ = false;
    Expect expect_ = Expect::Command;
    QByteArray received_;
    QByteArray words_;
    int testTimeSetting_ = -1;
    std::array<qint16, 4> calibration_{0, 0, 0, 0};
    int calibrationDownloads_ = 0;
    int magnet_ = 0;
    int reads_ = 0;
};

} // namespace qqc::sim
