#include "store/StoreFileGuard.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

#include "foundation/Log.h"
#include "store/FileHolders.h"
#include "store/StoreError.h"
#include "store/StoreFailures.h"

namespace ravelong {

namespace {

constexpr char kSqliteMagic[] = "SQLite format 3";  // followed by a NUL in the file header

// A file that must be writable for the store to be saved (the store, its folder, its journal
// files): NoPermission or ReadOnlyFileSystem naming it, or success. A missing file is fine.
Status checkFileWritable(const std::filesystem::path& path) {
    if (::access(path.c_str(), W_OK) == 0 || errno == ENOENT)
        return Status::success();
    const int error = errno;
    const auto code = error == EROFS                        ? StoreErrorCode::ReadOnlyFileSystem
                      : (error == EACCES || error == EPERM) ? StoreErrorCode::NoPermission
                                                            : StoreErrorCode::CannotOpen;
    return store_failures::describe(code, path, "Ravelong cannot save to its data file.",
                                    std::strerror(error));
}

}  // namespace

// A -shm file is only an index of the -wal file, made again by the first connection when it
// is missing, and an empty -wal file holds nothing. SQLite makes both with the permissions of
// the store at that time, so after a read-only store was made writable again they would still
// refuse every write: they are removed, but only when no other process has the store open (they
// would lose their shared index). A -wal file with pages in it is never removed.
void StoreFileGuard::removeStaleJournalFiles(const std::filesystem::path& path) {
    const std::filesystem::path shm = path.string() + "-shm";
    const std::filesystem::path wal = path.string() + "-wal";
    auto stale = [](const std::filesystem::path& file) {
        return ::access(file.c_str(), F_OK) == 0 && ::access(file.c_str(), W_OK) != 0;
    };
    std::error_code ec;
    const bool staleWal = stale(wal) && std::filesystem::file_size(wal, ec) == 0 && !ec;
    if ((!stale(shm) && !staleWal) || ::access(path.c_str(), W_OK) != 0 ||
        !file_holders::processesHolding(path).empty())
        return;
    for (const auto& [file, remove] : {std::pair{shm, stale(shm)}, std::pair{wal, staleWal}}) {
        if (!remove)
            continue;
        std::filesystem::remove(file, ec);
        logInfo("StoreFileGuard",
                "removed the read-only " + file.string() +
                    (ec ? std::string(" failed: ") + ec.message() : std::string()));
    }
}

// Every file the store writes: the folder (for the journal files), the store and its journals.
Status StoreFileGuard::checkWritable(const std::filesystem::path& path, bool journals) {
    const std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();
    std::vector<std::filesystem::path> files = {folder, path};
    if (journals)
        files = {path.string() + "-wal", path.string() + "-shm"};
    for (const std::filesystem::path& file : files) {
        if (Status writable = checkFileWritable(file); !writable)
            return writable;
    }
    return Status::success();
}

Result<std::unique_ptr<StoreFileGuard>> StoreFileGuard::acquire(const std::filesystem::path& path) {
    const std::filesystem::path lockPath = path.string() + ".lock";
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return storeError(StoreErrorCode::CannotOpen,
                          "The data file " + path.string() + " cannot be opened.",
                          std::strerror(errno));
    }
    std::unique_ptr<StoreFileGuard> guard(new StoreFileGuard(fd));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return storeError(StoreErrorCode::Locked,
                          "The data file is in use by another Ravelong process.",
                          "Quit the other Ravelong process and try again.");
    }
    return guard;
}

StoreFileGuard::~StoreFileGuard() {
    ::close(lockFd_);  // closing releases the lock
}

bool StoreFileGuard::hasSqliteHeader(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    char header[16] = {};
    file.read(header, sizeof header);
    return file.gcount() == sizeof header && std::memcmp(header, kSqliteMagic, 16) == 0;
}

}  // namespace ravelong
