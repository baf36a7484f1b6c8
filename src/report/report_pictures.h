#pragma once
// The pictures a report shows: files of the Img folder named by the
// sample's Images rows. A picture chosen elsewhere is copied into the
// folder, so the bare name the row keeps finds it at every later display.

#include <QString>

namespace qqc::report {

// The longest bare file name an Images row keeps.
constexpr int MaxPictureName = 32;

struct PlacedPicture {
    enum Outcome {
        Placed,       // `name` is in the folder: the chosen file, a copy of it, or an identical file
        NameTooLong,  // more than MaxPictureName characters
        NotAPicture,  // the file does not load as a picture
        NameTaken,    // a different file of that name is in the folder (`existing`)
        CopyFailed,   // the copy could not be written (`existing` is its path)
    } outcome = Placed;
    QString name;      // the bare file name
    QString existing;  // the folder's file of that name
};

// Places the file at `chosen` into `folder` (which must exist).
PlacedPicture placePicture(const QString& chosen, const QString& folder);

} // namespace qqc::report
