#pragma once

#include <chrono>
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
    // `mode`: how the check's own connection opens the file (ReadOnly or Immutable).
    StoreDamageCheck(std::filesystem::path path, SqliteDatabase::Mode mode,
                     std::chrono::milliseconds busyTimeout)
        : path_(std::move(path)), mode_(mode), busyTimeout_(busyTimeout) {}
    ~StoreDamageCheck() { wait(); }
    StoreDamageCheck(const StoreDamageCheck&) = delete;
    StoreDamageCheck& operator=(const StoreDamageCheck&) = delete;

    // Checks the file on `db` now: success, or the error of a damaged file (Damaged).
    static Status check(SqliteDatabase& db, const std::filesystem::path& path);

    // Starts the check on a thread of its own.
    void start();
    // Waits for a started check: its result (success when none was started). Every call gives
    // the same result: a damaged file stays refused however often it is asked about.
    Status await();
    // Waits for a started check and ignores its result.
    void wait();

private:
    std::filesystem::path path_;
    SqliteDatabase::Mode mode_;
    std::chrono::milliseconds busyTimeout_;
    std::future<Status> pending_;
    Status result_;
};

}  // namespace ravelong
