#pragma once

#include <filesystem>
#include <string>

namespace ravelong::sync_testing {

// A fresh folder in memory (/dev/shm) when the machine has one, else in the temp folder, removed
// with everything in it: the stores and the engine's state sync their files to disk, which in
// memory costs nothing.
class MemoryDirectory {
public:
    MemoryDirectory();
    ~MemoryDirectory();
    MemoryDirectory(const MemoryDirectory&) = delete;
    MemoryDirectory& operator=(const MemoryDirectory&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

}  // namespace ravelong::sync_testing
