#include "support/ScopedTmpfs.h"

#include <sys/mount.h>

#include <string>

namespace ravelong::testing {

ScopedTmpfs::ScopedTmpfs(const std::filesystem::path& where, const char* size) : path_(where) {
    std::error_code ec;
    std::filesystem::create_directories(path_, ec);
    mounted_ =
        ::mount("tmpfs", path_.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
}

ScopedTmpfs::~ScopedTmpfs() {
    if (mounted_)
        ::umount2(path_.c_str(), MNT_DETACH);
}

bool ScopedTmpfs::remount(bool readOnly) {
    return mounted_ && ::mount("tmpfs", path_.c_str(), "tmpfs",
                               MS_REMOUNT | (readOnly ? MS_RDONLY : 0), nullptr) == 0;
}

}  // namespace ravelong::testing
