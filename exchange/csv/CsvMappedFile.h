#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

#include "foundation/Error.h"

namespace ravelong::csv {

// A file mapped read-only into memory, so that a reader walks its bytes without copying them and
// the kernel pages them in and out as the walk goes. Errors name the file and the system's reason
// (domain kCsvErrorDomain, code kCsvFileError). An empty file maps to no bytes.
class CsvMappedFile {
public:
    static Result<CsvMappedFile> open(const std::filesystem::path& path);
    CsvMappedFile(CsvMappedFile&& other) noexcept;
    CsvMappedFile& operator=(CsvMappedFile&& other) noexcept;
    ~CsvMappedFile();

    std::string_view bytes() const { return {static_cast<const char*>(data_), size_}; }

private:
    CsvMappedFile(void* data, std::size_t size) : data_(data), size_(size) {}
    void* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace ravelong::csv
