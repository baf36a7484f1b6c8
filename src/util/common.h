#pragma once
// Small routines shared by every subsystem: the message routine with "$"
// place-holders, settings-text cleaning, device type names, path helpers,
// null-safe conversions, a sort and the debug trace writer.

#include <QFont>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace qqc {

// "|" becomes CR LF, "+" a tab, then each "$" takes the next item of the
// "|"-separated substitution list. Shown through the program's Prompter.
int MessageBoxEx(const QString& prompt, int buttons = 0, const QString& substitutions = QString(),
                 const QString& title = QString());
// As MessageBoxEx, but each "$" takes the next of `items` literally: a "|"
// or "$" inside an item (a name as stored) stays as it is.
int MessageBoxItems(const QString& prompt, int buttons, const QStringList& items, const QString& title = QString());
// Consumes items from `list` (see MessageBoxEx).
QString SubstituteParams(const QString& templ, QString& list);
QString CleanSettingText(const QString& text);
QString DeviceTypeName(int index);
// Splits at the last "\" (or "/"); both outputs unchanged when there is none.
void SplitPath(const QString& path, QString& folder, QString& fileName);
// folder must end in a separator; e.g. folder + "new00001.mdb".
QString NextNumberedFileName(const QString& folder, const QString& prefix, const QString& extension);
QString NullToText(const QVariant& value);
QVariant TextToNullable(const QString& text);
// True when `text` typed into a cell reads as a finite number (leading and
// trailing blanks allowed), in the C form or the user's regional form;
// `value` receives it.
bool gridTextIsNumeric(const QString& text, double* value = nullptr);
void SortSingles(int n, float* values);
// Appends "date time,text" to the program's log file when `enabled`.
void DebugLog(const QString& text, bool enabled);
// The font a control showing `current` gets for a system language:
// a family of its own for the East-Asian languages, nothing to change for
// Korean and US English, the default font for every other language.
// SetLocaleFont (util/ui/locale_font.h) applies it to a control.
std::optional<QFont> localeFont(const QFont& current, int languageId);

} // namespace qqc
