#include "support/hex_fixture.h"

#include "support/temp_home.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace qqc::test {

QByteArray hexFixture(const QString& name)
{
    QFile file(sourceDir() + QStringLiteral("/tests/data/") + name);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        ADD_FAILURE() << "cannot read " << file.fileName().toStdString();
        return {};
    }
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QByteArray bytes;
    int lineNumber = 0;
    while (!file.atEnd()) {
        ++lineNumber;
        const QString line = QString::fromUtf8(file.readLine()).section(QLatin1Char('#'), 0, 0);
        for (const QString& token : line.split(blanks, Qt::SkipEmptyParts)) {
            bool ok = false;
            const uint value = token.toUInt(&ok, 16);
            if (!ok || token.size() != 2) {
                ADD_FAILURE() << name.toStdString() << ':' << lineNumber << ": not a hex byte: " << token.toStdString();
                continue;
            }
            bytes.append(char(value));
        }
    }
    return bytes;
}

} // namespace qqc::test
