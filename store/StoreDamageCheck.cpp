#include "store/StoreDamageCheck.h"

#include "store/StoreError.h"
#include "store/StoreFailures.h"

namespace ravelong {

namespace {

// A check that could not run because the file was busy or could not be read says so; any other
// failure to read a file with the SQLite header means it is damaged.
Error failure(const Error& error, const std::filesystem::path& path) {
    const auto code = static_cast<StoreErrorCode>(error.code);
    if (code == StoreErrorCode::Busy || code == StoreErrorCode::NoPermission ||
        code == StoreErrorCode::ReadOnlyFileSystem) {
        return store_failures::describe(code, path, "The data file could not be checked.",
                                        error.description);
    }
    return store_failures::describe(StoreErrorCode::Damaged, path, "", error.description);
}

}  // namespace

Status StoreDamageCheck::check(SqliteDatabase& db, const std::filesystem::path& path) {
    auto check = db.prepare("PRAGMA quick_check(1)");
    if (!check)
        return failure(check.error(), path);
    if (!check->step()) {
        return failure(Error{kStoreErrorDomain, check->errorCode(), check->error(), ""}, path);
    }
    if (check->column(0) != Value(std::string("ok"))) {
        const Value found = check->column(0);
        const auto* text = std::get_if<std::string>(&found);
        return store_failures::describe(StoreErrorCode::Damaged, path, "", text ? *text : "");
    }
    return Status::success();
}

void StoreDamageCheck::start() {
    pending_ = std::async(std::launch::async,
                          [path = path_, mode = mode_, timeout = busyTimeout_]() -> Status {
                              auto reader = SqliteDatabase::open(path, mode, timeout);
                              if (!reader)
                                  return failure(reader.error(), path);
                              return check(*reader.value(), path);
                          });
}

Status StoreDamageCheck::await() {
    if (pending_.valid())
        result_ = pending_.get();
    return result_;
}

void StoreDamageCheck::wait() {
    if (pending_.valid())
        pending_.wait();
}

}  // namespace ravelong
