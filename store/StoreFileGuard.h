#pragma once

#include <filesystem>
#include <memory>

#include "foundation/Error.h"

namespace ravelong {

// Guards a store file for one writing process: holds an exclusive lock on "<file>.lock" beside
// it while it lives. Also tells a file that may be a store from one that cannot be, and whether
// the store and the files beside it can be written.
class StoreFileGuard {
public:
    // Takes the lock: CannotOpen when the lock file cannot be made, Locked when another process
    // holds it.
    static Result<std::unique_ptr<StoreFileGuard>> acquire(const std::filesystem::path& path);
    ~StoreFileGuard();
    StoreFileGuard(const StoreFileGuard&) = delete;
    StoreFileGuard& operator=(const StoreFileGuard&) = delete;

    // Whether the file starts with the SQLite header.
    static bool hasSqliteHeader(const std::filesystem::path& path);

    // Whether the store can be written: its folder and the file (or, with `journals`, its -wal
    // and -shm files) when they exist. NoPermission or ReadOnlyFileSystem naming the first that
    // cannot be written.
    static Status checkWritable(const std::filesystem::path& path, bool journals);

    // Removes a -shm file, and an empty -wal file, that may not be written although the store
    // may, when no other process has the store open. Call while holding the guard.
    static void removeStaleJournalFiles(const std::filesystem::path& path);

private:
    explicit StoreFileGuard(int lockFd) : lockFd_(lockFd) {}
    int lockFd_;
};

}  // namespace ravelong
