#include "support/temp_home.h"

#include "util/program_folder.h"

#include <QFile>

namespace qqc::test {

TempHome::TempHome() : previous_(programFolder()) { setProgramFolder(dir_.path()); }
TempHome::~TempHome() { setProgramFolder(previous_); }

void TempHome::write(const QString& name, const QByteArray& bytes) const
{
    QFile f(file(name));
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

QByteArray TempHome::read(const QString& name) const
{
    QFile f(file(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The environment wins (a test run from another tree); otherwise the folders
// this test program was built for.
QString binDir() { return qEnvironmentVariable("QQC_BIN_DIR", QStringLiteral(QQC_BUILD_BIN_DIR)); }
QString sourceDir() { return qEnvironmentVariable("QQC_SOURCE_DIR", QStringLiteral(QQC_SOURCE_TREE_DIR)); }

} // namespace qqc::test
