#pragma once

#include <filesystem>
#include <string>

namespace ravelong::bench {

// A private copy of a store file (with its journal), for a benchmark that changes data; removed
// with its side files when the object goes.
class ScratchStore {
public:
    ScratchStore(const std::filesystem::path& source, const std::filesystem::path& directory,
                 const std::string& prefix);
    ~ScratchStore();
    ScratchStore(const ScratchStore&) = delete;
    ScratchStore& operator=(const ScratchStore&) = delete;

    bool ok() const { return ok_; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    bool ok_ = false;
};

}  // namespace ravelong::bench
