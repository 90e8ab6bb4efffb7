#include "sync/engine/MemoryDirectory.h"

#include <stdlib.h>

#include <stdexcept>
#include <system_error>

namespace ravelong::sync_testing {

namespace fs = std::filesystem;

MemoryDirectory::MemoryDirectory() {
    std::error_code ec;
    fs::path base =
        fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "ravelong-sync-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary directory");
    path_ = pattern;
}

MemoryDirectory::~MemoryDirectory() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

}  // namespace ravelong::sync_testing
