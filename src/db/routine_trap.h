#pragma once
// Inside the sample database routines: how each routine reports an engine
// failure, and the conversions of stored values they share. Not for use
// outside src/db.

#include "db/sample_database.h"

namespace qqc::db {

// Classic error numbers besides the engine's.
inline constexpr int SubscriptOutOfRange = 9;
inline constexpr int InvalidUseOfNull = 94;

// Runs one routine; an engine error leaves it as a RoutineFailure naming the
// routine. A failure of a routine called inside keeps its own name.
template <class F>
auto trap(const char* routine, F&& f) -> decltype(f())
{
    try {
        return f();
    } catch (const DbError& e) {
        throw RoutineFailure{QString::fromLatin1(routine), e.number(), e.description()};
    }
}

inline float toSingle(const QVariant& v) { return v.isNull() ? 0.0f : float(v.toDouble()); }

inline qint32 toLong(const QVariant& v, const char* field)
{
    if (v.isNull())
        throw DbError(InvalidUseOfNull, QStringLiteral("Invalid use of Null (%1)").arg(QLatin1String(field)));
    return qint32(v.toLongLong());
}

} // namespace qqc::db
