#include "exchange/csv/CsvMappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "exchange/csv/CsvEncoding.h"

namespace ravelong::csv {
namespace {

Error fileError(const std::filesystem::path& path, const char* step, int code) {
    return Error{kCsvErrorDomain, kCsvFileError,
                 "The file \"" + path.string() + "\" could not be " + step + ".",
                 std::strerror(code)};
}

}  // namespace

Result<CsvMappedFile> CsvMappedFile::open(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fileError(path, "opened", errno);
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        const int code = errno;
        ::close(fd);
        return fileError(path, "read", code);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return fileError(path, "read", EISDIR);
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    if (size == 0) {
        ::close(fd);
        return CsvMappedFile(nullptr, 0);
    }
    void* data = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    const int code = errno;
    ::close(fd);
    if (data == MAP_FAILED)
        return fileError(path, "read", code);
    madvise(data, size, MADV_SEQUENTIAL);
    return CsvMappedFile(data, size);
}

CsvMappedFile::CsvMappedFile(CsvMappedFile&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

CsvMappedFile& CsvMappedFile::operator=(CsvMappedFile&& other) noexcept {
    if (this != &other) {
        if (data_)
            munmap(data_, size_);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

CsvMappedFile::~CsvMappedFile() {
    if (data_)
        munmap(data_, size_);
}

}  // namespace ravelong::csv
