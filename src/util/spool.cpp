#include "util/spool.h"

#include "util/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <atomic>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace qqc {

namespace {

const QByteArray kMagic = "QuorvelQC spool 1";
const QString kSuffix = QStringLiteral(".qqs");

QByteArray escaped(const QString& value)
{
    QByteArray out;
    for (char c : value.toUtf8()) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

QString unescaped(const QByteArray& value)
{
    QByteArray out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c != '\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const char next = value[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return QString::fromUtf8(out);
}

// Names sort in arrival order; the process id and a sequence keep two
// entries of one millisecond (or of two processes) apart.
QString newFileName(const QDateTime& arrival)
{
    static std::atomic<unsigned> sequence{0};
    return QStringLiteral("%1-%2-%3")
               .arg(arrival.toUTC().toString(QStringLiteral("yyyyMMddTHHmmsszzz")))
               .arg(QCoreApplication::applicationPid())
               .arg(++sequence, 6, 10, QLatin1Char('0'))
           + kSuffix;
}

QString systemError(const char* step, const QString& path)
{
    return QStringLiteral("%1 %2: %3").arg(QLatin1String(step), path, QString::fromLocal8Bit(std::strerror(errno)));
}

#ifdef Q_OS_UNIX
// The whole of `bytes` to a new file, synced, then renamed to `path` and the
// folder synced, so the entry exists whole after a crash or not at all.
bool writeDurably(const QString& folder, const QString& path, const QByteArray& bytes, QString* error)
{
    const QByteArray temp = QFile::encodeName(path + QStringLiteral(".tmp"));
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = systemError("cannot create", QString::fromLocal8Bit(temp));
        return false;
    }
    qsizetype done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error = systemError("cannot write", QString::fromLocal8Bit(temp));
            ok = false;
        } else {
            done += n;
        }
    }
    if (ok && ::fsync(fd) != 0) {
        *error = systemError("cannot sync", QString::fromLocal8Bit(temp));
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        *error = systemError("cannot close", QString::fromLocal8Bit(temp));
        ok = false;
    }
    if (ok && ::rename(temp.constData(), QFile::encodeName(path).constData()) != 0) {
        *error = systemError("cannot rename", path);
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.constData());
        return false;
    }
    // The rename itself is durable only once the folder is synced.
    const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}
#else
bool writeDurably(const QString&, const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(bytes) != bytes.size()
        || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
#endif

} // namespace

QString SpoolEntry::value(const QString& key) const
{
    for (const auto& [k, v] : fields)
        if (k == key)
            return v;
    return QString();
}

Spool::Spool(QString folder) : folder_(std::move(folder)) {}

QByteArray Spool::encode(const SpoolEntry& entry)
{
    QByteArray text = kMagic + '\n';
    text += "kind=" + escaped(entry.kind) + '\n';
    text += "database=" + escaped(entry.database) + '\n';
    text += "arrival=" + QByteArray::number(entry.arrival.toMSecsSinceEpoch()) + '\n';
    for (const auto& [key, value] : entry.fields)
        text += escaped(key) + '=' + escaped(value) + '\n';
    text += "end\n";
    return text;
}

bool Spool::decode(const QByteArray& text, SpoolEntry& entry)
{
    QList<QByteArray> lines = text.split('\n');
    if (lines.size() < 6 || lines[0] != kMagic || !lines.endsWith(QByteArray()) || lines[lines.size() - 2] != "end")
        return false;
    lines = lines.mid(1, lines.size() - 3);
    SpoolEntry e;
    bool hasArrival = false;
    for (const QByteArray& line : lines) {
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            return false;
        const QString key = unescaped(line.left(eq));
        const QByteArray raw = line.mid(eq + 1);
        if (key == QLatin1String("kind") && e.kind.isEmpty()) {
            e.kind = unescaped(raw);
        } else if (key == QLatin1String("database") && e.database.isEmpty()) {
            e.database = unescaped(raw);
        } else if (key == QLatin1String("arrival") && !hasArrival) {
            bool ok = false;
            e.arrival = QDateTime::fromMSecsSinceEpoch(raw.toLongLong(&ok));
            hasArrival = ok;
        } else {
            e.fields.append({key, unescaped(raw)});
        }
    }
    if (e.kind.isEmpty() || e.database.isEmpty() || !hasArrival)
        return false;
    e.file = entry.file;
    entry = std::move(e);
    return true;
}

bool Spool::write(SpoolEntry& entry, QString* error)
{
    QString reason;
    if (!QDir().mkpath(folder_)) {
        reason = QStringLiteral("cannot create the folder %1").arg(folder_);
    } else {
        const QString name = newFileName(entry.arrival);
        if (writeDurably(folder_, QDir(folder_).filePath(name), encode(entry), &reason)) {
            entry.file = name;
            return true;
        }
    }
    if (error)
        *error = reason;
    return false;
}

bool Spool::remove(SpoolEntry& entry, QString* error)
{
    if (entry.file.isEmpty())
        return true;
    QFile file(QDir(folder_).filePath(entry.file));
    if (!file.remove() && file.exists()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    entry.file.clear();
    return true;
}

bool Spool::setAside(SpoolEntry& entry, QString* error)
{
    if (entry.file.isEmpty())
        return true;
    const QString path = QDir(folder_).filePath(entry.file);
    QFile::remove(path + QStringLiteral(".failed"));
    QFile file(path);
    if (!file.rename(path + QStringLiteral(".failed"))) {
        if (error)
            *error = file.errorString();
        return false;
    }
    entry.file.clear();
    return true;
}

std::vector<SpoolEntry> Spool::load(QStringList* unreadable) const
{
    std::vector<SpoolEntry> entries;
    const QDir dir(folder_);
    // QDir::Name sorts the names, and with them the arrivals.
    for (const QString& name : dir.entryList({QStringLiteral("*") + kSuffix}, QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        SpoolEntry entry;
        entry.file = name;
        if (!file.open(QIODevice::ReadOnly) || !decode(file.readAll(), entry)) {
            if (unreadable)
                unreadable->append(name);
            continue;
        }
        entry.found = true;
        entries.push_back(std::move(entry));
    }
    return entries;
}

QString spoolFolder() { return programFile(QStringLiteral("spool")); }

} // namespace qqc
