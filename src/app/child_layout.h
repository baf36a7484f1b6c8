#pragma once
// Child-window layout in the frame's MDI area. A layout holds left, top,
// width and height as fractions of the MDI area's client width (left, width)
// and height (top, height), joined by "|" when written; "," is accepted when
// reading.
//
// A window manager sizes the frame after it is shown (a maximized frame
// reaches the screen's size only once the window manager has placed it), so
// the size the children were first laid out against is not the frame's final
// size. ChildLayout therefore keeps the fractions of every window it placed
// and lays the window out again whenever the MDI area changes size, until
// something else moves, resizes, minimises or maximises that window (the
// user's own arrangement stays where the user put it). A window is never made
// smaller than its content needs (the sub-window's minimum size hint): it
// grows, and grows leftward or upward where the area's edge would cut it.

#include <QHash>
#include <QObject>
#include <QRect>
#include <QString>

#include <array>

class QMdiArea;
class QMdiSubWindow;

namespace qqc {

using LayoutFractions = std::array<double, 4>;  // left, top, width, height

// Keeps one saved fraction in range: below 0 gives "1E-01", above 1 gives
// "9E-01"; anything else (0 and 1 included) is returned unchanged.
QString ClampLayoutFraction(const QString& text);

// Parses a layout text: "|"-separated when it holds a "|", otherwise
// ","-separated. Returns false unless there are four finite numbers.
bool parseWindowLayout(const QString& text, double fractions[4]);

// The geometry of `fractions` in an area of `area`, at least `minimum` in
// size. A window enlarged to its minimum moves left (up) by as much as its
// enlargement would pass the area's right (bottom) edge, never past 0.
QRect childGeometry(const LayoutFractions& fractions, QSize area, QSize minimum);

class ChildLayout : public QObject {
    Q_OBJECT
public:
    explicit ChildLayout(QMdiArea* area);

    // The MDI area's client size, for placing and measuring alike.
    QSize areaSize() const;

    // Places `sub` at `fractions` of the area (see childGeometry) and keeps it
    // there, relative to the area, while nothing else moves it.
    void place(QMdiSubWindow* sub, const LayoutFractions& fractions);
    // Stops following `sub` (placed some other way).
    void release(QMdiSubWindow* sub) { followers_.remove(sub); }
    bool follows(QMdiSubWindow* sub) const { return followers_.contains(sub); }

    // The layout text of `sub`'s current geometry (fractions joined by "|").
    QString layoutText(const QMdiSubWindow* sub) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Follower {
        LayoutFractions fractions;
        QRect placed;  // the geometry this object gave the window last
    };
    void setGeometry(QMdiSubWindow* sub, Follower& follower);
    void followArea();

    QMdiArea* area_;
    QWidget* viewport_;
    QHash<QMdiSubWindow*, Follower> followers_;
    bool following_ = false;
    bool areaChangedAgain_ = false;
};

} // namespace qqc
