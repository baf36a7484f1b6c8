#pragma once
// A station as the end-to-end tests set it up: a fresh database made from
// the built template, and settings naming it and the unit's serial device.
#include "app/data_window.h"
#include "app/monitor.h"
#include "db/db_fixture.h"
#include "views/ui/frm_data.h"
#include "support/temp_home.h"

#include <QFile>

#include <memory>

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

// Starts `monitor` as the program does from the settings file: the unit's
// line open and the sample grid showing, then the remembered database.
// Call through ASSERT_NO_FATAL_FAILURE.
inline void startStation(Monitor& monitor, std::unique_ptr<frmData>& grid)
{
    monitor.readStartupSettings();
    ASSERT_TRUE(monitor.ReadSettings());
    ASSERT_TRUE(monitor.openSerialLink());
    grid.reset(createDataWindow(monitor));
    grid->show();
    monitor.setWindowOpen(Monitor::DataWindow, true);
    monitor.openDatabaseAtStartup();
}

} // namespace qqc::test
