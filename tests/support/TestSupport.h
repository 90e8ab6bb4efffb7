#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ravelong::testing {

// A fresh directory under the system temp folder, removed with everything in it on destruction.
class TemporaryDirectory {
public:
    TemporaryDirectory() : TemporaryDirectory(std::filesystem::temp_directory_path()) {}
    // In `parent` instead (inMemoryWhereAvailable(): for tests whose files are synced to disk
    // again and again).
    explicit TemporaryDirectory(const std::filesystem::path& parent);
    // /dev/shm when the machine has it, else the system temp folder.
    static std::filesystem::path inMemoryWhereAvailable();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// The whole content of a file as bytes ("" when it cannot be read), and writing bytes to one.
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);
// The names of the entries of a folder, sorted (none when it does not exist).
std::vector<std::string> fileNamesIn(const std::filesystem::path& folder);

}  // namespace ravelong::testing
