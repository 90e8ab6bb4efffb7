#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "foundation/Error.h"
#include "store/Value.h"

struct sqlite3;
struct sqlite3_stmt;

namespace ravelong {

// A prepared SQLite statement; binds and reads Values. Owned by one thread at a time.
class SqliteStatement {
public:
    SqliteStatement(sqlite3* db, sqlite3_stmt* statement) : db_(db), statement_(statement) {}
    ~SqliteStatement();
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Binds a Value at a 1-based position. Relationship values cannot be bound.
    void bind(int position, const Value& value);
    void bindInt(int position, std::int64_t value);
    // Runs to the next row: true while a row is available. Errors end in false with error().
    bool step();
    // Runs a statement that returns no rows; resets it for the next use.
    Status run();
    void reset();

    int columnCount() const;
    Value column(int index) const;
    std::int64_t columnInt(int index) const;
    bool columnIsNull(int index) const;
    const std::string& error() const { return error_; }
    // The store error code of the failure (ReadFailed when it has none of its own).
    int errorCode() const { return errorCode_; }
    bool failed() const { return !error_.empty(); }

private:
    sqlite3* db_;
    sqlite3_stmt* statement_;
    std::string error_;
    int errorCode_ = 0;
};

// How long a connection waits for a lock another connection holds before it gives up.
inline constexpr std::chrono::milliseconds kDefaultBusyTimeout{5000};

// One connection to an SQLite file. Not thread-safe: use it from one thread at a time.
//
// Failures carry the store error code of what happened (StoreErrorCode::DiskFull, Busy,
// NoPermission, ReadOnlyFileSystem, Damaged; SaveFailed or ReadFailed otherwise) and SQLite's own
// message as the description.
class SqliteDatabase {
public:
    // Immutable: read-only, for a file nothing can change meanwhile (on a read-only file
    // system, where SQLite could not make the shared-memory file a WAL-mode file needs).
    enum class Mode { ReadWrite, ReadOnly, Immutable };

    // A lock held by another connection is waited for up to `busyTimeout`.
    static Result<std::unique_ptr<SqliteDatabase>> open(
        const std::filesystem::path& path, Mode mode,
        std::chrono::milliseconds busyTimeout = kDefaultBusyTimeout);
    ~SqliteDatabase();

    Status execute(const std::string& sql);
    Result<SqliteStatement> prepare(const std::string& sql);
    // The first column of the first row, as an integer (0 when there is no row).
    Result<std::int64_t> queryInt(const std::string& sql);
    bool tableExists(const std::string& name);
    bool inTransaction() const;
    sqlite3* handle() const { return db_; }
    std::string lastError() const;
    // The store error code of the last failure on this connection; `fallback` for failures that
    // have no code of their own.
    int lastErrorCode(int fallback) const;

private:
    explicit SqliteDatabase(sqlite3* db) : db_(db) {}
    sqlite3* db_;
};

// The store error code (a StoreErrorCode as int) of the SQLite result code `sqliteCode` of a
// failure on `db` (nullptr when there is no connection, for a simulated failure: then `path`
// names the file); `fallback` when the failure is none of those with a code of their own.
int storeErrorCodeOfSqlite(sqlite3* db, int sqliteCode, const std::filesystem::path& path,
                           int fallback);

// Quotes an SQL identifier.
std::string sqlQuoted(const std::string& identifier);

}  // namespace ravelong
