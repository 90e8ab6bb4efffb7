#include "foundation/FileStamp.h"

#include <sys/stat.h>

#include <system_error>

namespace ravelong {

FileStamp FileStamp::of(const std::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return FileStamp{};
    FileStamp stamp;
    stamp.exists = true;
    stamp.device = status.st_dev;
    stamp.inode = status.st_ino;
    stamp.size = status.st_size;
    stamp.modifiedSeconds = status.st_mtim.tv_sec;
    stamp.modifiedNanoseconds = status.st_mtim.tv_nsec;
    return stamp;
}

std::filesystem::path resolveSymbolicLinks(const std::filesystem::path& path) {
    constexpr int kMaxLinks = 40;  // the kernel's own limit
    std::filesystem::path current = path;
    for (int followed = 0; followed <= kMaxLinks; ++followed) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(current, error)))
            return current;
        const std::filesystem::path target = std::filesystem::read_symlink(current, error);
        if (error)
            return current;
        current =
            target.is_absolute() ? target : (current.parent_path() / target).lexically_normal();
    }
    return path;
}

}  // namespace ravelong
