#pragma once
// The stream the Jet reader program writes on its stdout and the monitor
// reads: the file's tables with the row counts their definitions declare,
// each table's columns with their types, then its rows with typed values.
//
// Layout (integers little-endian): the 8 bytes "QQCJET1\n", then frames of
// one kind byte, a 32-bit payload length and the payload:
//   'F' file:   u8 format (0 Jet 3, 1 Jet 4, 2.. ACE), u32 tables,
//               per table: text name, i64 declared rows
//   'T' table:  text name, i64 declared rows, i64 auto-number counter (0 none),
//               u16 columns, per column: text name, u8 ColumnType, u8 flags
//   'R' row:    one value per column: u8 ValueTag and its data (i64, f32,
//               f64, or text/blob as u32 length and bytes)
//   'E' end of a table: i64 rows written
//   'Z' end of the stream (nothing may follow)
//   'X' refused: u8 Refusal, text detail (nothing may follow)
// "text" is a u32 length and UTF-8 bytes. A stream that breaks any of this,
// or stops before 'Z' or 'X', is unreadable as a whole.

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <vector>

namespace qqc::jet {

enum class ColumnType : quint8 { Integer = 1, Single, Double, DateTime, Text, Bool, Blob };
enum class ValueTag : quint8 { Null = 0, Integer, Single, Double, Text, Blob };
enum class Refusal : quint8 { NotJet = 1, UnreadableFormat, NotSampleDatabase, ReadError };
constexpr quint8 AutoNumberFlag = 0x01;

struct Column {
    QByteArray name;
    ColumnType type = ColumnType::Text;
    bool autoNumber = false;
};

struct TableHead {
    QByteArray name;
    qint64 declaredRows = 0;
    qint64 autoNumberCounter = 0;
    std::vector<Column> columns;
};

struct Value {
    ValueTag tag = ValueTag::Null;
    qint64 integer = 0;
    double real = 0;      // a Single as its exact float value
    QByteArray bytes;     // text (UTF-8) or blob
};

struct DeclaredTable {
    QByteArray name;
    qint64 declaredRows = 0;
};

// Writes a stream to a C stream (the reader's stdout), buffered.
class StreamWriter {
public:
    explicit StreamWriter(std::FILE* out);
    ~StreamWriter();
    void fileInfo(int format, const std::vector<DeclaredTable>& tables);
    void tableHead(const TableHead& head);
    void beginRow();
    void null();
    void integer(qint64 v);
    void single(float v);
    void real(double v);
    void text(const char* data, qint64 size);
    void blob(const char* data, qint64 size);
    void endRow();
    void tableEnd(qint64 rows);
    void end();
    void refuse(Refusal why, const QByteArray& detail);
    bool flush();

private:
    void frame(char kind);
    void put(const void* data, qint64 size);
    template <typename T> void number(T v) { put(&v, sizeof v); }
    void putText(const char* data, qint64 size);
    std::FILE* out_;
    QByteArray buffer_;
    qint64 frameStart_ = -1;
};

// Reads a stream fed in pieces as they arrive. next() hands out one event
// at a time; after a fault, error() says what was wrong and nothing more is
// handed out.
class StreamParser {
public:
    struct Event {
        enum Kind { File, Table, Row, TableEnd, End, Refused } kind = End;
        int format = 0;
        std::vector<DeclaredTable> tables;   // File
        TableHead table;                     // Table
        std::vector<Value> row;              // Row
        qint64 rows = 0;                     // TableEnd
        Refusal refusal = Refusal::ReadError;
        QString detail;                      // Refused
    };
    void feed(const char* data, qint64 size);
    bool next(Event& event);
    bool failed() const { return !error_.isEmpty(); }
    const QString& error() const { return error_; }
    // True once 'Z' or 'X' was read.
    bool finished() const { return finished_; }
    // Bytes fed that no event has used yet.
    qint64 pending() const { return buffer_.size() - pos_; }

private:
    bool fail(const QString& why);
    bool parse(char kind, const char* p, qint64 size, Event& event);
    QByteArray buffer_;
    qint64 pos_ = 0;
    bool magicSeen_ = false, fileSeen_ = false, finished_ = false;
    int columns_ = -1;   // columns of the open table; -1 between tables
    qint64 rowsInTable_ = 0;
    QString error_;
};

} // namespace qqc::jet
