#pragma once
// The Jet reader's tests: the public Jet databases (../shared/fixtures/jet
// beside the source tree, or QQC_JET_FIXTURES), the reader and its stand-in.
#include "db/jet_staging.h"
#include "jet/jet_stream.h"
#include "support/temp_home.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

#include <map>

namespace qqc::test {

inline QString jetFixture(const QString& name)
{
    QString dir = qEnvironmentVariable("QQC_JET_FIXTURES");
    if (dir.isEmpty())
        dir = sourceDir() + "/../shared/fixtures/jet";
    const QString path = QDir(dir).filePath(name);
    return QFileInfo::exists(path) ? QDir::cleanPath(path) : QString();
}

#define QQC_NEED_JET_FIXTURE(var, name)                                                                    \
    const QString var = ::qqc::test::jetFixture(name);                                                     \
    if (var.isEmpty())                                                                                     \
        GTEST_SKIP() << "the public Jet databases are absent (../shared/fixtures/jet or QQC_JET_FIXTURES)"; \
    if (!QFileInfo::exists(::qqc::test::jetReader()))                                                      \
    GTEST_SKIP() << "quorvelqc-jet-reader is not built (libmdb missing)"

inline QString jetReader() { return binDir() + "/quorvelqc-jet-reader"; }
inline QString jetStandin() { return binDir() + "/quorvelqc-jet-standin"; }

inline QByteArray fileHash(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// A file's whole stream through the real reader, table by table.
struct StreamedFile {
    std::vector<jet::DeclaredTable> declared;
    std::map<QString, jet::TableHead> heads;
    std::map<QString, std::vector<std::vector<jet::Value>>> rows;
    bool refused = false;
    QString detail;
    int column(const QString& table, const char* name) const
    {
        const auto& cols = heads.at(table).columns;
        for (size_t i = 0; i < cols.size(); ++i)
            if (cols[i].name == name)
                return int(i);
        return -1;
    }
};

inline StreamedFile readWithReader(const QString& path)
{
    QProcess reader;
    reader.start(jetReader(), {path});
    EXPECT_TRUE(reader.waitForFinished(60000));
    jet::StreamParser parser;
    const QByteArray bytes = reader.readAllStandardOutput();
    parser.feed(bytes.constData(), bytes.size());
    StreamedFile out;
    QString table;
    jet::StreamParser::Event e;
    while (parser.next(e)) {
        if (e.kind == e.File)
            out.declared = e.tables;
        else if (e.kind == e.Table)
            out.heads[table = QString::fromUtf8(e.table.name)] = e.table;
        else if (e.kind == e.Row)
            out.rows[table].push_back(e.row);
        else if (e.kind == e.Refused)
            out.refused = true, out.detail = e.detail;
    }
    EXPECT_FALSE(parser.failed()) << parser.error().toStdString();
    EXPECT_TRUE(parser.finished());
    return out;
}

} // namespace qqc::test
