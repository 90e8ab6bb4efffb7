#include "sync/LocalFolderCloudFileSystem.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "foundation/AtomicFile.h"

namespace ravelong {

namespace fs = std::filesystem;

namespace {

Error fileError(int code, const std::string& what, const std::error_code& ec) {
    return makeSEError(code, what + (ec ? ": " + ec.message() : std::string()));
}

Result<std::string> readWholeFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return makeSEError(kSEErrorUnknown, "Cannot read " + file.string() + ".");
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad())
        return makeSEError(kSEErrorUnknown, "Cannot read " + file.string() + ".");
    return bytes.str();
}

// Copies a whole file so that the destination appears complete or not at all.
Status copyAtomically(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (!fs::is_regular_file(from, ec))
        return makeSEError(kSEErrorUnknown, "There is no file at " + from.string() + ".");
    auto bytes = readWholeFile(from);
    if (!bytes.ok())
        return bytes.error();
    return writeFileAtomically(to, bytes.value());
}

// A download lands in the caller's private folder while the sync folder keeps the file, so it
// needs no flushing to disk (each flush costs a disk round trip, and a merge downloads many
// small files): a temporary copy renamed into place lets the caller see it whole or not at all.
Status copyForReading(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (!fs::is_regular_file(from, ec))
        return makeSEError(kSEErrorUnknown, "There is no file at " + from.string() + ".");
    fs::create_directories(to.parent_path(), ec);
    const fs::path temporary = to.parent_path() / ("." + to.filename().string() + ".part");
    fs::copy_file(from, temporary, fs::copy_options::overwrite_existing, ec);
    if (!ec)
        fs::rename(temporary, to, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return fileError(kSEErrorUnknown, "Cannot copy " + from.string(), ec);
    }
    return Status();
}

// FNV-1a over bytes, folded into the running value.
void mix(std::uint64_t& hash, std::string_view bytes) {
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    hash ^= 0xff;
    hash *= 1099511628211ULL;
}

}  // namespace

LocalFolderCloudFileSystem::LocalFolderCloudFileSystem(MainLoop& loop, fs::path root)
    : SECloudFileSystem(loop), root_(std::move(root)) {}

bool LocalFolderCloudFileSystem::isHiddenName(const std::string& name) {
    return name.empty() || name.front() == '.' || name.front() == '~';
}

bool LocalFolderCloudFileSystem::isConflictCopyName(const std::string& name) {
    return name.find(".sync-conflict-") != std::string::npos ||
           name.find("(conflicted copy") != std::string::npos ||
           name.find("(conflict") != std::string::npos;
}

Result<fs::path> LocalFolderCloudFileSystem::resolve(const std::string& path) const {
    fs::path result = root_;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        std::string part = path.substr(start, end - start);
        if (part == "..")
            return makeSEError(kSEErrorInvalidPath,
                               "The path \"" + path + "\" leaves the sync folder.");
        if (part.find('\0') != std::string::npos)
            return makeSEError(kSEErrorInvalidPath, "The path holds a NUL character.");
        if (!part.empty() && part != ".")
            result /= part;
        start = end + 1;
    }
    return result;
}

bool LocalFolderCloudFileSystem::isConnected() const {
    std::error_code ec;
    return fs::is_directory(root_, ec);
}

void LocalFolderCloudFileSystem::connect(Completion completion) {
    Status status;
    if (!isConnected())
        status = makeSEError(kSEErrorNoConnection,
                             "The sync folder " + root_.string() + " is not available.");
    deliver([completion = std::move(completion), status] { completion(status); });
}

void LocalFolderCloudFileSystem::fetchUserIdentityWithCompletion(IdentityCompletion completion) {
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(root_, ec);
    std::optional<std::string> identity;
    Status status;
    if (ec)
        status = fileError(kSEErrorNoConnection, "The sync folder cannot be reached", ec);
    else
        identity = canonical.string();
    deliver(
        [completion = std::move(completion), identity, status] { completion(identity, status); });
}

void LocalFolderCloudFileSystem::fileExistsAtPath(const std::string& path,
                                                  ExistsCompletion completion) {
    auto where = resolve(path);
    bool exists = false, isDirectory = false;
    Status status;
    if (!where.ok()) {
        status = where.error();
    } else {
        std::error_code ec;
        auto st = fs::status(where.value(), ec);
        if (ec && ec != std::errc::no_such_file_or_directory)
            status = fileError(kSEErrorUnknown, "Cannot look at " + path, ec);
        exists = !ec && fs::exists(st);
        isDirectory = exists && fs::is_directory(st);
    }
    deliver([completion = std::move(completion), exists, isDirectory, status] {
        completion(exists, isDirectory, status);
    });
}

void LocalFolderCloudFileSystem::directoryExistsAtPath(const std::string& path,
                                                       DirectoryExistsCompletion completion) {
    fileExistsAtPath(
        path, [completion = std::move(completion)](bool exists, bool isDirectory, Status status) {
            completion(status.ok() && exists && isDirectory, status);
        });
}

void LocalFolderCloudFileSystem::createDirectoryAtPath(const std::string& path,
                                                       Completion completion) {
    auto where = resolve(path);
    Status status;
    if (!where.ok()) {
        status = where.error();
    } else {
        std::error_code ec;
        fs::create_directories(where.value(), ec);
        if (ec || !fs::is_directory(where.value()))
            status = fileError(kSEErrorUnknown, "Cannot create the folder " + path, ec);
    }
    deliver([completion = std::move(completion), status] { completion(status); });
}

void LocalFolderCloudFileSystem::contentsOfDirectoryAtPath(const std::string& path,
                                                           ListingCompletion completion) {
    auto where = resolve(path);
    std::optional<std::vector<SECloudItem>> items;
    Status status;
    std::error_code ec;
    if (!where.ok()) {
        status = where.error();
    } else if (!fs::is_directory(where.value(), ec)) {
        status = makeSEError(kSEErrorNoDirectory, "There is no folder at " + path + ".");
    } else {
        std::vector<SECloudItem> found;
        std::string prefix = path;
        while (!prefix.empty() && prefix.back() == '/')
            prefix.pop_back();
        for (fs::directory_iterator it(where.value(), ec), end; !ec && it != end;
             it.increment(ec)) {
            std::string name = it->path().filename().string();
            if (isHiddenName(name))
                continue;
            SECloudItem item;
            item.name = name;
            item.path = prefix.empty() ? name : prefix + "/" + name;
            std::error_code entryError;
            item.isDirectory = it->is_directory(entryError);
            if (!item.isDirectory) {
                if (!it->is_regular_file(entryError))
                    continue;  // sockets, broken links
                item.size = it->file_size(entryError);
            }
            found.push_back(std::move(item));
        }
        if (ec) {
            status = fileError(kSEErrorUnknown, "Cannot list the folder " + path, ec);
        } else {
            // Directory order differs between file systems; callers get one order everywhere.
            std::sort(found.begin(), found.end(),
                      [](const SECloudItem& a, const SECloudItem& b) { return a.name < b.name; });
            items = std::move(found);
        }
    }
    deliver([completion = std::move(completion), items = std::move(items), status]() mutable {
        completion(std::move(items), status);
    });
}

void LocalFolderCloudFileSystem::removeItemAtPath(const std::string& path, Completion completion) {
    auto where = resolve(path);
    Status status;
    if (!where.ok()) {
        status = where.error();
    } else if (where.value() == root_) {
        status = makeSEError(kSEErrorInvalidPath, "The sync folder itself is never removed.");
    } else {
        std::error_code ec;
        auto removed = fs::remove_all(where.value(), ec);
        if (ec)
            status = fileError(kSEErrorUnknown, "Cannot remove " + path, ec);
        else if (removed == 0)
            status = makeSEError(kSEErrorUnknown, "There is nothing at " + path + " to remove.");
    }
    deliver([completion = std::move(completion), status] { completion(status); });
}

void LocalFolderCloudFileSystem::uploadLocalFile(const fs::path& localFile, const std::string& path,
                                                 Completion completion) {
    auto where = resolve(path);
    Status status;
    if (!where.ok())
        status = where.error();
    else if (where.value() == root_)
        status = makeSEError(kSEErrorInvalidPath, "A file cannot replace the sync folder.");
    else
        status = copyAtomically(localFile, where.value());
    deliver([completion = std::move(completion), status] { completion(status); });
}

void LocalFolderCloudFileSystem::downloadFromPath(const std::string& path,
                                                  const fs::path& localFile,
                                                  Completion completion) {
    auto where = resolve(path);
    Status status = where.ok() ? copyForReading(where.value(), localFile) : Status(where.error());
    deliver([completion = std::move(completion), status] { completion(status); });
}

bool LocalFolderCloudFileSystem::respondsTo(SEOptionalOperation operation) const {
    switch (operation) {
        case SEOptionalOperation::directoryExists:
        case SEOptionalOperation::uploadBatch:
        case SEOptionalOperation::downloadBatch:
        case SEOptionalOperation::removeBatch:
        case SEOptionalOperation::hashOfDirectory:
            return true;
        default:
            return false;
    }
}

void LocalFolderCloudFileSystem::hashOfDirectoryWithCompletion(HashCompletion completion) {
    std::vector<std::pair<std::string, std::string>> entries;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root_, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        if (!it->is_regular_file(entryError))
            continue;
        auto relative = fs::relative(it->path(), root_, entryError).generic_string();
        if (isHiddenName(it->path().filename().string()))
            continue;
        auto size = it->file_size(entryError);
        auto stamp = it->last_write_time(entryError).time_since_epoch().count();
        entries.emplace_back(relative, std::to_string(size) + ":" + std::to_string(stamp));
    }
    std::vector<std::uint64_t> hash;
    Status status;
    if (ec) {
        status = fileError(kSEErrorNoConnection, "Cannot read the sync folder", ec);
    } else {
        std::sort(entries.begin(), entries.end());
        std::uint64_t value = 14695981039346656037ULL;
        for (const auto& [name, detail] : entries) {
            mix(value, name);
            mix(value, detail);
        }
        hash.push_back(value);
    }
    deliver([completion = std::move(completion), hash, status] { completion(hash, status); });
}

}  // namespace ravelong
