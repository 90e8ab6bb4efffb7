#include "store/SqliteDatabase.h"

#include <sqlite3.h>
#include <sys/statvfs.h>

#include <cerrno>

#include "store/StoreError.h"

namespace ravelong {

namespace {

bool onReadOnlyFileSystem(const std::filesystem::path& path) {
    struct statvfs info {};
    const std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();
    return ::statvfs(folder.c_str(), &info) == 0 && (info.f_flag & ST_RDONLY) != 0;
}

StoreErrorCode codeOfErrno(int error, const std::filesystem::path& path, StoreErrorCode fallback) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            return StoreErrorCode::DiskFull;
        case EACCES:
        case EPERM:
            return onReadOnlyFileSystem(path) ? StoreErrorCode::ReadOnlyFileSystem
                                              : StoreErrorCode::NoPermission;
        case EROFS:
            return StoreErrorCode::ReadOnlyFileSystem;
        default:
            return fallback;
    }
}

std::string uriEscaped(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string result;
    for (unsigned char c : path) {
        if (c == '?' || c == '#' || c == '%' || c < 0x20 || c >= 0x7f) {
            result += '%';
            result += kHex[c >> 4];
            result += kHex[c & 15];
        } else {
            result += static_cast<char>(c);
        }
    }
    return result;
}

}  // namespace

int storeErrorCodeOfSqlite(sqlite3* db, int sqliteCode, const std::filesystem::path& path,
                           int fallback) {
    const auto otherwise = static_cast<StoreErrorCode>(fallback);
    const int systemError = db ? sqlite3_system_errno(db) : 0;
    StoreErrorCode code = otherwise;
    switch (sqliteCode & 0xff) {
        case SQLITE_FULL:
            code = StoreErrorCode::DiskFull;
            break;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            code = StoreErrorCode::Busy;
            break;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            code = StoreErrorCode::Damaged;
            break;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            // SQLite opens a file it may not write read-only and only fails at the first write.
            code = onReadOnlyFileSystem(path) ? StoreErrorCode::ReadOnlyFileSystem
                                              : StoreErrorCode::NoPermission;
            break;
        case SQLITE_IOERR:
            code = codeOfErrno(systemError, path, otherwise);
            break;
        case SQLITE_CANTOPEN:
            code = codeOfErrno(systemError, path, StoreErrorCode::CannotOpen);
            break;
        default:
            break;
    }
    return static_cast<int>(code);
}

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
    : db_(other.db_),
      statement_(other.statement_),
      error_(std::move(other.error_)),
      errorCode_(other.errorCode_) {
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
    if (rc != SQLITE_DONE) {
        error_ = sqlite3_errmsg(db_);
        const char* file = sqlite3_db_filename(db_, "main");
        errorCode_ =
            storeErrorCodeOfSqlite(db_, sqlite3_extended_errcode(db_),
                                   file ? std::filesystem::path(file) : std::filesystem::path(),
                                   static_cast<int>(StoreErrorCode::ReadFailed));
    }
    return false;
}

Status SqliteStatement::run() {
    error_.clear();
    while (step()) {
    }
    reset();
    if (!error_.empty()) {
        const int code = errorCode_ == static_cast<int>(StoreErrorCode::ReadFailed)
                             ? static_cast<int>(StoreErrorCode::SaveFailed)
                             : errorCode_;
        return Error{kStoreErrorDomain, code, error_, ""};
    }
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

Result<std::unique_ptr<SqliteDatabase>> SqliteDatabase::open(
    const std::filesystem::path& path, Mode mode, std::chrono::milliseconds busyTimeout) {
    // SQLite's memory statistics take a process-wide lock on every allocation and nothing here
    // reads them. The setting only counts before SQLite's first use, so it is made at the first
    // open.
    static const bool configured = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
    (void)configured;
    sqlite3* db = nullptr;
    int flags =
        mode == Mode::ReadWrite ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
    std::string name = path.string();
    if (mode == Mode::Immutable) {
        flags |= SQLITE_OPEN_URI;
        name = "file:" + uriEscaped(name) + "?immutable=1";
    }
    const int rc = sqlite3_open_v2(name.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        const int code = storeErrorCodeOfSqlite(db, db ? sqlite3_extended_errcode(db) : rc, path,
                                                static_cast<int>(StoreErrorCode::CannotOpen));
        sqlite3_close(db);
        return Error{kStoreErrorDomain, code,
                     "The data file " + path.string() + " cannot be opened.", message};
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, static_cast<int>(busyTimeout.count()));
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

int SqliteDatabase::lastErrorCode(int fallback) const {
    const char* file = sqlite3_db_filename(db_, "main");
    return storeErrorCodeOfSqlite(db_, sqlite3_extended_errcode(db_),
                                  file ? std::filesystem::path(file) : std::filesystem::path(),
                                  fallback);
}

Status SqliteDatabase::execute(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = message ? message : lastError();
        sqlite3_free(message);
        return Error{kStoreErrorDomain, lastErrorCode(static_cast<int>(StoreErrorCode::SaveFailed)),
                     text, ""};
    }
    return Status::success();
}

Result<SqliteStatement> SqliteDatabase::prepare(const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) !=
        SQLITE_OK) {
        return Error{kStoreErrorDomain, lastErrorCode(static_cast<int>(StoreErrorCode::ReadFailed)),
                     lastError(), sql};
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
        return Error{kStoreErrorDomain, statement->errorCode(), statement->error(), sql};
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
