#pragma once
// The simulator's record file (--record): one line per event,
// "<milliseconds since start> <EVENT> <details>", flushed at once so a test
// reading the file sees each event as it happens. tools/README.md lists the
// events.

#include "core/record.h"

#include <QFile>
#include <QString>

#include <chrono>

namespace qqc::sim {

class EventLog {
public:
    explicit EventLog(QString path) : path_(std::move(path)) {}   // empty: record nothing

    void add(const QString& event);

    // A table of `record` ("raw8700", "Temp", "Calc8700", "CalData" or
    // "Rslt8700") in the text form the monitor stores: decimals joined by ",".
    static QString tableText(const TestRecord& record, const QString& table);

private:
    QString path_;
    QFile file_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

} // namespace qqc::sim
