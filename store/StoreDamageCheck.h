#pragma once

#include <filesystem>
#include <future>

#include "foundation/Error.h"
#include "store/SqliteDatabase.h"

namespace ravelong {

// The damage check of a store file (PRAGMA quick_check): finds damaged pages, index pages
// included, that loading the records never reads. Run either at once on a connection, or beside
// the loading of the records on a read-only connection of its own (start, then await).
class StoreDamageCheck {
public:
    explicit StoreDamageCheck(std::filesystem::path path) : path_(std::move(path)) {}
    ~StoreDamageCheck() { wait(); }
    StoreDamageCheck(const StoreDamageCheck&) = delete;
    StoreDamageCheck& operator=(const StoreDamageCheck&) = delete;

    // Checks the file on `db` now: success, or the error of a damaged file.
    static Status check(SqliteDatabase& db, const std::filesystem::path& path);

    // Starts the check on a thread of its own.
    void start();
    // Waits for a started check: its result (success when none was started).
    Status await();
    // Waits for a started check and ignores its result.
    void wait();

private:
    std::filesystem::path path_;
    std::future<Status> pending_;
};

}  // namespace ravelong
