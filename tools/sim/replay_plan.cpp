#include "sim/replay_plan.h"

#include <algorithm>
#include <cmath>

namespace qqc::sim {

namespace {
QString hex(quint8 b) { return QString::asprintf("%02X", b); }
constexpr int MaxMessages = 50;  // then only the counts
} // namespace

ReplayPlan::ReplayPlan(const QList<CaptureEntry>& entries, double speed, int stallMs)
    : speed_(speed > 0 ? speed : 1), stallMs_(std::max(0, stallMs))
{
    QDateTime opened;
    for (const CaptureEntry& e : entries) {
        if (e.kind == CaptureEntry::Note) {
            if (!opened.isValid() && entries_.isEmpty() && e.text.startsWith(QLatin1String("OPEN")))
                opened = e.at;
            continue;
        }
        if (!e.bytes.isEmpty())
            entries_.append(e);
    }
    if (opened.isValid() && !entries_.isEmpty())
        leadInMs_ = std::clamp<qint64>(opened.msecsTo(entries_.first().at), 0, MaxLeadInMs);
}

qint64 ReplayPlan::dueOf(const CaptureEntry& entry) const
{
    // A clock set back during the recording plays as no gap at all.
    const qint64 gap = std::max<qint64>(0, entry.at.toMSecsSinceEpoch() - anchorRecorded_);
    return anchorReal_ + qint64(std::llround(double(gap) / speed_));
}

ReplayPlan::Step ReplayPlan::advance(qint64 nowMs)
{
    Step step;
    if (!started_ && !entries_.isEmpty()) {
        started_ = true;
        anchorRecorded_ = entries_.first().at.toMSecsSinceEpoch();
        anchorReal_ = nowMs + leadInMs_;
    }
    while (next_ < entries_.size()) {
        const CaptureEntry& e = entries_[next_];
        const qint64 due = dueOf(e);
        if (e.kind == CaptureEntry::Rx) {
            if (nowMs < due) {
                step.waitMs = int(std::min<qint64>(due - nowMs, 1000));
                return step;
            }
            step.send += e.bytes;
            ++next_;
            continue;
        }
        matchInput();
        if (matchedInEntry_ >= e.bytes.size()) {
            finishCommand(nowMs);
            continue;
        }
        if (waitingSince_ < 0)
            waitingSince_ = nowMs;
        const qint64 deadline = std::max(due, waitingSince_) + stallMs_;
        if (nowMs >= deadline) {
            ++stalls_;
            if (messages_.size() < MaxMessages)
                messages_ << QStringLiteral("line %1: the monitor did not send %2 within %3 s; going on")
                                 .arg(e.line)
                                 .arg(hex(quint8(e.bytes[matchedInEntry_])))
                                 .arg(stallMs_ / 1000.0);
            finishCommand(nowMs);
            continue;
        }
        step.waitMs = int(std::min<qint64>(deadline - nowMs, 1000));
        return step;
    }
    step.waitMs = -1;
    return step;
}

void ReplayPlan::received(quint8 byte) { input_.push_back(byte); }

void ReplayPlan::matchInput()
{
    const CaptureEntry& e = entries_[next_];
    while (!input_.empty() && matchedInEntry_ < e.bytes.size()) {
        const quint8 b = input_.front();
        input_.pop_front();
        const quint8 expected = quint8(e.bytes[matchedInEntry_]);
        if (b == expected) {
            ++matched_;
            ++matchedInEntry_;
            continue;
        }
        ++unexpected_;
        if (messages_.size() < MaxMessages)
            messages_ << QStringLiteral("line %1: the monitor sent %2 where %3 was recorded; dropped")
                             .arg(e.line)
                             .arg(hex(b), hex(expected));
    }
}

void ReplayPlan::finishCommand(qint64 nowMs)
{
    // What the unit sent after this command follows it as it did then.
    anchorRecorded_ = entries_[next_].at.toMSecsSinceEpoch();
    anchorReal_ = nowMs;
    ++next_;
    matchedInEntry_ = 0;
    waitingSince_ = -1;
}

QStringList ReplayPlan::takeMessages()
{
    QStringList out;
    out.swap(messages_);
    return out;
}

} // namespace qqc::sim
