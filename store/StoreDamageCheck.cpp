#include "store/StoreDamageCheck.h"

#include "store/StoreError.h"

namespace ravelong {

Status StoreDamageCheck::check(SqliteDatabase& db, const std::filesystem::path& path) {
    auto check = db.prepare("PRAGMA quick_check(1)");
    if (!check || !check->step() || check->column(0) != Value(std::string("ok"))) {
        return storeError(StoreErrorCode::ReadFailed,
                          "The data file " + path.string() + " is damaged.",
                          "It was left unchanged.");
    }
    return Status::success();
}

void StoreDamageCheck::start() {
    pending_ = std::async(std::launch::async, [path = path_]() -> Status {
        auto reader = SqliteDatabase::open(path, SqliteDatabase::Mode::ReadOnly);
        if (!reader)
            return reader.error();
        return check(*reader.value(), path);
    });
}

Status StoreDamageCheck::await() {
    if (!pending_.valid())
        return Status::success();
    return pending_.get();
}

void StoreDamageCheck::wait() {
    if (pending_.valid())
        pending_.wait();
}

}  // namespace ravelong
