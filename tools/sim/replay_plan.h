#pragma once
// ReplayPlan: what a replayed unit sends and when, from a line capture of the
// monitor (link/capture_format.h). The RX side of the capture (what the
// monitor received: what the unit sent) is sent again with its recorded
// gaps divided by the speed; the TX side (what the monitor sent) is what the
// replayed unit waits for. The time from the monitor opening the line to the
// first recorded byte is kept as recorded (at most MaxLeadInMs), whatever
// the speed: the monitor needs its start-up time before it answers a reset.
//
// Alignment: the monitor's commands are matched byte by byte, in order. RX
// recorded after a TX waits for that TX and then follows it with its
// recorded gap, so a command the monitor sends later (or sooner) than in the
// recording is answered as recorded. A byte that is not the one expected is
// dropped and counted. When an expected byte does not come within the stall
// time (counted from when it was due), the plan gives up on that command and
// carries on with what followed it.
//
// No I/O and no clock of its own: the caller passes the time in milliseconds
// (Simulator::replay on the pty; the tests directly).

#include "link/capture_format.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <deque>

namespace qqc::sim {

class ReplayPlan {
public:
    static constexpr int MaxLeadInMs = 5000;

    // `entries` in recorded order (notes and all); speed above 0.
    ReplayPlan(const QList<CaptureEntry>& entries, double speed, int stallMs);

    struct Step {
        QByteArray send;  // bytes to send now
        int waitMs = 0;   // then call again within this time, or on input; -1: finished
    };
    Step advance(qint64 nowMs);
    // A byte the monitor sent.
    void received(quint8 byte);

    bool finished() const { return next_ >= entries_.size(); }
    int matchedBytes() const { return matched_; }
    int unexpectedBytes() const { return unexpected_; }
    int stalls() const { return stalls_; }
    // What went differently from the recording since the last call.
    QStringList takeMessages();

private:
    qint64 dueOf(const CaptureEntry& entry) const;
    void matchInput();
    void finishCommand(qint64 nowMs);

    QList<CaptureEntry> entries_;  // RX and TX only
    double speed_;
    int stallMs_;
    qint64 leadInMs_ = 0;
    bool started_ = false;
    qint64 anchorRecorded_ = 0;  // recorded ms since the epoch ...
    qint64 anchorReal_ = 0;      // ... played at this time
    qsizetype next_ = 0;         // the entry under way
    qsizetype matchedInEntry_ = 0;
    qint64 waitingSince_ = -1;   // when the entry under way (TX) became current
    std::deque<quint8> input_;
    int matched_ = 0;
    int unexpected_ = 0;
    int stalls_ = 0;
    QStringList messages_;
};

} // namespace qqc::sim
