#include "store/FileHolders.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <set>

namespace ravelong::file_holders {

namespace {

std::filesystem::path resolved(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::path result = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : result;
}

std::string processName(const std::filesystem::path& processFolder) {
    std::ifstream comm(processFolder / "comm");
    std::string name;
    std::getline(comm, name);
    return name.empty() ? "a program" : name;
}

}  // namespace

std::vector<std::string> processesHolding(const std::filesystem::path& path) {
    const std::filesystem::path file = resolved(path);
    const std::set<std::filesystem::path> wanted = {file, file.string() + "-wal",
                                                    file.string() + "-shm"};
    const std::string self = std::to_string(::getpid());
    std::vector<std::pair<long, std::string>> found;
    std::error_code ec;
    for (const auto& process : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string id = process.path().filename().string();
        if (id.empty() ||
            !std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
            id == self)
            continue;
        std::error_code fdError;
        for (const auto& fd : std::filesystem::directory_iterator(process.path() / "fd", fdError)) {
            std::error_code linkError;
            const std::filesystem::path target =
                std::filesystem::read_symlink(fd.path(), linkError);
            if (!linkError && wanted.count(target) > 0) {
                found.emplace_back(std::stol(id),
                                   processName(process.path()) + " (process " + id + ")");
                break;
            }
        }
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (auto& entry : found)
        names.push_back(std::move(entry.second));
    return names;
}

std::string describe(const std::filesystem::path& path) {
    const std::vector<std::string> names = processesHolding(path);
    if (names.empty())
        return "another program";
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

}  // namespace ravelong::file_holders
