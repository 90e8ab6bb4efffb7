#include "bench/ScratchStore.h"

#include <unistd.h>

namespace ravelong::bench {

ScratchStore::ScratchStore(const std::filesystem::path& source,
                           const std::filesystem::path& directory, const std::string& prefix)
    : path_(directory / (prefix + "-" + std::to_string(::getpid()) + ".sqlite")) {
    std::error_code ec;
    std::filesystem::copy_file(source, path_, std::filesystem::copy_options::overwrite_existing,
                               ec);
    ok_ = !ec;
    const std::filesystem::path wal = source.string() + "-wal";
    if (ok_ && std::filesystem::exists(wal)) {
        std::filesystem::copy_file(wal, path_.string() + "-wal",
                                   std::filesystem::copy_options::overwrite_existing, ec);
        ok_ = !ec;
    }
}

ScratchStore::~ScratchStore() {
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm", ".lock"})
        std::filesystem::remove(path_.string() + suffix, ec);
}

}  // namespace ravelong::bench
