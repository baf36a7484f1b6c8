#pragma once
// Replacing a small file as a whole or not at all.

#include <QByteArray>
#include <QString>

namespace qqc {

// Writes `bytes` to a temporary file beside `path` and renames it over
// `path`. False, with the reason in `error`, when any step fails; the old
// file then stays exactly as it was.
bool SaveFileWhole(const QString& path, const QByteArray& bytes, QString* error = nullptr);

} // namespace qqc
