#include "cli/cli_upgrade.h"

#include "cli/cli_jet.h"

#include "db/engine.h"
#include "db/jet_staging.h"
#include "db/sample_database.h"
#include "db/upgrade.h"
#include "util/program_folder.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

#include <atomic>
#include <csignal>

namespace qqc::cli {

namespace {

std::atomic<bool> interrupted{false};

void print(std::FILE* to, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
    std::fflush(to);
}

} // namespace

InterruptCancels::InterruptCancels()
{
    interrupted = false;
    previous_ = std::signal(SIGINT, [](int) { interrupted = true; });
}

InterruptCancels::~InterruptCancels() { std::signal(SIGINT, previous_); }

bool InterruptCancels::requested() const { return interrupted.load(); }

void printTo(std::FILE* to, const QString& text) { print(to, text); }

ProgressLines::ProgressLines(const Options& o, std::FILE* err)
    : err_(err), quiet_(o.quiet), terminal_(!o.quiet && isatty(fileno(err)))
{
}

void ProgressLines::show(const db::UpgradeProgress& p)
{
    if (quiet_)
        return;
    if (p.status != lastStatus_) {
        if (terminal_ && !lastStatus_.isEmpty())
            print(err_, QStringLiteral("\n"));
        lastStatus_ = p.status;
        print(err_, p.status + (terminal_ ? QString() : QStringLiteral("\n")));
    }
    if (terminal_ && p.records > 0)
        print(err_, QStringLiteral("\r%1 %2 of %3").arg(p.status).arg(p.record).arg(p.records));
}

void ProgressLines::finish()
{
    if (terminal_ && !lastStatus_.isEmpty())
        print(err_, QStringLiteral("\n"));
}

QString olderLayoutRefusal(const QString& path)
{
    if (db::isJetFile(path))
        return QStringLiteral("%1 is a Jet database; convert it first: quorvelqc-cli upgrade %1").arg(path);
    try {
        const int version = db::readLayoutVersion(path);
        if (version < db::CurrentLayoutVersion)
            return QStringLiteral("%1 has an older layout (version %2); upgrade it first: quorvelqc-cli upgrade %1")
                .arg(path)
                .arg(version);
    } catch (const db::DbError&) {
    }
    return QString();
}

int runUpgrade(const Options& o, std::FILE* err)
{
    const auto warn = [err](const QString& text) { print(err, QStringLiteral("quorvelqc-cli: %1\n").arg(text)); };
    setProgramFolder(ChooseProgramFolder(o.home, qEnvironmentVariable("QUORVELQC_HOME"),
                                         QCoreApplication::applicationDirPath(),
                                         QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)));
    const QString path = o.upgradeFile;
    if (!QFileInfo(path).isFile()) {
        warn(QStringLiteral("no database \"%1\"").arg(path));
        return 1;
    }
    if (db::isJetFile(path))
        return runJetConversion(o, err);
    if (!o.out.isEmpty()) {
        warn(QStringLiteral("--out is for a Jet file; %1 is upgraded in place").arg(path));
        return 1;
    }
    int version = 0;
    try {
        version = db::readLayoutVersion(path);
    } catch (const db::DbError& e) {
        warn(QStringLiteral("cannot upgrade %1: %2 (error %3)").arg(path, e.description()).arg(e.number()));
        return 1;
    }
    if (version > db::CurrentLayoutVersion) {
        warn(QStringLiteral("%1 was made by a newer program (layout %2)").arg(path).arg(version));
        return 1;
    }
    if (version == db::CurrentLayoutVersion) {
        warn(QStringLiteral("%1 already has the current layout").arg(path));
        return 0;
    }

    db::UpgradeRequest request;
    request.source = request.destination = path;
    request.templatePath = db::templatePath();
    ProgressLines lines(o, err);
    request.progress = [&lines](const db::UpgradeProgress& p) { lines.show(p); };
    InterruptCancels cancels;
    request.cancelRequested = [&cancels] { return cancels.requested(); };
    const db::UpgradeResult result = db::upgradeDatabase(request);
    lines.finish();

    switch (result.outcome) {
    case db::UpgradeResult::NoSpace:
        warn(QStringLiteral("not enough disk space to upgrade %1: %2 KB needed, %3 free")
                 .arg(path)
                 .arg(result.requiredBytes / 1024)
                 .arg(result.freeBytes < 0 ? QStringLiteral("unknown") : QString::number(result.freeBytes / 1024) + QStringLiteral(" KB")));
        return 1;
    case db::UpgradeResult::Cancelled:
        warn(QStringLiteral("cancelled; %1 is unchanged").arg(path));
        return 1;
    case db::UpgradeResult::Failed:
        warn(QStringLiteral("upgrade failed, %1 is unchanged: %2 (error %3)%4")
                 .arg(path, result.error)
                 .arg(result.errorNumber)
                 .arg(result.summary.backupPath.isEmpty() ? QString()
                                                          : QStringLiteral("; backup: ") + result.summary.backupPath));
        return 1;
    case db::UpgradeResult::Done:
        break;
    }
    print(err, QStringLiteral("Upgraded %1 from layout %2\n").arg(path).arg(result.summary.sourceVersion));
    for (const QString& line : result.summary.lines())
        print(err, QStringLiteral("  %1\n").arg(line));
    try {
        return db::readLayoutVersion(path) == db::CurrentLayoutVersion ? 0 : 1;
    } catch (const db::DbError& e) {
        warn(QStringLiteral("%1 cannot be read after the upgrade: %2").arg(path, e.description()));
        return 1;
    }
}

} // namespace qqc::cli
