#pragma once
// Frames written by hand as hex text under tests/data: bytes as pairs of hex
// digits separated by blanks or line ends, "#" starting a comment that runs
// to the end of the line.

#include <QByteArray>
#include <QString>

namespace qqc::test {

// The bytes of tests/data/<name>; a missing file or a token that is not one
// byte of hex fails the calling test.
QByteArray hexFixture(const QString& name);

} // namespace qqc::test
