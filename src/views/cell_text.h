#pragma once
// How the editable grids read what a person typed into a cell, and how they
// show stored numbers and dates. Pure functions; no database, no widget.

#include "util/common.h"

#include <QDate>
#include <QString>
#include <QVariant>

#include <optional>

namespace qqc {

// A date typed as the regional short date (with a two- or four-digit year)
// or as yyyy-mm-dd; nothing for any other text.
std::optional<QDate> cellTextToDate(const QString& text);

// A stored date as "Short Date"; empty for null or a value that is no date.
QString shortDateText(const QVariant& stored);

// The regional short form of 31 December 2026, to show what a date looks like.
QString exampleShortDate();

} // namespace qqc
