#pragma once

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
    bool failed() const { return !error_.empty(); }

private:
    sqlite3* db_;
    sqlite3_stmt* statement_;
    std::string error_;
};

// One connection to an SQLite file. Not thread-safe: use it from one thread at a time.
class SqliteDatabase {
public:
    enum class Mode { ReadWrite, ReadOnly };

    static Result<std::unique_ptr<SqliteDatabase>> open(const std::filesystem::path& path,
                                                        Mode mode);
    ~SqliteDatabase();

    Status execute(const std::string& sql);
    Result<SqliteStatement> prepare(const std::string& sql);
    // The first column of the first row, as an integer (0 when there is no row).
    Result<std::int64_t> queryInt(const std::string& sql);
    bool tableExists(const std::string& name);
    bool inTransaction() const;
    sqlite3* handle() const { return db_; }
    std::string lastError() const;

private:
    explicit SqliteDatabase(sqlite3* db) : db_(db) {}
    sqlite3* db_;
};

// Quotes an SQL identifier.
std::string sqlQuoted(const std::string& identifier);

}  // namespace ravelong
