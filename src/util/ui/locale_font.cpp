#include "util/ui/locale_font.h"

#include "util/common.h"

#include <QWidget>

namespace qqc {

void SetLocaleFont(QWidget& control, int languageId)
{
    if (const std::optional<QFont> font = localeFont(control.font(), languageId))
        control.setFont(*font);
}

} // namespace qqc
