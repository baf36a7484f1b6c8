#pragma once
// Frame builders for the unit's side of the link: every message the unit
// sends, as the bytes on the wire ("<S>", code byte, payload, "<E>"). Used by
// the simulator program and, in-process, by the tests.

#include "core/record.h"

#include <QByteArray>
#include <QString>

namespace qqc::sim {

QByteArray frame(char code, const QByteArray& payload);

QByteArray statusFrame(int code);                           // "K"
QByteArray stateFrame(int state, int variant, int count);   // "S"
QByteArray dielFrame(int diel100);                          // "F", big-endian
QByteArray firmwareFrame(char major, char minor, char revision);  // "I"
QByteArray errorFrame(const QByteArray& text);              // "X"
// "C": four big-endian words and two single bytes.
QByteArray calibrationFrame(int freq220, int freq300, int diel220, int diel300, int extra1 = 0, int extra2 = 0);

// Sign-magnitude form of v (|v| below 32768): v itself when v >= 0,
// otherwise 32768 + |v|.
int toSignMagnitude(int v);

// The 774 payload bytes of a "D" frame for `record` (bytes 1..774 after the
// code byte). Values are cut to what the wire can carry: raw readings and
// calibration to 16 bits, signed values to sign-magnitude.
QByteArray encodeTestPayload(const TestRecord& record);
QByteArray testFrame(const TestRecord& record);

// Whether `bytes` holds the end tag "<E>" (a payload must not).
bool containsEndTag(const QByteArray& bytes);

// When the payload of `record` holds the end tag, moves one reading that
// supplies a byte of it by one count and returns true; false when the payload
// is clean or the tag lies outside the readings.
bool nudgeOffEndTag(TestRecord& record);
// Nudges raw readings of `record` by one count until its payload holds no end
// tag, as a unit must; returns the number of readings changed.
int avoidEndTag(TestRecord& record);

} // namespace qqc::sim
