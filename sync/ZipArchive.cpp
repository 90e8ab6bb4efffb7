#include "sync/ZipArchive.h"

#include <fcntl.h>
#include <unistd.h>
#include <unzip.h>
#include <zip.h>
#include <zlib.h>

#include <fstream>
#include <vector>

#include "foundation/Uuid.h"
#include "sync/SECloudFileSystem.h"

namespace ravelong::zip_archive {

namespace fs = std::filesystem;

namespace {

Error damaged(const fs::path& archive, const std::string& why) {
    return makeSEError(kSEErrorDamagedFile,
                       "The sync file " + archive.filename().string() + " is not usable: " + why);
}

bool isSafeEntryName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos && name.find('\0') == std::string::npos;
}

struct UnzipCloser {
    unzFile file;
    ~UnzipCloser() {
        if (file)
            unzClose(file);
    }
};

}  // namespace

Status zipSingleFile(const fs::path& source, const fs::path& archive) {
    std::ifstream in(source, std::ios::binary);
    if (!in)
        return makeSEError(kSEErrorUnknown, "Cannot read " + source.string() + ".");
    zipFile zf = zipOpen64(archive.c_str(), APPEND_STATUS_CREATE);
    if (!zf)
        return makeSEError(kSEErrorUnknown, "Cannot create " + archive.string() + ".");
    auto fail = [&](const std::string& why) -> Status {
        zipClose(zf, nullptr);
        std::error_code ec;
        fs::remove(archive, ec);
        return makeSEError(kSEErrorUnknown, why);
    };
    zip_fileinfo info{};
    std::string name = source.filename().string();
    if (zipOpenNewFileInZip64(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                              Z_DEFAULT_COMPRESSION, 1) != ZIP_OK)
        return fail("Cannot start the archive entry.");
    std::vector<char> buffer(64 * 1024);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        auto n = in.gcount();
        if (n > 0 && zipWriteInFileInZip(zf, buffer.data(), static_cast<unsigned>(n)) != ZIP_OK)
            return fail("Cannot write the archive.");
    }
    if (in.bad())
        return fail("Cannot read " + source.string() + ".");
    if (zipCloseFileInZip(zf) != ZIP_OK)
        return fail("Cannot finish the archive entry.");
    if (zipClose(zf, nullptr) != ZIP_OK) {
        std::error_code ec;
        fs::remove(archive, ec);
        return makeSEError(kSEErrorUnknown, "Cannot finish the archive.");
    }
    return Status();
}

Status unzipSingleFile(const fs::path& archive, const fs::path& directory,
                       std::uint64_t inflateLimit, fs::path* extracted) {
    UnzipCloser uz{unzOpen64(archive.c_str())};
    if (!uz.file)
        return damaged(archive, "it is not a zip archive.");
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(uz.file, &global) != UNZ_OK)
        return damaged(archive, "its directory cannot be read.");
    if (global.number_entry != 1)
        return damaged(archive, "it must hold exactly one file.");
    if (unzGoToFirstFile(uz.file) != UNZ_OK)
        return damaged(archive, "its entry cannot be read.");
    unz_file_info64 info{};
    char nameBuffer[1024] = {};
    if (unzGetCurrentFileInfo64(uz.file, &info, nameBuffer, sizeof nameBuffer - 1, nullptr, 0,
                                nullptr, 0) != UNZ_OK ||
        info.size_filename >= sizeof nameBuffer)
        return damaged(archive, "its entry cannot be read.");
    std::string name(nameBuffer, info.size_filename);
    if (!isSafeEntryName(name))
        return damaged(archive, "its entry name \"" + name + "\" points outside its folder.");
    if (info.flag & 1)
        return damaged(archive, "its entry is encrypted.");
    // The declared size is only a first line of defence: the data itself is counted below.
    if (info.uncompressed_size > inflateLimit)
        return damaged(archive, "its entry is larger than any sync file can be.");

    fs::path target = directory / name;
    std::error_code ec;
    if (fs::exists(fs::symlink_status(target, ec)))
        return makeSEError(kSEErrorFileExists,
                           "The file " + target.string() + " already exists and was kept.");
    fs::create_directories(directory, ec);
    fs::path temporary = directory / ("." + name + ".unzip-" + makeUuid());
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out)
        return makeSEError(kSEErrorUnknown, "Cannot write " + temporary.string() + ".");
    auto discard = [&](Status status) {
        out.close();
        std::error_code removeError;
        fs::remove(temporary, removeError);
        return status;
    };

    if (unzOpenCurrentFile(uz.file) != UNZ_OK)
        return discard(damaged(archive, "its entry cannot be opened."));
    std::vector<char> buffer(64 * 1024);
    std::uint64_t total = 0;
    for (;;) {
        int n = unzReadCurrentFile(uz.file, buffer.data(), static_cast<unsigned>(buffer.size()));
        if (n < 0) {
            unzCloseCurrentFile(uz.file);
            return discard(damaged(archive, "its data is damaged."));
        }
        if (n == 0)
            break;
        total += static_cast<std::uint64_t>(n);
        if (total > inflateLimit) {
            unzCloseCurrentFile(uz.file);
            return discard(damaged(archive, "its entry inflates past the size limit."));
        }
        out.write(buffer.data(), n);
        if (!out) {
            unzCloseCurrentFile(uz.file);
            return discard(makeSEError(kSEErrorUnknown, "Cannot write " + target.string() + "."));
        }
    }
    // Closing the entry after reading it whole is where minizip checks the CRC.
    if (unzCloseCurrentFile(uz.file) != UNZ_OK)
        return discard(damaged(archive, "its data fails its checksum."));
    out.flush();
    if (!out)
        return discard(makeSEError(kSEErrorUnknown, "Cannot write " + target.string() + "."));
    out.close();
    // link() fails when the name was taken meanwhile, so an existing file is never replaced.
    if (::link(temporary.c_str(), target.c_str()) != 0) {
        int err = errno;
        std::error_code removeError;
        fs::remove(temporary, removeError);
        if (err == EEXIST)
            return makeSEError(kSEErrorFileExists,
                               "The file " + target.string() + " already exists and was kept.");
        return makeSEError(kSEErrorUnknown, "Cannot write " + target.string() + ".");
    }
    fs::remove(temporary, ec);
    if (extracted)
        *extracted = target;
    return Status();
}

}  // namespace ravelong::zip_archive
