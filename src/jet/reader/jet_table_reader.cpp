#include "jet_table_reader.h"

#include "util/ole_date.h"

#include <QDateTime>

#include <mdbtools.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace qqc::jet {

namespace {

constexpr int RowOffsetMask = 0x1fff;
// mdb_ole_read_full copies chunks of up to 64 bind sizes into the bound buffer.
constexpr size_t OleBufferSize = size_t(MDB_BIND_SIZE) * 64 + MDB_MEMO_OVERHEAD;

bool hasJetHeader(const char* path)
{
    std::FILE* f = std::fopen(path, "rb");
    if (!f)
        return false;
    char head[19] = {};
    const size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    return n == sizeof head
           && (std::memcmp(head + 4, "Standard Jet DB", 15) == 0 || std::memcmp(head + 4, "Standard ACE DB", 15) == 0);
}

ColumnType columnType(int mdbType)
{
    switch (mdbType) {
    case MDB_BOOL:
        return ColumnType::Bool;
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_COMPLEX:
        return ColumnType::Integer;
    case MDB_FLOAT:
        return ColumnType::Single;
    case MDB_MONEY:
    case MDB_DOUBLE:
    case MDB_NUMERIC:
        return ColumnType::Double;
    case MDB_DATETIME:
        return ColumnType::DateTime;
    case MDB_TEXT:
    case MDB_MEMO:
    case MDB_REPID:
        return ColumnType::Text;
    default:
        return ColumnType::Blob;
    }
}

struct OpenFile {
    MdbHandle* mdb = nullptr;
    ~OpenFile()
    {
        if (mdb)
            mdb_close(mdb);
    }
};

struct Table {
    MdbTableDef* def = nullptr;
    TableHead head;
    ~Table()
    {
        if (def)
            mdb_free_tabledef(def);
    }
};

// Text libmdb converts (code page or compressed Unicode to UTF-8), taken
// whole: the bind size bounds its output, so it is set above the longest
// UTF-8 the stored bytes can become.
void writeConverted(MdbHandle* mdb, int type, int start, int size, qint64 storedBytes, StreamWriter& out)
{
    mdb_set_bind_size(mdb, size_t(std::max<qint64>(MDB_BIND_SIZE, storedBytes * 3 + 64)));
    char* text = mdb_col_to_string(mdb, mdb->pg_buf, start, type, size);
    out.text(text ? text : "", text ? qint64(std::strlen(text)) : 0);
    g_free(text);
}

void writeValue(MdbHandle* mdb, MdbColumn* col, const MdbField& field, StreamWriter& out)
{
    const unsigned char* pg = mdb->pg_buf;
    const int start = field.start;
    if (col->col_type == MDB_BOOL) {
        out.integer(field.is_null ? 0 : 1);   // a Yes/No value is its null bit
        return;
    }
    if (field.is_null) {
        out.null();
        return;
    }
    switch (col->col_type) {
    case MDB_BYTE:
        out.integer(pg[start]);
        break;
    case MDB_INT:
        out.integer(qint16(mdb_get_int16(mdb->pg_buf, start)));
        break;
    case MDB_LONGINT:
    case MDB_COMPLEX:
        out.integer(qint32(mdb_get_int32(mdb->pg_buf, start)));
        break;
    case MDB_FLOAT:
        out.single(mdb_get_single(mdb->pg_buf, start));
        break;
    case MDB_DOUBLE:
        out.real(mdb_get_double(mdb->pg_buf, start));
        break;
    case MDB_MONEY: {
        qint64 units = 0;   // currency: a 64-bit count of ten-thousandths
        std::memcpy(&units, pg + start, sizeof units);
        out.real(double(units) / 10000.0);
        break;
    }
    case MDB_NUMERIC: {
        char* text = mdb_numeric_to_string(mdb, start, col->col_scale, col->col_prec);
        out.real(text ? std::strtod(text, nullptr) : 0.0);
        g_free(text);
        break;
    }
    case MDB_DATETIME: {
        const QByteArray date = jetDateText(mdb_get_double(mdb->pg_buf, start));
        if (date.isEmpty())
            out.null();
        else
            out.text(date.constData(), date.size());
        break;
    }
    case MDB_TEXT:
    case MDB_REPID:
        writeConverted(mdb, col->col_type, start, field.siz, field.siz, out);
        break;
    case MDB_MEMO: {
        // The memo's stored length (its flags in the top bits).
        const qint64 stored = field.siz >= MDB_MEMO_OVERHEAD ? (mdb_get_int32(mdb->pg_buf, start) & 0x3fffffff) : 0;
        writeConverted(mdb, MDB_MEMO, start, field.siz, stored, out);
        break;
    }
    case MDB_OLE: {
        if (col->cur_value_len <= 0 || !col->bind_ptr) {
            out.blob("", 0);
            break;
        }
        size_t size = 0;
        void* data = mdb_ole_read_full(mdb, col, &size);
        out.blob(static_cast<const char*>(data), qint64(size));
        std::free(data);
        break;
    }
    default:   // fixed binary and anything else: the stored bytes
        out.blob(reinterpret_cast<const char*>(pg + start), std::max(0, field.siz));
        break;
    }
}

// Writes the rows of one table; returns how many.
qint64 writeRows(MdbHandle* mdb, Table& table, StreamWriter& out)
{
    MdbTableDef* def = table.def;
    std::vector<std::unique_ptr<char[]>> oleBuffers;
    for (unsigned i = 0; i < def->num_cols; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, i));
        if (col->col_type == MDB_OLE) {
            oleBuffers.push_back(std::make_unique<char[]>(OleBufferSize));
            mdb_bind_column(def, int(i) + 1, oleBuffers.back().get(), nullptr);
        }
    }
    std::vector<MdbField> fields(def->num_cols);
    std::vector<int> byColumn(def->num_cols);
    qint64 rows = 0;
    mdb_rewind_table(def);
    while (mdb_fetch_row(def)) {
        // The row just read is on the current page; cracking it again gives
        // each field's null flag, which tells a null from an empty text.
        int rowStart = 0;
        size_t rowSize = 0;
        if (mdb_find_row(mdb, int(def->cur_row) - 1, &rowStart, &rowSize) != 0)
            continue;
        const int n = mdb_crack_row(def, rowStart & RowOffsetMask, rowSize, fields.data());
        if (n < 0)
            continue;
        std::fill(byColumn.begin(), byColumn.end(), -1);
        for (unsigned i = 0; i < def->num_cols; ++i)
            if (fields[i].colnum >= 0 && unsigned(fields[i].colnum) < def->num_cols)
                byColumn[size_t(fields[i].colnum)] = int(i);
        out.beginRow();
        for (unsigned c = 0; c < def->num_cols; ++c) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, c));
            if (byColumn[c] < 0)
                out.null();
            else
                writeValue(mdb, col, fields[size_t(byColumn[c])], out);
        }
        out.endRow();
        ++rows;
    }
    return rows;
}

} // namespace

QByteArray jetDateText(double value)
{
    const QDateTime dt = FromOleDate(value);
    if (!dt.isValid())
        return {};
    // Rounded to the nearest second on the date and time as stored: no time
    // zone may move a wall-clock time the file holds.
    QDate date = dt.date();
    int ms = dt.time().msecsSinceStartOfDay();
    int seconds = (ms + 500) / 1000;
    if (seconds >= 86400) {
        seconds -= 86400;
        date = date.addDays(1);
    }
    if (date.year() < 1 || date.year() > 9999)
        return {};
    char text[24];
    const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", date.year(), date.month(),
                                date.day(), seconds / 3600, seconds / 60 % 60, seconds % 60);
    return QByteArray(text, n);
}

int readJetFile(const char* path, StreamWriter& out)
{
    if (!hasJetHeader(path)) {
        out.refuse(Refusal::NotJet, "it is not a Jet or ACE database file");
        return 0;
    }
    OpenFile file;
    file.mdb = mdb_open(path, MDB_NOFLAGS);
    if (!file.mdb || !mdb_read_catalog(file.mdb, MDB_TABLE)) {
        out.refuse(Refusal::UnreadableFormat,
                   "libmdb cannot read this format (Access 2.0 and Access 95 files are among those it cannot read)");
        return 0;
    }
    MdbHandle* mdb = file.mdb;
    std::vector<std::unique_ptr<Table>> tables;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE || mdb_is_system_table(entry))
            continue;
        auto table = std::make_unique<Table>();
        table->def = mdb_read_table(entry);
        if (!table->def || !mdb_read_columns(table->def)) {
            out.refuse(Refusal::ReadError, QByteArray("libmdb cannot read the definition of table ") + entry->object_name);
            return 0;
        }
        TableHead& head = table->head;
        head.name = entry->object_name;
        head.declaredRows = table->def->num_rows;
        // The auto-number counter sits after the row count in the
        // definition. Files hold the last number handed out there (nwind's
        // Employees: 9 with keys 1..9); read as such, no number is reused.
        if (mdb_read_pg(mdb, entry->table_pg) == ssize_t(mdb->fmt->pg_size))
            head.autoNumberCounter = qint64(quint32(mdb_get_int32(mdb->pg_buf, mdb->fmt->tab_num_rows_offset + 4)));
        for (unsigned c = 0; c < table->def->num_cols; ++c) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->def->columns, c));
            head.columns.push_back({QByteArray(col->name), columnType(col->col_type), col->is_long_auto != 0});
        }
        tables.push_back(std::move(table));
    }
    std::vector<DeclaredTable> list;
    for (const auto& t : tables)
        list.push_back({t->head.name, t->head.declaredRows});
    out.fileInfo(int(mdb->f->jet_version), list);
    for (auto& t : tables) {
        out.tableHead(t->head);
        out.tableEnd(writeRows(mdb, *t, out));
    }
    out.end();
    return 0;
}

} // namespace qqc::jet
