#include "core/cal_record.h"

#include <QtEndian>

#include <cstring>

namespace qqc {

QByteArray CalRecord::toBytes() const
{
    QByteArray out(kCalRecordSize, '\0');
    auto* p = reinterpret_cast<uchar*>(out.data());
    qToLittleEndian<qint16>(valid, p);
    quint64 dateBits = 0;
    static_assert(sizeof(dateBits) == sizeof(CalDate));
    std::memcpy(&dateBits, &CalDate, sizeof dateBits);
    qToLittleEndian<quint64>(dateBits, p + 2);
    qToLittleEndian<qint16>(Freq220, p + 10);
    qToLittleEndian<qint16>(Freq300, p + 12);
    qToLittleEndian<qint16>(Diel220, p + 14);
    qToLittleEndian<qint16>(Diel300, p + 16);
    return out;
}

CalRecord CalRecord::fromBytes(const QByteArray& bytes)
{
    Q_ASSERT(bytes.size() >= kCalRecordSize);
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    CalRecord r;
    r.valid = qFromLittleEndian<qint16>(p);
    const quint64 dateBits = qFromLittleEndian<quint64>(p + 2);
    std::memcpy(&r.CalDate, &dateBits, sizeof r.CalDate);
    r.Freq220 = qFromLittleEndian<qint16>(p + 10);
    r.Freq300 = qFromLittleEndian<qint16>(p + 12);
    r.Diel220 = qFromLittleEndian<qint16>(p + 14);
    r.Diel300 = qFromLittleEndian<qint16>(p + 16);
    return r;
}

} // namespace qqc
