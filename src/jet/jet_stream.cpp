#include "jet/jet_stream.h"

#include <cstring>

namespace qqc::jet {

namespace {

constexpr char Magic[] = "QQCJET1\n";
constexpr qint64 MagicSize = 8;
constexpr qint64 HeaderSize = 5;
// The largest frame accepted: far above any memo a sample database holds,
// low enough that a garbage length is recognised instead of awaited.
constexpr qint64 MaxFrame = qint64(256) << 20;
constexpr qint64 FlushAt = qint64(1) << 16;

// Reads a payload with bounds checks; any read past its end marks it bad.
class Cursor {
public:
    Cursor(const char* p, qint64 size) : p_(p), end_(p + size) {}
    template <typename T> T number()
    {
        T v{};
        if (end_ - p_ < qint64(sizeof v)) {
            bad_ = true;
            return v;
        }
        std::memcpy(&v, p_, sizeof v);
        p_ += sizeof v;
        return v;
    }
    QByteArray bytes()
    {
        const quint32 n = number<quint32>();
        if (bad_ || end_ - p_ < qint64(n)) {
            bad_ = true;
            return {};
        }
        QByteArray b(p_, qsizetype(n));
        p_ += n;
        return b;
    }
    bool bad() const { return bad_; }
    bool atEnd() const { return p_ == end_; }

private:
    const char* p_;
    const char* end_;
    bool bad_ = false;
};

} // namespace

StreamWriter::StreamWriter(std::FILE* out) : out_(out)
{
    buffer_.reserve(FlushAt * 2);
    buffer_.append(Magic, MagicSize);
}

StreamWriter::~StreamWriter() { flush(); }

void StreamWriter::put(const void* data, qint64 size) { buffer_.append(static_cast<const char*>(data), qsizetype(size)); }

void StreamWriter::putText(const char* data, qint64 size)
{
    number(quint32(size));
    put(data, size);
}

void StreamWriter::frame(char kind)
{
    put(&kind, 1);
    frameStart_ = buffer_.size();
    number(quint32(0));
}

// Fills in the open frame's length; flushes when enough is buffered.
void StreamWriter::endRow()
{
    const quint32 length = quint32(buffer_.size() - frameStart_ - 4);
    std::memcpy(buffer_.data() + frameStart_, &length, 4);
    frameStart_ = -1;
    if (buffer_.size() >= FlushAt)
        flush();
}

void StreamWriter::fileInfo(int format, const std::vector<DeclaredTable>& tables)
{
    frame('F');
    number(quint8(format));
    number(quint32(tables.size()));
    for (const auto& t : tables) {
        putText(t.name.constData(), t.name.size());
        number(qint64(t.declaredRows));
    }
    endRow();
}

void StreamWriter::tableHead(const TableHead& head)
{
    frame('T');
    putText(head.name.constData(), head.name.size());
    number(qint64(head.declaredRows));
    number(qint64(head.autoNumberCounter));
    number(quint16(head.columns.size()));
    for (const auto& c : head.columns) {
        putText(c.name.constData(), c.name.size());
        number(quint8(c.type));
        number(quint8(c.autoNumber ? AutoNumberFlag : 0));
    }
    endRow();
}

void StreamWriter::beginRow() { frame('R'); }
void StreamWriter::null() { number(quint8(ValueTag::Null)); }
void StreamWriter::integer(qint64 v)
{
    number(quint8(ValueTag::Integer));
    number(v);
}
void StreamWriter::single(float v)
{
    number(quint8(ValueTag::Single));
    number(v);
}
void StreamWriter::real(double v)
{
    number(quint8(ValueTag::Double));
    number(v);
}
void StreamWriter::text(const char* data, qint64 size)
{
    number(quint8(ValueTag::Text));
    putText(data, size);
}
void StreamWriter::blob(const char* data, qint64 size)
{
    number(quint8(ValueTag::Blob));
    putText(data, size);
}

void StreamWriter::tableEnd(qint64 rows)
{
    frame('E');
    number(rows);
    endRow();
}

void StreamWriter::end()
{
    frame('Z');
    endRow();
    flush();
}

void StreamWriter::refuse(Refusal why, const QByteArray& detail)
{
    frame('X');
    number(quint8(why));
    putText(detail.constData(), detail.size());
    endRow();
    flush();
}

bool StreamWriter::flush()
{
    if (buffer_.isEmpty())
        return true;
    const bool ok = std::fwrite(buffer_.constData(), 1, size_t(buffer_.size()), out_) == size_t(buffer_.size());
    buffer_.clear();
    return std::fflush(out_) == 0 && ok;
}

void StreamParser::feed(const char* data, qint64 size)
{
    if (failed())
        return;
    // Drop what was used before growing the buffer.
    if (pos_ > 0 && pos_ >= buffer_.size() / 2) {
        buffer_.remove(0, qsizetype(pos_));
        pos_ = 0;
    }
    buffer_.append(data, qsizetype(size));
}

bool StreamParser::fail(const QString& why)
{
    if (error_.isEmpty())
        error_ = why;
    return false;
}

bool StreamParser::next(Event& event)
{
    if (failed())
        return false;
    if (!magicSeen_) {
        const qint64 have = std::min(pending(), MagicSize);
        if (std::memcmp(buffer_.constData() + pos_, Magic, size_t(have)) != 0)
            return fail(QStringLiteral("the reader wrote something that is not a table stream"));
        if (have < MagicSize)
            return false;
        pos_ += MagicSize;
        magicSeen_ = true;
    }
    if (pending() < HeaderSize)
        return false;
    if (finished_)
        return fail(QStringLiteral("the reader wrote past the end of its stream"));
    const char* p = buffer_.constData() + pos_;
    quint32 length = 0;
    std::memcpy(&length, p + 1, 4);
    if (qint64(length) > MaxFrame)
        return fail(QStringLiteral("the reader's stream holds a frame of %1 bytes").arg(length));
    if (pending() < HeaderSize + qint64(length))
        return false;
    const char kind = p[0];
    pos_ += HeaderSize + length;
    return parse(kind, p + HeaderSize, length, event);
}

bool StreamParser::parse(char kind, const char* p, qint64 size, Event& event)
{
    Cursor in(p, size);
    const bool inTable = columns_ >= 0;
    if (kind != 'F' && kind != 'X' && !fileSeen_)
        return fail(QStringLiteral("the reader's stream does not start with the file's table list"));
    switch (kind) {
    case 'F':
        if (fileSeen_)
            return fail(QStringLiteral("the reader's stream lists the tables twice"));
        event.kind = Event::File;
        event.format = in.number<quint8>();
        event.tables.resize(std::min<quint32>(in.number<quint32>(), quint32(size / 12)));
        for (auto& t : event.tables) {
            t.name = in.bytes();
            t.declaredRows = in.number<qint64>();
        }
        fileSeen_ = true;
        break;
    case 'T': {
        if (inTable)
            return fail(QStringLiteral("the reader's stream starts a table inside another"));
        event.kind = Event::Table;
        TableHead& head = event.table;
        head.name = in.bytes();
        head.declaredRows = in.number<qint64>();
        head.autoNumberCounter = in.number<qint64>();
        head.columns.resize(in.number<quint16>());
        for (auto& c : head.columns) {
            c.name = in.bytes();
            const quint8 type = in.number<quint8>();
            if (type < quint8(ColumnType::Integer) || type > quint8(ColumnType::Blob))
                return fail(QStringLiteral("the reader's stream names an unknown column type %1").arg(type));
            c.type = ColumnType(type);
            c.autoNumber = (in.number<quint8>() & AutoNumberFlag) != 0;
        }
        columns_ = int(head.columns.size());
        rowsInTable_ = 0;
        break;
    }
    case 'R':
        if (!inTable)
            return fail(QStringLiteral("the reader's stream holds a row outside a table"));
        event.kind = Event::Row;
        event.row.resize(size_t(columns_));
        for (Value& v : event.row) {
            const quint8 tag = in.number<quint8>();
            v.tag = ValueTag(tag);
            switch (v.tag) {
            case ValueTag::Null:
                break;
            case ValueTag::Integer:
                v.integer = in.number<qint64>();
                break;
            case ValueTag::Single:
                v.real = double(in.number<float>());
                break;
            case ValueTag::Double:
                v.real = in.number<double>();
                break;
            case ValueTag::Text:
            case ValueTag::Blob:
                v.bytes = in.bytes();
                break;
            default:
                return fail(QStringLiteral("the reader's stream holds an unknown value tag %1").arg(tag));
            }
        }
        ++rowsInTable_;
        break;
    case 'E':
        if (!inTable)
            return fail(QStringLiteral("the reader's stream ends a table it never started"));
        event.kind = Event::TableEnd;
        event.rows = in.number<qint64>();
        if (!in.bad() && event.rows != rowsInTable_)
            return fail(QStringLiteral("the reader's stream says %1 rows but holds %2").arg(event.rows).arg(rowsInTable_));
        columns_ = -1;
        break;
    case 'Z':
        if (inTable)
            return fail(QStringLiteral("the reader's stream ends inside a table"));
        event.kind = Event::End;
        finished_ = true;
        break;
    case 'X': {
        event.kind = Event::Refused;
        const quint8 why = in.number<quint8>();
        if (why < quint8(Refusal::NotJet) || why > quint8(Refusal::ReadError))
            return fail(QStringLiteral("the reader's stream holds an unknown refusal %1").arg(why));
        event.refusal = Refusal(why);
        event.detail = QString::fromUtf8(in.bytes());
        finished_ = true;
        break;
    }
    default:
        return fail(QStringLiteral("the reader wrote an unknown frame (0x%1)").arg(quint8(kind), 2, 16, QLatin1Char('0')));
    }
    if (in.bad() || !in.atEnd())
        return fail(QStringLiteral("the reader's stream holds a damaged frame"));
    return true;
}

} // namespace qqc::jet
