#pragma once
// The widget side of the locale font: sets a control's font for the user's
// system language (the choice itself is localeFont in util/common.h).

class QWidget;

namespace qqc {

void SetLocaleFont(QWidget& control, int languageId);

} // namespace qqc
