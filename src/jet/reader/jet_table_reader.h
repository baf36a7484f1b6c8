#pragma once
// Reads a Jet or ACE file with libmdb and writes every user table to a jet
// stream (jet/jet_stream.h): the table list with the row counts the table
// definitions declare, then each table's columns and rows. Refuses (an 'X'
// frame) a file that is not a Jet file and a format libmdb cannot read.
// Whether the tables make a sample database is the reading side's question.

#include "jet/jet_stream.h"

#include <QByteArray>

namespace qqc::jet {

// The stored date text ("yyyy-MM-ddTHH:mm:ss") of a Jet date value, to the
// nearest second; empty when the value is no date.
QByteArray jetDateText(double value);

// Returns the process exit code: 0 when the stream was written whole (a
// refusal included), 3 when stdout failed.
int readJetFile(const char* path, StreamWriter& out);

} // namespace qqc::jet
