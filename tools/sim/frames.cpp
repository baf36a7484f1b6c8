#include "sim/frames.h"

#include "link/record_decoder.h"

namespace qqc::sim {

namespace {
void putBE(QByteArray& out, int at, int value)
{
    out[at] = char((value >> 8) & 0xFF);
    out[at + 1] = char(value & 0xFF);
}
void putLE(QByteArray& out, int at, int value)
{
    out[at] = char(value & 0xFF);
    out[at + 1] = char((value >> 8) & 0xFF);
}
} // namespace

QByteArray frame(char code, const QByteArray& payload)
{
    QByteArray f("<S>");
    f += code;
    f += payload;
    f += "<E>";
    return f;
}

QByteArray statusFrame(int code) { return frame('K', QByteArray(1, char(code))); }

QByteArray stateFrame(int state, int variant, int count)
{
    QByteArray p;
    p += char(state);
    p += char(variant);
    p += char(count);
    return frame('S', p);
}

QByteArray dielFrame(int diel100)
{
    QByteArray p(2, 0);
    putBE(p, 0, diel100);
    return frame('F', p);
}

QByteArray firmwareFrame(char major, char minor, char revision)
{
    QByteArray p;
    p += major;
    p += minor;
    p += revision;
    return frame('I', p);
}

QByteArray errorFrame(const QByteArray& text) { return frame('X', text); }

QByteArray calibrationFrame(int freq220, int freq300, int diel220, int diel300, int extra1, int extra2)
{
    QByteArray p(10, 0);
    putBE(p, 0, freq220);
    putBE(p, 2, freq300);
    putBE(p, 4, diel220);
    putBE(p, 6, diel300);
    p[8] = char(extra1);
    p[9] = char(extra2);
    return frame('C', p);
}

int toSignMagnitude(int v) { return v >= 0 ? (v & 0x7FFF) : 32768 + ((-v) & 0x7FFF); }

QByteArray encodeTestPayload(const TestRecord& r)
{
    // Index k of the frame (code byte = 0) is index k - 1 here.
    QByteArray p(TestFrameLength - 1, 0);
    const auto at = [](int k) { return k - 1; };
    p[at(1)] = 0;
    for (int i = 0; i < TestRecord::ReadingCount; ++i) {
        const int base = 2 + 7 * i;
        putLE(p, at(base), r.raw8700[size_t(i)]);
        putLE(p, at(base + 2), r.raw8700[size_t(100 + i)]);
        putLE(p, at(base + 4), r.raw8700[size_t(200 + i)]);
        p[at(base + 6)] = char(r.Temp[size_t(i)] & 0xFF);
    }
    putLE(p, at(702), 0);
    for (int j = 0; j < Calc::Count; ++j)
        putBE(p, at(704 + 2 * j), toSignMagnitude(r.Calc8700[size_t(j)]));
    p[at(750)] = 0;
    for (int k = 0; k < Cal::Count; ++k)
        putBE(p, at(751 + 2 * k), r.CalData[size_t(k)] & 0x7FFF);
    for (int m = 0; m < Rslt::Count; ++m) {
        const int v = r.Rslt8700[size_t(m)];
        putBE(p, at(759 + 2 * m), m <= 5 ? toSignMagnitude(v) : (v & 0xFFFF));
    }
    return p;
}

QByteArray testFrame(const TestRecord& record) { return frame('D', encodeTestPayload(record)); }

bool containsEndTag(const QByteArray& bytes) { return bytes.contains("<E>"); }

bool nudgeOffEndTag(TestRecord& record)
{
    const qsizetype at = encodeTestPayload(record).indexOf("<E>");
    if (at < 0)
        return false;
    // Payload index p is frame byte p + 1; the readings fill frame bytes
    // 2..701 in records of 7: Base, North, South words, then temperature.
    for (qsizetype k = at + 1; k <= at + 3; ++k) {
        if (k < 2 || k > 701)
            continue;
        const int within = int(k - 2) % 7;
        if (within == 6)
            continue;  // the temperature byte: move a reading beside it instead
        std::int32_t& v = record.raw8700[size_t((within / 2) * 100 + int(k - 2) / 7)];
        v = v < 65535 ? v + 1 : v - 1;
        return true;
    }
    return false;
}

int avoidEndTag(TestRecord& record)
{
    int changed = 0;
    for (; changed < 1000 && containsEndTag(encodeTestPayload(record)); ++changed) {
        if (!nudgeOffEndTag(record)) {
            // Outside the readings: change the reading next to nothing else.
            std::int32_t& v = record.raw8700[0];
            v = v < 65535 ? v + 1 : v - 1;
        }
    }
    return changed;
}

} // namespace qqc::sim
