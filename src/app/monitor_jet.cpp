// Opening a Jet or ACE database: it is converted into a new database of
// this program, which then opens and becomes the remembered database. The
// Jet file itself is never changed.
#include "app/monitor.h"

#include "config/settings.h"
#include "db/jet_staging.h"
#include "db/sample_database.h"
#include "util/common.h"
#include "util/prompter.h"

#include <QFileInfo>

namespace qqc {

int Monitor::openJetDatabase(const QString& jetPath)
{
    const QString title = QStringLiteral("Database Selection");
    // Not converted: the Jet file stays the remembered database, so the next
    // start offers the conversion again.
    const auto notConverted = [this] {
        dbPath_.clear();
        emit databasePathChanged(QString());
        return 1;
    };
    if (!jetConverter_) {
        MessageBoxEx(QStringLiteral(" $ is a Jet database and must be converted before it can be opened. "),
                     MsgStyle::Exclamation, jetPath, title);
        return notConverted();
    }
    FileDialogRequest request;
    request.title = QStringLiteral("Name for the Converted Database");
    request.folder = QFileInfo(jetPath).absolutePath();
    request.fileName = QFileInfo(db::defaultConvertedPath(jetPath)).fileName();
    request.filter = QStringLiteral("Databases (*.mdb);;All Files (*)");
    const QString destination = prompter().saveFileName(request);
    if (destination.isEmpty())
        return notConverted();
    if (QFileInfo(destination).absoluteFilePath() == QFileInfo(jetPath).absoluteFilePath()) {
        MessageBoxEx(QStringLiteral(" The converted database needs a name of its own; $ is not changed. "),
                     MsgStyle::Exclamation, jetPath, title);
        return notConverted();
    }
    if (const QString lock = db::jetLockFile(jetPath); !lock.isEmpty()) {
        const int answer = MessageBoxEx(
            QStringLiteral(" $ is open on another station (its lock file is beside it): what is read may be "
                           "changing meanwhile. | Convert it anyway? "),
            MsgStyle::YesNo | MsgStyle::Exclamation, jetPath, title);
        if (answer != Answer::Yes)
            return notConverted();
    }
    upgrading_ = destination;
    const UpgradeOutcome outcome = jetConverter_(db::templatePath(), jetPath, destination);
    upgrading_.clear();
    if (outcome == UpgradeOutcome::EndProgram) {
        emit shutdownRequested();
        return 1;
    }
    if (outcome == UpgradeOutcome::NotUpgraded)
        return notConverted();
    const int result = OpenSampleDatabase(destination);
    if (result == 0)
        DatabaseSettings::writeFile(iniFile(), dbPath_);
    return result;
}

} // namespace qqc
