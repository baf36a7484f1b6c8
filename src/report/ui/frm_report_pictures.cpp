// frmReport: the picture slots Img(0..2) and their menu mnuImgMain. A
// slot shows the file its Images row names in the Img folder; adding a
// picture chosen elsewhere copies it there first.
#include "report/ui/frm_report.h"

#include "db/engine.h"
#include "db/sample_edits.h"
#include "report/report_pictures.h"
#include "util/common.h"
#include "util/prompter.h"
#include "util/std_error.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenu>

namespace qqc::report {

void frmReport::clearPictures()
{
    const bool on = settings_ && settings_().imageFlag;
    for (QLabel* slot : Img) {
        slot->clear();
        slot->setVisible(on);
    }
}

void frmReport::showPictures(bool announce)
{
    const PageInput in = settings_ ? settings_() : PageInput{};
    for (size_t i = 0; i < Img.size(); ++i) {
        Img[i]->clear();
        Img[i]->setVisible(in.imageFlag);
        const QString& name = data_.imageFiles[i];
        if (!in.imageFlag || name.isEmpty())
            continue;
        const QString file = pictureFile(in.imageFolder, name);
        QImage picture;
        if (file.isEmpty() || !picture.load(file)) {
            if (announce)
                MessageBoxItems(QStringLiteral("Image file not found: $"), MsgStyle::Ok,
                                {QDir::toNativeSeparators(QDir(in.imageFolder).filePath(name))});
            continue;
        }
        Img[i]->setPixmap(QPixmap::fromImage(picture));
    }
}

void frmReport::Img_MouseDown(int slot, const QPoint& globalPos)
{
    if (db_ == nullptr || sampleId_ == 0 || slot < 0 || slot >= int(Img.size()))
        return;
    QString used;
    try {
        used = db::imageFileOf(*db_, sampleId_, slot);
    } catch (const db::DbError& e) {
        ShowRoutineError(e.number(), e.description(), QStringLiteral("Img_MouseDown"));
        return;
    }
    mnuAddImg->setEnabled(used.isEmpty());
    mnuDelImg->setEnabled(!used.isEmpty());
    imageSlot_ = slot;
    mnuImgMain->popup(globalPos);
}

void frmReport::mnuAddImg_Click()
{
    if (db_ == nullptr || sampleId_ == 0)
        return;
    const qint32 id = sampleId_;
    const int slot = imageSlot_;
    const QString folder = settings_ ? settings_().imageFolder : QString();
    if (folder.isEmpty())
        return;
    if (!QDir(folder).exists()) {
        if (MessageBoxItems(QStringLiteral("Directory: [$] not found.||Do you wish to create?"), MsgStyle::YesNo,
                            {QDir::toNativeSeparators(folder)})
            != Answer::Yes)
            return;   // without the folder there is nowhere to keep the picture
        if (!QDir().mkpath(folder)) {
            MessageBoxItems(QStringLiteral("The folder $ could not be created."), MsgStyle::Exclamation,
                            {QDir::toNativeSeparators(folder)});
            return;
        }
    }
    FileDialogRequest request;
    request.title = QStringLiteral("Select Image");
    request.folder = folder;
    request.filter = QStringLiteral("JPEG Images (*.jpg);;Bitmaps (*.bmp);;All Files (*)");
    const QString chosen = prompter().openFileName(request);
    if (chosen.isEmpty())
        return;
    const PlacedPicture placed = placePicture(chosen, folder);
    const QString chosenText = QDir::toNativeSeparators(chosen);
    const QString existingText = QDir::toNativeSeparators(placed.existing);
    switch (placed.outcome) {
    case PlacedPicture::NameTooLong:
        MessageBoxEx(QStringLiteral("The file name is too long!"));
        return;
    case PlacedPicture::NotAPicture:
        MessageBoxItems(QStringLiteral("Image file not found: $"), MsgStyle::Ok, {chosenText});
        return;
    case PlacedPicture::NameTaken:
        MessageBoxItems(QStringLiteral("$ cannot be added:|a different file of that name is already in the picture "
                                       "folder: $"),
                        MsgStyle::Exclamation, {chosenText, existingText});
        return;
    case PlacedPicture::CopyFailed:
        MessageBoxItems(QStringLiteral("$ could not be copied to $"), MsgStyle::Exclamation,
                        {chosenText, existingText});
        return;
    case PlacedPicture::Placed:
        break;
    }
    try {
        db::setImageFile(*db_, id, slot, placed.name);
    } catch (const db::DbError& e) {
        ShowRoutineError(e.number(), e.description(), QStringLiteral("mnuAddImg_Click"));
        return;
    }
    if (id != sampleId_)
        return;
    data_.imageFiles[size_t(slot)] = placed.name;
    showPictures(false);
}

void frmReport::mnuDelImg_Click()
{
    if (db_ == nullptr || sampleId_ == 0)
        return;
    const qint32 id = sampleId_;
    const int slot = imageSlot_;
    if (MessageBoxEx(QStringLiteral("Are you sure you want to delete this image?  Note, the database entry for the "
                                    "file is removed, but the file remains on disk."),
                     MsgStyle::YesNo)
        != Answer::Yes)
        return;
    try {
        db::removeImageFile(*db_, id, slot);
    } catch (const db::DbError& e) {
        ShowRoutineError(e.number(), e.description(), QStringLiteral("mnuDelImg_Click"));
        return;
    }
    if (id != sampleId_)
        return;
    data_.imageFiles[size_t(slot)].clear();
    Img[size_t(slot)]->clear();
}

} // namespace qqc::report
