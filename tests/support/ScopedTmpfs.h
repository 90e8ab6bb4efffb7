#pragma once

#include <filesystem>

namespace ravelong::testing {

// A small tmpfs mounted on a folder (made when missing) for the lifetime of this object, for
// tests of a full disk or a read-only file system. Mounting needs root or the capability:
// check mounted() and skip without it.
class ScopedTmpfs {
public:
    // `size` as mount takes it: "256k", "4m".
    ScopedTmpfs(const std::filesystem::path& where, const char* size);
    ~ScopedTmpfs();
    ScopedTmpfs(const ScopedTmpfs&) = delete;
    ScopedTmpfs& operator=(const ScopedTmpfs&) = delete;

    bool mounted() const { return mounted_; }
    // Mounts it read-only or writable again; false when that fails.
    bool remount(bool readOnly);
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    bool mounted_ = false;
};

}  // namespace ravelong::testing
