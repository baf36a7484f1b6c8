#pragma once
// A station as the end-to-end tests set it up: a fresh database made from
// the built template, and settings naming it and the unit's serial device.
#include "db/db_fixture.h"
#include "support/temp_home.h"

#include <QFile>

namespace qqc::test {

inline QString copyTemplate(const TempHome& home, const QString& name)
{
    const QString path = home.file(name);
    EXPECT_TRUE(QFile::copy(builtTemplate(), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return path;
}

// The settings file's text for the unit on `device` and the database `dbPath`.
inline QByteArray stationSettings(const QString& device, const QString& dbPath)
{
    return "[COMM]\r\nPORT=1\r\nDEVICE=" + device.toUtf8() + "\r\n[Database]\r\nFile=" + dbPath.toUtf8();
}

} // namespace qqc::test
