#pragma once
// What the three editor windows share: their button frames and how a routine
// reports an engine failure.

#include "db/engine.h"
#include "util/std_error.h"

#include <QStringList>

class QPushButton;
class QWidget;

namespace qqc {

// One frame per caption, each with the buttons "Add"/"Delete" (the first)
// or "Set"/"Clear" (the others), named CmdButton_0.. into `buttons`.
QWidget* commandFrames(const QStringList& frameCaptions, QPushButton** buttons, QWidget* parent);

// Runs `body`; an engine failure ends it with "Error n(text) in routine: routine ".
template <typename F>
bool reportFailure(const char* routine, F&& body)
{
    try {
        body();
        return true;
    } catch (const db::DbError& e) {
        ShowRoutineError(e.number(), e.description(), QLatin1String(routine));
    }
    return false;
}

} // namespace qqc
