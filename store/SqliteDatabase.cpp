#include "store/SqliteDatabase.h"

#include <sqlite3.h>

#include "store/StoreError.h"

namespace ravelong {

std::string sqlQuoted(const std::string& identifier) {
    std::string result = "\"";
    for (char c : identifier) {
        result += c;
        if (c == '"')
            result += '"';
    }
    return result + "\"";
}

SqliteStatement::~SqliteStatement() {
    if (statement_)
        sqlite3_finalize(statement_);
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : db_(other.db_), statement_(other.statement_), error_(std::move(other.error_)) {
    other.statement_ = nullptr;
}

void SqliteStatement::bind(int position, const Value& value) {
    if (auto i = std::get_if<std::int64_t>(&value)) {
        sqlite3_bind_int64(statement_, position, *i);
    } else if (auto d = std::get_if<double>(&value)) {
        sqlite3_bind_double(statement_, position, *d);
    } else if (auto s = std::get_if<std::string>(&value)) {
        sqlite3_bind_text(statement_, position, s->data(), static_cast<int>(s->size()),
                          SQLITE_TRANSIENT);
    } else if (auto data = std::get_if<Data>(&value)) {
        // A zero-length blob must stay a blob, not become NULL.
        sqlite3_bind_blob(statement_, position, data->empty() ? "" : (const void*)data->data(),
                          static_cast<int>(data->size()), SQLITE_TRANSIENT);
    } else {
        sqlite3_bind_null(statement_, position);
    }
}

void SqliteStatement::bindInt(int position, std::int64_t value) {
    sqlite3_bind_int64(statement_, position, value);
}

bool SqliteStatement::step() {
    const int rc = sqlite3_step(statement_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        error_ = sqlite3_errmsg(db_);
    return false;
}

Status SqliteStatement::run() {
    error_.clear();
    while (step()) {
    }
    reset();
    if (!error_.empty())
        return storeError(StoreErrorCode::SaveFailed, error_);
    return Status::success();
}

void SqliteStatement::reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

int SqliteStatement::columnCount() const {
    return sqlite3_column_count(statement_);
}

Value SqliteStatement::column(int index) const {
    switch (sqlite3_column_type(statement_, index)) {
        case SQLITE_INTEGER:
            return static_cast<std::int64_t>(sqlite3_column_int64(statement_, index));
        case SQLITE_FLOAT:
            return sqlite3_column_double(statement_, index);
        case SQLITE_TEXT: {
            auto text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, index));
            return std::string(text,
                               static_cast<std::size_t>(sqlite3_column_bytes(statement_, index)));
        }
        case SQLITE_BLOB: {
            auto bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement_, index));
            return Data(bytes, bytes + sqlite3_column_bytes(statement_, index));
        }
        default:
            return Value();
    }
}

std::int64_t SqliteStatement::columnInt(int index) const {
    return sqlite3_column_int64(statement_, index);
}

bool SqliteStatement::columnIsNull(int index) const {
    return sqlite3_column_type(statement_, index) == SQLITE_NULL;
}

Result<std::unique_ptr<SqliteDatabase>> SqliteDatabase::open(const std::filesystem::path& path,
                                                             Mode mode) {
    sqlite3* db = nullptr;
    const int flags =
        mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        return storeError(StoreErrorCode::CannotOpen,
                          "The data file " + path.string() + " cannot be opened.", message);
    }
    sqlite3_extended_result_codes(db, 1);
    return std::unique_ptr<SqliteDatabase>(new SqliteDatabase(db));
}

SqliteDatabase::~SqliteDatabase() {
    sqlite3_close_v2(db_);
}

bool SqliteDatabase::inTransaction() const {
    return sqlite3_get_autocommit(db_) == 0;
}

std::string SqliteDatabase::lastError() const {
    return sqlite3_errmsg(db_);
}

Status SqliteDatabase::execute(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = message ? message : lastError();
        sqlite3_free(message);
        return storeError(StoreErrorCode::SaveFailed, text);
    }
    return Status::success();
}

Result<SqliteStatement> SqliteDatabase::prepare(const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) !=
        SQLITE_OK) {
        return storeError(StoreErrorCode::ReadFailed, lastError(), sql);
    }
    return SqliteStatement(db_, statement);
}

Result<std::int64_t> SqliteDatabase::queryInt(const std::string& sql) {
    auto statement = prepare(sql);
    if (!statement)
        return statement.error();
    if (statement->step())
        return statement->columnInt(0);
    if (statement->failed())
        return storeError(StoreErrorCode::ReadFailed, statement->error(), sql);
    return std::int64_t{0};
}

bool SqliteDatabase::tableExists(const std::string& name) {
    auto statement = prepare("SELECT 1 FROM sqlite_master WHERE type='table' AND name=?");
    if (!statement)
        return false;
    statement->bind(1, Value(name));
    return statement->step();
}

}  // namespace ravelong
