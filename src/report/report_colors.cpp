#include "report/report_colors.h"

#include <algorithm>

namespace qqc::report {

QRgb LevelColor(int level)
{
    switch (level) {
    case 1: return qRgb(0, 255, 0);
    case 2: return qRgb(0, 255, 255);
    case 3: return qRgb(255, 255, 0);
    case 4: return qRgb(255, 0, 255);
    case 5: return qRgb(255, 0, 0);
    default: return qRgb(255, 255, 255);
    }
}

QRgb cellColor(int level)
{
    if (level == 0 || level == 1)
        return qRgb(255, 255, 255);
    if (level >= 2 && level <= 5)
        return LevelColor(level);
    return qRgb(0, 0, 0);
}

QRgb cellTextColor(QRgb background)
{
    const QRgb c = background & 0xffffff;
    return c == 0xff0000 || c == 0 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
}

int clampReduction(int reduction) { return std::clamp(reduction, 0, 255); }

QRgb ReduceColor(QRgb c, int reduction)
{
    reduction = clampReduction(reduction);
    const QRgb rgb = c & 0xffffff;
    if (reduction == 0 || rgb == 0 || rgb == 0xffffff)
        return qRgb(qRed(c), qGreen(c), qBlue(c));
    auto part = [&](int v) { return v == 0 ? reduction : v; };
    return qRgb(part(qRed(c)), part(qGreen(c)), part(qBlue(c)));
}

QRgb RedCellTextColor(int reduction)
{
    return clampReduction(reduction) <= 90 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
}

} // namespace qqc::report
