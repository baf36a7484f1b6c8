#pragma once
// Windows-1252, the code page of the earlier program's text files (settings,
// exchange files), and the UTF-8 check that tells the two apart.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace qqc {

QString fromCp1252(QByteArrayView bytes);
// The text in Windows-1252; a character it cannot hold becomes "?" and sets
// `lossy` (when given).
QByteArray toCp1252(const QString& text, bool* lossy = nullptr);
bool isValidUtf8(QByteArrayView bytes);

} // namespace qqc
