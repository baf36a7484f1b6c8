#include "views/ui/editor_window_parts.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>

namespace qqc {

QHBoxLayout* commandFrames(const QStringList& frameCaptions, QPushButton** buttons, QWidget* parent)
{
    auto* row = new QHBoxLayout;
    for (int f = 0; f < frameCaptions.size(); ++f) {
        auto* frame = new QGroupBox(frameCaptions[f], parent);
        frame->setObjectName(QStringLiteral("Frame_%1").arg(f));
        auto* inner = new QHBoxLayout(frame);
        for (int b = 0; b < 2; ++b) {
            const int index = f * 2 + b;
            const QString caption = f == 0 ? (b == 0 ? QStringLiteral("Add") : QStringLiteral("Delete"))
                                           : (b == 0 ? QStringLiteral("Set") : QStringLiteral("Clear"));
            auto* button = new QPushButton(caption, frame);
            button->setObjectName(QStringLiteral("CmdButton_%1").arg(index));
            inner->addWidget(button);
            buttons[index] = button;
        }
        row->addWidget(frame);
    }
    row->addStretch();
    // The frame places its windows by saved fractions: a window may be made
    // smaller than its buttons need (they are clipped, not squeezed out).
    parent->setMinimumSize(120, 90);
    return row;
}

} // namespace qqc
