#include "util/cp1252.h"

#include <algorithm>
#include <iterator>

namespace qqc {

namespace {

// Windows-1252 for 0x80..0x9F; the rest is Latin-1. The five bytes 1252
// leaves undefined map to the C1 control of the same value, as Windows
// converts them, so they come back as the same byte.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

QString fromCp1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        text[i] = (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(b);
    }
    return text;
}

QByteArray toCp1252(const QString& text, bool* lossy)
{
    // Written in place, one byte per character: exports run this over every
    // line of a large file.
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char* out = bytes.data();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            *out++ = char(u);
            continue;
        }
        const char16_t* const end = std::end(kCp1252High);
        const char16_t* const hit = std::find(std::begin(kCp1252High), end, u);
        if (hit == end) {
            *out++ = '?';
            if (lossy)
                *lossy = true;
            continue;
        }
        *out++ = char(0x80 + (hit - std::begin(kCp1252High)));
    }
    return bytes;
}

// Checked in place: no decoded copy of a large file is made only to be
// thrown away.
bool isValidUtf8(QByteArrayView bytes) { return bytes.isValidUtf8(); }

} // namespace qqc
