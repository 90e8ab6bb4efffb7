#include "store/StoreFileGuard.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "store/StoreError.h"

namespace ravelong {

namespace {

constexpr char kSqliteMagic[] = "SQLite format 3";  // followed by a NUL in the file header

}  // namespace

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
