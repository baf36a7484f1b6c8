#include "app/child_layout.h"

#include "util/vb_format.h"

#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace qqc {

QString ClampLayoutFraction(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (ok && value < 0)
        return QStringLiteral("1E-01");
    if (ok && value > 1)
        return QStringLiteral("9E-01");
    return text;
}

bool parseWindowLayout(const QString& text, double fractions[4])
{
    const QChar separator = text.contains(QLatin1Char('|')) ? QLatin1Char('|') : QLatin1Char(',');
    const QStringList parts = text.split(separator);
    if (parts.size() < 4)
        return false;
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const double value = parts.at(i).trimmed().toDouble(&ok);
        // A window far outside the frame could never be reached again.
        if (!ok || !std::isfinite(value) || std::fabs(value) > 10.0)
            return false;
        fractions[i] = value;
    }
    return true;
}

namespace {
// One side of childGeometry: the start and length of a window along an area
// of `extent`, its length at least `minimum`.
std::pair<int, int> placeAlong(double start, double length, int extent, int minimum)
{
    int from = int(std::lround(start * extent));
    const int asked = int(std::lround(length * extent));
    const int size = std::max(asked, minimum);
    // Only the enlargement moves the window: one the layout itself puts past
    // the edge stays where the layout puts it.
    const int over = from + size - std::max(extent, from + asked);
    if (size > asked && over > 0)
        from = std::max(0, from - over);
    return {from, size};
}
} // namespace

QRect childGeometry(const LayoutFractions& f, QSize area, QSize minimum)
{
    const auto [left, width] = placeAlong(f[0], f[2], area.width(), std::max(0, minimum.width()));
    const auto [top, height] = placeAlong(f[1], f[3], area.height(), std::max(0, minimum.height()));
    return QRect(left, top, width, height);
}

ChildLayout::ChildLayout(QMdiArea* area) : QObject(area), area_(area), viewport_(area->viewport())
{
    viewport_->installEventFilter(this);
}

QSize ChildLayout::areaSize() const
{
    const QSize size = area_->viewport()->size();
    return QSize(std::max(1, size.width()), std::max(1, size.height()));
}

void ChildLayout::place(QMdiSubWindow* sub, const LayoutFractions& fractions)
{
    if (!followers_.contains(sub))
        connect(sub, &QObject::destroyed, this, [this, sub] { followers_.remove(sub); });
    Follower& follower = followers_[sub];
    follower.fractions = fractions;
    setGeometry(sub, follower);
}

void ChildLayout::setGeometry(QMdiSubWindow* sub, Follower& follower)
{
    // The content's minimum counts only while the content is shown.
    if (QWidget* content = sub->widget())
        content->show();
    sub->setGeometry(childGeometry(follower.fractions, areaSize(), sub->minimumSizeHint()));
    follower.placed = sub->geometry();
}

void ChildLayout::followArea()
{
    // Placing a window can show or hide the area's scroll bars, which resizes
    // the area again from inside this loop: that resize is taken up by one
    // more pass instead of a nested one.
    if (following_) {
        areaChangedAgain_ = true;
        return;
    }
    following_ = true;
    for (int pass = 0; pass < 3; ++pass) {
        areaChangedAgain_ = false;
        for (auto it = followers_.begin(); it != followers_.end();) {
            QMdiSubWindow* sub = it.key();
            // Moved, resized, minimised or maximised by anyone else: it stays.
            if (sub->isMinimized() || sub->isMaximized() || sub->geometry() != it->placed) {
                it = followers_.erase(it);
                continue;
            }
            setGeometry(sub, *it);
            ++it;
        }
        if (!areaChangedAgain_)
            break;
    }
    following_ = false;
}

bool ChildLayout::eventFilter(QObject* watched, QEvent* event)
{
    // Compared with the pointer kept at construction: while the area is being
    // destroyed its viewport still sends events, and the area is no longer one.
    if (watched == viewport_ && event->type() == QEvent::Resize)
        followArea();
    return QObject::eventFilter(watched, event);
}

QString ChildLayout::layoutText(const QMdiSubWindow* sub) const
{
    const QSize area = areaSize();
    const QRect g = sub->geometry();
    const float fractions[4] = {float(g.x()) / float(area.width()), float(g.y()) / float(area.height()),
                                float(g.width()) / float(area.width()), float(g.height()) / float(area.height())};
    QStringList parts;
    for (float f : fractions)
        parts << ClampLayoutFraction(SingleToText(f));
    return parts.join(QLatin1Char('|'));
}

} // namespace qqc
