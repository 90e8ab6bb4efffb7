#pragma once

#include <filesystem>
#include <memory>

#include "foundation/Error.h"

namespace ravelong {

// Guards a store file for one writing process: holds an exclusive lock on "<file>.lock" beside
// it while it lives. Also tells a file that may be a store from one that cannot be.
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

private:
    explicit StoreFileGuard(int lockFd) : lockFd_(lockFd) {}
    int lockFd_;
};

}  // namespace ravelong
