#include "report/report_pictures.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace qqc::report {

namespace {

QByteArray digestOf(const QString& path)
{
    QFile f(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!f.open(QIODevice::ReadOnly) || !hash.addData(&f))
        return {};
    return hash.result();
}

} // namespace

PlacedPicture placePicture(const QString& chosen, const QString& folder)
{
    PlacedPicture r;
    const QFileInfo source(chosen);
    r.name = source.fileName();
    r.existing = QDir(folder).filePath(r.name);
    if (r.name.size() > MaxPictureName) {
        r.outcome = PlacedPicture::NameTooLong;
        return r;
    }
    if (QImageReader(chosen).read().isNull()) {
        r.outcome = PlacedPicture::NotAPicture;
        return r;
    }
    const QFileInfo target(r.existing);
    if (target.exists()) {
        // The chosen file itself, or the same picture chosen from elsewhere.
        const bool same = target.canonicalFilePath() == source.canonicalFilePath()
                          || (target.size() == source.size() && digestOf(r.existing) == digestOf(chosen)
                              && !digestOf(chosen).isEmpty());
        r.outcome = same ? PlacedPicture::Placed : PlacedPicture::NameTaken;
        return r;
    }
    if (!QFile::copy(chosen, r.existing))
        r.outcome = PlacedPicture::CopyFailed;
    return r;
}

} // namespace qqc::report
