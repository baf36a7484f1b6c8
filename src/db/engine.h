#pragma once
// The database engine layer: a small DAO-like object model over Qt SQL.
//
// Database   one open database file (its own uniquely named Qt SQL
//            connection, so several databases and cursors coexist).
// Recordset  a cursor. Either a table cursor over a whole table in primary
//            key order (seek on the key, keyset navigation that reads pages
//            of rows, so a 100,000-row table costs nothing to open), or a
//            dynaset over a stored or temporary query (rows are read on first
//            use and re-read by requery()).
// QueryDef   a stored query: its SQL lives in the database file itself (table
//            StoredQueries), positional "?" parameters keep their values until
//            set again.
//
// Every failure throws DbError with the classic engine number (3011 object
// missing, 3265 field missing, ...), so callers can trap a routine's errors in
// one place and report "Error n(description) in routine: ...".
//
// SQLite is the default engine (a file); a PostgreSQL server (a
// postgresql:// address, db/server_uri.h) serves a shared lab database. The
// SQL written here stays driver-neutral (quoted identifiers, "?" parameters,
// row-value comparisons); what differs lives in the engine's two paths. On
// the server every table and column name is lower case: SQL elsewhere writes
// names unquoted (folded to lower case by the server, ignored by SQLite) and
// the reserved word as "references".
//
// Only the user-interface thread uses a Database and its cursors.

#include <QByteArrayView>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <exception>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace qqc::db {

// Engine error numbers that callers test or show.
namespace DbErr {
constexpr int Generic = 3000;            // any other engine failure (driver text)
constexpr int ObjectNotFound = 3011;     // table or stored query missing
constexpr int UpdateWithoutEdit = 3020;  // setValue/update without addNew/edit
constexpr int NoCurrentRecord = 3021;
constexpr int DuplicateKey = 3022;
constexpr int FileNotFound = 3024;
constexpr int DiskFull = 3026;           // not enough space on disk
constexpr int FileInUse = 3045;          // locked by another program
constexpr int ReadOnly = 3027;
constexpr int DiskIo = 3043;             // disk or network error
constexpr int ItemNotFound = 3265;       // field name the record set lacks
constexpr int NotADatabase = 3343;       // unrecognised database format
constexpr int ObjectClosed = 3420;       // database closed under a cursor
constexpr int BadParameter = 3001;       // parameter index out of range, bad key count
constexpr int WalOnShare = 3051;         // a write-ahead-log file on a share, held by another station
constexpr int ServerUnavailable = 3151;  // the database server cannot be reached or refused the login
constexpr int NotOnThisDatabase = 3251;  // an operation the server's database does not offer
} // namespace DbErr

class DbError : public std::exception {
public:
    DbError(int number, QString description);
    int number() const { return number_; }
    const QString& description() const { return description_; }
    const char* what() const noexcept override { return what_.constData(); }

private:
    int number_;
    QString description_;
    QByteArray what_;
};

// Text already in UTF-8, written as text without another conversion (long
// texts written often, such as a test's tables).
struct Utf8Text {
    QByteArray bytes;
};

// The journal a database file keeps (stored in the file, header bytes 18
// and 19: 1 rollback journal, 2 write-ahead log). Chosen when a database is
// created, never when one is opened: several stations share one file, and
// each sees its disk differently.
enum class JournalMode { Rollback, Wal };

// The file system a database folder is on, as SQLite's locking sees it: a
// disk of this machine, or a network share (a file system not known to be
// local counts as one). The write-ahead log keeps its index in shared memory
// that stations on different machines cannot share, so it is used only on a
// local disk.
enum class FileSystemKind { Local, Shared };
using FileSystemProbe = std::function<FileSystemKind(const QString& folder)>;
// The real probe: the folder's file-system type against the known local kinds.
FileSystemKind probeFileSystem(const QString& folder);

// What the first 100 bytes of a file say, read without SQLite: whether it is
// an SQLite database at all, and the journal it keeps.
struct FileHeader {
    bool sqlite = false;
    JournalMode journal = JournalMode::Rollback;
};
FileHeader readFileHeader(const QString& path);

// One stored value as the file holds it: its storage class and contents.
// `bytes` (text in UTF-8, or a blob) is valid only while the row is handed
// over.
struct StoredValue {
    enum Class { Null, Integer, Real, Text, Blob };
    Class type = Null;
    qint64 integer = 0;
    double real = 0.0;
    QByteArrayView bytes;
};

struct OpenOptions {
    // How long a statement waits for another program's lock before failing.
    int busyTimeoutMs = 3000;
    // How long SampleDatabase::open goes on trying while the file is locked
    // (another station in the middle of a write) before FileInUse.
    int lockRetryMs = 5000;
    // Tells local disks from shares; null: probeFileSystem.
    FileSystemProbe fileSystem;
    // ReadOnly: a connection that cannot change a byte of the file (the
    // check before a file is used). Exclusive: read-write, holding the file
    // alone and without shared memory, the only way a write-ahead-log file on
    // a share is read (and taken back to the rollback journal).
    enum class Access { ReadWrite, ReadOnly, Exclusive } access = Access::ReadWrite;
};

class Recordset;
class QueryDef;
class ServerNotices;
struct Connection;

class Database {
public:
    // Opens an existing database file shared (not exclusive) and read-write,
    // or as options.access says. The file keeps the journal it has. Throws
    // DbError: FileNotFound (missing), ReadOnly (write-protected),
    // NotADatabase (foreign file, never opened by SQLite), FileInUse (locked
    // beyond the busy time-out), WalOnShare (a write-ahead-log file on a
    // share, unless opened Exclusive).
    // `path` may be a server address (postgresql://...): then the database is
    // opened read-write on the server, ServerUnavailable when it cannot be
    // reached or refuses the login.
    static std::unique_ptr<Database> open(const QString& path, const OpenOptions& options = {});
    // Sets the journal `path` keeps, on a connection that holds the file
    // alone: for a new database, or a file the caller has checked. FileInUse
    // while another connection has the file open.
    static void setJournal(const QString& path, JournalMode mode, const OpenOptions& options = {});
    // The same on this connection, which must hold the file alone (opened
    // Exclusive) or be its only one; its cursors must be closed.
    void setStoredJournal(JournalMode mode);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Releases the file; cursors still alive then fail with ObjectClosed.
    void close();
    bool isOpen() const;
    // The file path, or the server address without its password.
    const QString& path() const;
    // On a database server (not an SQLite file).
    bool onServer() const;
    // Server only: LISTENs to `channel` from now on (again after every
    // reconnect) and returns what this connection hears (db/server_notices.h),
    // valid until the database is closed; null on a file, which has no
    // notifications.
    ServerNotices* listen(const QString& channel);
    // Changes whenever any station may have written since it was last read
    // (a change counter of the file, or the server's transaction horizon).
    std::pair<qint64, qint64> changeToken();
    // This connection's journal: "WAL" for a write-ahead-log file (only on a
    // local disk, or Exclusive), else the rollback journal, "TRUNCATE"
    // ("DELETE" on a read-only connection).
    const QString& journalMode() const;
    // The Qt SQL connection, for code that needs plain SQL (e.g. a lazy grid).
    QSqlDatabase connection() const;

    bool hasTable(const QString& table) const;
    // A table or column name quoted as this database keeps it (lower case
    // on a server), for SQL built from names.
    QString ident(const QString& name) const;
    // Table cursor in primary key order, positioned on the first row.
    // Throws ObjectNotFound when the table does not exist. With `fields`, the
    // cursor reads and writes only those (the key fields are always added):
    // a cursor that never needs a table's long text columns does not read them.
    std::unique_ptr<Recordset> openTable(const QString& table, const QStringList& fields = {});
    // A stored query by name; ObjectNotFound when there is none.
    std::shared_ptr<QueryDef> queryDef(const QString& name);
    // A temporary query from SQL text. Dates written between "#" characters
    // (#12/31/2024#, #2024-12-31 10:00:00#) become date literals.
    std::shared_ptr<QueryDef> createQueryDef(const QString& sql);
    // Runs a statement that returns no rows; returns the rows affected.
    int execute(const QString& sql, const QVariantList& params = {});
    // Runs a prepared (and kept) statement that writes only `table`, with no
    // trigger that changes another table: cursors on other tables keep the
    // rows they remember. Returns the rows affected; `insertId` receives the
    // auto-number of a row inserted.
    int executeOn(const QString& table, const QString& sql, const QVariantList& params = {},
                  QVariant* insertId = nullptr);

    // The first value of the first row a query returns; null when none.
    QVariant queryValue(const QString& sql, const QVariantList& params = {});
    // Runs a read-only query whose rows are an integer and (when it has a
    // second column) one value, and hands each row to `row` as stored: for
    // reading a million rows at once without a QVariant per value (through
    // the driver's own handle when it can).
    void scanPairs(const QString& sql, const QVariantList& params,
                   const std::function<void(qint64, const StoredValue&)>& row);
    // The number the next row added to `table` gets from its auto-number
    // key, so that a row can be written whole in one statement. Only inside
    // a transaction, which holds the write lock until it ends: nobody else
    // can take the number first.
    qint64 nextAutoNumber(const QString& table);
    // Numbers for `count` new rows of `table`, ascending, each handed out
    // once: on a file the next ones after the highest, on a server taken
    // from the key's sequence (stations storing meanwhile get others). Only
    // inside a transaction.
    std::vector<qint64> nextAutoNumbers(const QString& table, qint64 count);

    // Memory derived from tables: a stamp taken inside a transaction stays
    // current while changedSince() says false. It says true outside a
    // transaction (another program may write), after any transaction
    // boundary or plain statement, and after any write to one of `tables`
    // through this layer.
    quint64 changeStamp() const;
    bool changedSince(quint64 stamp, const QStringList& tables) const;

    // Transactions nest: the outermost begin/commit is a real transaction,
    // inner ones are savepoints. A Transaction object rolls back on
    // destruction unless committed. A statement that fails inside a
    // transaction is undone alone, on both engines (a server runs each under
    // a savepoint), so a caller may catch its error and carry on; a
    // whole-or-nothing transaction, which ends at its first failing
    // statement, spares the server those savepoints (bulk writes).
    void beginTrans(bool wholeOrNothing = false);
    void commitTrans();
    void rollback();
    int transactionDepth() const;
    // How long a statement waits for another program's lock (OpenOptions at
    // open); a store retried on a timer waits only briefly, so the window and
    // the link keep running while another program holds the file.
    int busyTimeout() const;
    void setBusyTimeout(int ms);

    // Writes a compacted copy of `source` to `destination` (which must not
    // exist); the source stays as it is. NotOnThisDatabase for a server
    // database (the server compacts its own tables).
    static void compact(const QString& source, const QString& destination);

private:
    Database() = default;
    static std::unique_ptr<Database> openServer(const QString& uri, const OpenOptions& options);
    std::shared_ptr<Connection> conn_;
    friend class Recordset;
    friend class RowAppender;
};

class Transaction {
public:
    // WholeOrNothing: no statement's error is caught and carried on inside
    // it; the first failing one ends the whole transaction.
    enum Kind { CarryOn, WholeOrNothing };
    explicit Transaction(Database& db, Kind kind = CarryOn) : db_(db) { db_.beginTrans(kind == WholeOrNothing); }
    ~Transaction();
    void commit();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

private:
    Database& db_;
    bool done_ = false;
};

class QueryDef : public std::enable_shared_from_this<QueryDef> {
public:
    const QString& name() const { return name_; }
    const QString& sql() const { return sql_; }
    int parameterCount() const { return int(params_.size()); }
    // Parameters are numbered from 0 in the order of their "?" in the SQL.
    void setParameter(int index, const QVariant& value);
    QVariant parameter(int index) const;
    // A dynaset reflecting the current parameter values; updatable when the
    // query names its update table.
    std::unique_ptr<Recordset> openRecordset();

private:
    friend class Database;
    friend class Recordset;
    QueryDef() = default;
    std::shared_ptr<Connection> conn_;
    QString name_;
    QString sql_;
    QString updateTable_;
    QVariantList params_;
};

class Recordset {
public:
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    bool isTable() const { return !query_; }
    const QString& source() const { return table_; }

    // --- navigation ---
    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();
    bool bof();
    bool eof();
    // Exact for a dynaset; a table cursor counts its table.
    int recordCount();

    // Seek "=" on the primary key (one value, or one per key field in key
    // order). On a match the row becomes current; noMatch() tells the result.
    bool seek(const QVariantList& key);
    bool noMatch() const { return noMatch_; }

    // Re-reads a dynaset with its query's current parameters, or a table
    // cursor from its first row.
    void requery();

    // --- fields ---
    QStringList fieldNames();
    bool hasField(const QString& name);
    // The current row's value (or the edit buffer's during addNew/edit).
    // Empty fields read as a null QVariant. Throws ItemNotFound, NoCurrentRecord.
    QVariant value(const QString& field);
    // Only during addNew/edit; ItemNotFound for an unknown field.
    void setValue(const QString& field, const QVariant& value);

    // --- changes ---
    // For a table with an auto-number key the key is assigned at once and can
    // be read with value() before update().
    void addNew();
    void edit();
    // Saves the new or edited row; it becomes the current row.
    void update();
    void cancelUpdate();
    // Removes the current row; the cursor then has no current row until moved.
    void deleteRecord();
    bool editing() const { return mode_ != Mode::None; }

    // The key of the current row, and of the row last added or edited.
    QVariantList bookmark();
    QVariantList lastModified() const { return lastModified_; }
    void setBookmark(const QVariantList& key);

private:
    friend class Database;
    friend class QueryDef;
    enum class Mode { None, Add, Edit };
    Recordset() = default;

    void checkOpen() const;
    void ensureLoaded();
    void loadTablePage(const QVariantList* after, bool forward);
    QVariantList keyOf(const QSqlRecord& rec) const;
    QSqlRecord& current();
    int fieldIndex(const QString& name);
    void prepareLayout();

    std::shared_ptr<Connection> conn_;
    std::shared_ptr<QueryDef> query_;   // null for a table cursor
    QString table_;                     // table cursor: the table; dynaset: update table
    QStringList keyFields_;
    QSqlRecord layout_;                 // field names (and types) of the rows

    // Reads inside a transaction are remembered while no write can have
    // changed the table (this program holds the write lock, and every write
    // through this layer advances the table's write clock), so repeated seeks
    // of the same row cost no statement.
    bool cacheValid() const;
    void resetCache();
    void noteWrite(bool deleted, const QVariantList& key, const QVariantList& oldKey, bool complete);
    QString cacheKey(const QVariantList& key) const;
    std::shared_ptr<quint64> lastWrite_;  // the table's write clock (shared by its cursors)
    quint64 cacheStamp_ = 0;
    QHash<QString, QSqlRecord> rowCache_;
    std::vector<QSqlRecord> wholeTable_;  // table: all rows, when they fit one page
    bool wholeTableValid_ = false;
    QHash<QString, int> fieldIndex_;      // exact field name -> index in layout_
    std::vector<char> writable_, isKey_;  // per layout_ field
    bool autoKey_ = false;
    bool reservedOwnTx_ = false;          // addNew began its own transaction

    QString selectList_;                // table: "*" or the chosen fields
    QString seekSql_;                   // table: the seek statement
    QHash<quint64, QString> writeSql_;  // UPDATE/INSERT statements by the set of fields written
    bool stale_ = false;                // the current row must be re-read (defaults after an add)

    std::vector<QSqlRecord> rows_;      // table: one page in key order; dynaset: all rows
    int pos_ = -1;                      // index into rows_, or -1 / rows_.size() for BOF/EOF
    bool loaded_ = false;               // dynaset rows read
    bool pageHasStart_ = false;         // table: rows_ begins at the table's first row
    bool pageHasEnd_ = false;           // table: rows_ ends at the table's last row
    bool bof_ = true;
    bool eof_ = true;
    bool noMatch_ = false;

    Mode mode_ = Mode::None;
    QSqlRecord buffer_;
    QVariantList addedKey_;             // addNew of an auto-number table: the reserved key
    QVariantList lastModified_;
    QVariantList anchor_;               // table: where navigation resumes when rows_ is empty
};

} // namespace qqc::db

Q_DECLARE_METATYPE(qqc::db::Utf8Text)
