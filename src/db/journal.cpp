// The journal a database file keeps and the file system it sits on: read
// from the file's header without SQLite, probed from the folder, and set on
// a connection that holds the file alone.
#include "db/connection.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QStorageInfo>

namespace qqc::db {

FileSystemKind probeFileSystem(const QString& folder)
{
    static const QStringList local = {
        QStringLiteral("ext2"), QStringLiteral("ext3"), QStringLiteral("ext4"), QStringLiteral("xfs"),
        QStringLiteral("btrfs"), QStringLiteral("zfs"), QStringLiteral("f2fs"), QStringLiteral("tmpfs"),
        QStringLiteral("jfs"), QStringLiteral("bcachefs"), QStringLiteral("overlay"), QStringLiteral("apfs"),
        QStringLiteral("hfs"), QStringLiteral("ntfs"), QStringLiteral("refs")};
    const QStorageInfo storage(folder);
    const bool known = storage.isValid() && local.contains(QString::fromLatin1(storage.fileSystemType()).toLower());
    return known ? FileSystemKind::Local : FileSystemKind::Shared;
}

FileHeader readFileHeader(const QString& path)
{
    FileHeader header;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return header;
    const QByteArray bytes = file.read(100);
    static const QByteArray magic("SQLite format 3\0", 16);
    if (bytes.size() < 100 || !bytes.startsWith(magic))
        return header;
    header.sqlite = true;
    // Bytes 18 and 19, the write and read format versions: 2 in a file that
    // keeps the write-ahead log.
    if (bytes[18] == 2 || bytes[19] == 2)
        header.journal = JournalMode::Wal;
    return header;
}

void Database::setJournal(const QString& path, JournalMode mode, const OpenOptions& options)
{
    OpenOptions alone = options;
    alone.access = OpenOptions::Access::Exclusive;
    Database::open(path, alone)->setStoredJournal(mode);
}

void Database::setStoredJournal(JournalMode mode)
{
    conn_->check();
    // A statement still reading holds a read transaction, in which SQLite
    // refuses the change.
    conn_->statements.clear();
    const QString wanted = mode == JournalMode::Wal ? QStringLiteral("WAL") : QStringLiteral("DELETE");
    QSqlQuery q(conn_->db);
    if (!q.exec(QStringLiteral("PRAGMA journal_mode=%1").arg(wanted)))
        throw fromSqlError(q.lastError(), conn_->path);
    // SQLite answers with the mode it kept: the old one when it could not
    // change it (another connection holds the file).
    const QString kept = q.next() ? q.value(0).toString().toUpper() : QString();
    q.finish();
    if (kept != wanted)
        throw DbError(DbErr::FileInUse, QStringLiteral("Could not use '%1'; file already in use.").arg(conn_->path));
    conn_->journalMode = kept;
}

} // namespace qqc::db
