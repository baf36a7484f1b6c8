#pragma once
// A temporary program folder for one test: set as the program folder while
// the object lives, removed afterwards.

#include <QString>
#include <QTemporaryDir>

namespace qqc::test {

class TempHome {
public:
    TempHome();
    ~TempHome();
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;

private:
    QTemporaryDir dir_;
    QString previous_;
};

// <build>/bin, where the programs under test (quorvelqc, quorvelqc-sim) are.
QString binDir();
// The source tree (fixtures under tests/data).
QString sourceDir();

} // namespace qqc::test
