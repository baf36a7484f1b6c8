#pragma once
// What the two-station runs share: how long the units send, tests told apart
// by their readings, and the tally of what was stored against what was sent.
#include "app/spool_support.h"
#include "core/record.h"
#include "sim/frames.h"
#include "sim/pty_unit.h"
#include "sim/unit_model.h"

#include <QHash>
#include <QSet>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>

namespace qqc::test {

class SoakRun {
public:
    // QQC_SOAK_SECONDS sets how long the units send (default 55).
    static int seconds()
    {
        return qEnvironmentVariableIsSet("QQC_SOAK_SECONDS") ? qEnvironmentVariableIntValue("QQC_SOAK_SECONDS") : 55;
    }

    explicit SoakRun(std::uint32_t seed) : seed_(seed) {}

    // Sends a test no other has the readings of, which must be stored once;
    // returns its readings.
    QString send(sim::PtyUnit& unit)
    {
        const TestRecord t = sim::simulateTest({.dielectric = 220 + int(seed_ % 40), .ferrous = int(seed_ % 60),
                                                .water = int(seed_ % 300)},
                                               {}, seed_);
        ++seed_;
        EXPECT_TRUE(unit.send(sim::testFrame(t)));
        const QString raw = testRecordFieldText(t, "raw8700");
        ++must_[raw];
        return raw;
    }
    // The last test a killed station was sent may or may not have been read.
    void mayBeLost(const QString& raw)
    {
        must_.remove(raw);
        mayOnce_ << raw;
    }
    // Half a test's frame, cut by the kill that follows: never stored.
    static QByteArray cutFrame()
    {
        const QByteArray whole = sim::testFrame(sim::simulateTest({.dielectric = 250}, {}, 99999));
        return whole.left(whole.size() / 2);
    }
    int sent() const { return int(must_.size()); }

    // Waits (up to `msecs`) until every test that must be is stored once.
    void waitUntilStored(const QString& database, int msecs) const
    {
        (void)QTest::qWaitFor([&] {
            const QHash<QString, int> stored = count(database);
            return std::all_of(must_.keyBegin(), must_.keyEnd(),
                               [&](const QString& raw) { return stored.value(raw) == 1; });
        }, msecs);
    }
    // Tests not stored, stored more than once, and stored that must not be.
    struct Tally {
        int missing = 0, twice = 0, foreign = 0;
    };
    Tally tally(const QString& database) const
    {
        const QHash<QString, int> stored = count(database);
        Tally t;
        for (auto it = must_.cbegin(); it != must_.cend(); ++it) {
            t.missing += stored.value(it.key()) == 0;
            t.twice += stored.value(it.key()) > 1;
        }
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            if (!must_.contains(it.key()) && !(mayOnce_.contains(it.key()) && it.value() == 1))
                ++t.foreign;
        return t;
    }
    void expectEachStoredOnce(const QString& database) const
    {
        const Tally t = tally(database);
        EXPECT_GT(sent(), seconds() * 2) << "too few tests were sent";
        EXPECT_EQ(0, t.missing) << "of " << sent();
        EXPECT_EQ(0, t.twice);
        EXPECT_EQ(0, t.foreign) << "a cut frame or a test was stored that must not be";
    }

private:
    static QHash<QString, int> count(const QString& database)
    {
        QHash<QString, int> stored;
        for (const auto& s : storedSamples(database))
            ++stored[s.raw];
        return stored;
    }
    std::uint32_t seed_;
    QHash<QString, int> must_;
    QSet<QString> mayOnce_;
};

} // namespace qqc::test
