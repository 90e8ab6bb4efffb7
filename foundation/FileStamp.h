#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>

namespace ravelong {

// What a file looked like at one moment, cheaply: which file (device and inode), its size and its
// modification time to the nanosecond. Two stamps of one path differ when the file was replaced
// (a rename gives a new inode), rewritten in place (time or size), created or removed. Used to
// notice that another program changed a file between our reading it and our writing it.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;

    // The stamp of the file at `path` (following symbolic links); a path that cannot be examined
    // gives the stamp of no file.
    static FileStamp of(const std::filesystem::path& path);

    bool operator==(const FileStamp&) const = default;
};

// The file a path finally stands for: symbolic links are followed (relative targets from the
// link's folder) until a path that is not a link, which need not exist yet. A chain of more than
// 40 links (a loop) gives `path` itself.
std::filesystem::path resolveSymbolicLinks(const std::filesystem::path& path);

}  // namespace ravelong
