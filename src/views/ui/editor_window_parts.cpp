#include "views/ui/editor_window_parts.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

namespace qqc {

QWidget* commandFrames(const QStringList& frameCaptions, QPushButton** buttons, QWidget* parent)
{
    // The frames scroll sideways in a window narrower than they are, so the
    // window's minimum is set by its grids, not by its buttons.
    auto* bar = new QScrollArea(parent);
    bar->setObjectName(QStringLiteral("CommandFrames"));
    bar->setFrameShape(QFrame::NoFrame);
    bar->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    bar->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    bar->setWidgetResizable(true);
    auto* content = new QWidget(bar);
    auto* row = new QHBoxLayout(content);
    row->setContentsMargins(0, 0, 0, 0);
    for (int f = 0; f < frameCaptions.size(); ++f) {
        auto* frame = new QGroupBox(frameCaptions[f], content);
        frame->setObjectName(QStringLiteral("Frame_%1").arg(f));
        auto* inner = new QHBoxLayout(frame);
        inner->setContentsMargins(6, 2, 6, 4);
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
    bar->setWidget(content);
    bar->setFixedHeight(content->sizeHint().height() + bar->horizontalScrollBar()->sizeHint().height());
    bar->setMinimumWidth(60);
    return bar;
}

} // namespace qqc
