#include "foundation/AtomicFile.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

namespace ravelong {

namespace {

Error writeError(const std::filesystem::path& path, const std::string& step, int errorNumber) {
    return Error{kRavelongErrorDomain, kFileWriteErrorCode,
                 "The file \"" + path.filename().string() + "\" could not be saved.",
                 step + " " + path.string() + ": " + std::strerror(errorNumber)};
}

bool writeAll(int fd, std::string_view contents) {
    while (!contents.empty()) {
        const ssize_t written = ::write(fd, contents.data(), contents.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        contents.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

void syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);  // best effort: some file systems refuse fsync on folders
        ::close(fd);
    }
}

}  // namespace

Status writeFileAtomically(const std::filesystem::path& path, std::string_view contents) {
    const std::filesystem::path folder =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::error_code folderError;
    std::filesystem::create_directories(folder, folderError);
    if (folderError) {
        return writeError(path, "cannot create the folder of", folderError.value());
    }

    std::string temporary = (folder / ("." + path.filename().string() + ".tmp-XXXXXX")).string();
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return writeError(path, "cannot create a temporary file for", errno);
    }
    auto fail = [&](const std::string& step, int errorNumber) -> Status {
        ::unlink(temporary.c_str());
        return writeError(path, step, errorNumber);
    };
    if (!writeAll(fd, contents)) {
        const int errorNumber = errno;
        ::close(fd);
        return fail("cannot write", errorNumber);
    }
    if (::fsync(fd) != 0) {
        const int errorNumber = errno;
        ::close(fd);
        return fail("cannot flush", errorNumber);
    }
    if (::close(fd) != 0) {
        return fail("cannot close", errno);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        return fail("cannot replace", errno);
    }
    syncFolder(folder);
    return Status::success();
}

}  // namespace ravelong
