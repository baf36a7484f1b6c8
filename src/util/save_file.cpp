#include "util/save_file.h"

#include <QSaveFile>

namespace qqc {

bool SaveFileWhole(const QString& path, const QByteArray& bytes, QString* error)
{
    // Unbuffered: QSaveFile::commit() does not check the flush of its own
    // write buffer, so a late write failure (a full disk) would still rename
    // a cut file over the good one. Written directly, every failure shows in
    // write() and the temporary file is dropped.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(bytes) != bytes.size()
        || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace qqc
