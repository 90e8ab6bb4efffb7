#include "foundation/UserFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

namespace ravelong::user_folders {

namespace {

std::filesystem::path absoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    std::filesystem::path path = value ? value : "";
    return path.is_absolute() ? path : std::filesystem::path();
}

}  // namespace

std::filesystem::path home() {
    if (const char* value = std::getenv("HOME"); value && *value)
        return value;
    // Started without HOME (a service, a cron job): ask the password database.
    const long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir) {
        return found->pw_dir;
    }
    return ".";
}

std::filesystem::path dataHome() {
    std::filesystem::path path = absoluteVariable("XDG_DATA_HOME");
    return path.empty() ? home() / ".local" / "share" : path;
}

std::filesystem::path configHome() {
    std::filesystem::path path = absoluteVariable("XDG_CONFIG_HOME");
    return path.empty() ? home() / ".config" : path;
}

std::vector<std::filesystem::path> configDirs() {
    std::vector<std::filesystem::path> folders;
    const char* value = std::getenv("XDG_CONFIG_DIRS");
    std::string_view list = value ? value : "";
    while (!list.empty()) {
        const std::size_t colon = list.find(':');
        const std::filesystem::path folder(list.substr(0, colon));
        if (folder.is_absolute())
            folders.push_back(folder);
        list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
    }
    if (folders.empty())
        folders.emplace_back("/etc/xdg");
    return folders;
}

}  // namespace ravelong::user_folders
