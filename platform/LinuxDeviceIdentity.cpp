#include "platform/LinuxDeviceIdentity.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <system_error>
#include <tuple>
#include <vector>

namespace ravelong {

namespace {

namespace fs = std::filesystem;

std::optional<std::string> readFirstLine(const fs::path& path) {
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.pop_back();
    return line;
}

bool pathExists(const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error);
}

bool isHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// ARPHRD_ETHER: Ethernet and Wi-Fi interfaces report this link type.
constexpr int kEthernetLinkType = 1;

struct Candidate {
    bool wireless = false;
    std::string name;
    std::string udid;
};

std::optional<Candidate> candidateInterface(const fs::path& interface) {
    const std::string name = interface.filename().string();
    if (name == "lo")
        return std::nullopt;
    const auto type = readFirstLine(interface / "type");
    if (!type || *type != std::to_string(kEthernetLinkType))
        return std::nullopt;
    // Only hardware has a "device" link; bridges, veth pairs, tunnels and the like do not.
    if (!pathExists(interface / "device"))
        return std::nullopt;
    // 1: random, 3: set from user space (NetworkManager's cloned addresses). Neither is the
    // interface's own address, and both may change.
    if (const auto assign = readFirstLine(interface / "addr_assign_type")) {
        if (*assign == "1" || *assign == "3")
            return std::nullopt;
    }
    const auto address = readFirstLine(interface / "address");
    if (!address)
        return std::nullopt;
    auto udid = LinuxDeviceIdentity::udidFromHardwareAddress(*address);
    if (!udid)
        return std::nullopt;
    const bool wireless = pathExists(interface / "wireless") || pathExists(interface / "phy80211");
    return Candidate{wireless, name, *udid};
}

std::string passwdLogin(std::string* gecos) {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return {};
    if (gecos)
        *gecos = found->pw_gecos ? found->pw_gecos : "";
    return found->pw_name ? found->pw_name : "";
}

// A value of an environment-style file: KEY=value, KEY="va lue" or KEY='value', with backslash
// escapes inside double quotes.
std::string unquote(std::string_view value) {
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'')
        return std::string(value.substr(1, value.size() - 2));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        std::string text;
        const std::string_view inner = value.substr(1, value.size() - 2);
        for (std::size_t i = 0; i < inner.size(); ++i) {
            if (inner[i] == '\\' && i + 1 < inner.size())
                ++i;
            text += inner[i];
        }
        return text;
    }
    return std::string(value);
}

}  // namespace

std::optional<std::string> LinuxDeviceIdentity::udidFromHardwareAddress(std::string_view address) {
    // Six bytes, each two hex digits, separated by colons: 17 characters.
    if (address.size() != 17)
        return std::nullopt;
    std::string digits;
    for (std::size_t i = 0; i < address.size(); ++i) {
        if (i % 3 == 2) {
            if (address[i] != ':')
                return std::nullopt;
        } else if (!isHexDigit(address[i])) {
            return std::nullopt;
        } else {
            digits += address[i];
        }
    }
    if (digits.find_first_not_of('0') == std::string::npos)
        return std::nullopt;
    return lowerCase(digits);
}

std::optional<std::string> LinuxDeviceIdentity::hardwareAddressUDID(const fs::path& sysClassNet) {
    std::error_code error;
    fs::directory_iterator it(sysClassNet, error);
    if (error)
        return std::nullopt;
    std::optional<Candidate> best;
    for (const fs::directory_entry& entry : it) {
        auto candidate = candidateInterface(entry.path());
        if (!candidate)
            continue;
        // Wired first, then by name: the choice must not depend on the order the kernel lists
        // the interfaces in, or the id could change from one boot to the next.
        if (!best ||
            std::tie(candidate->wireless, candidate->name) < std::tie(best->wireless, best->name)) {
            best = candidate;
        }
    }
    if (!best)
        return std::nullopt;
    return best->udid;
}

std::optional<std::string> LinuxDeviceIdentity::machineIdUDID(const fs::path& machineId) {
    const auto line = readFirstLine(machineId);
    if (!line || line->size() != 32 || !std::all_of(line->begin(), line->end(), isHexDigit))
        return std::nullopt;
    if (line->find_first_not_of('0') == std::string::npos)
        return std::nullopt;
    return lowerCase(*line);
}

std::optional<std::string> LinuxDeviceIdentity::prettyHostName(const fs::path& machineInfo) {
    std::ifstream in(machineInfo);
    std::string line;
    constexpr std::string_view kKey = "PRETTY_HOSTNAME=";
    while (std::getline(in, line)) {
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
            line.pop_back();
        if (line.rfind(kKey, 0) != 0)
            continue;
        std::string name = unquote(std::string_view(line).substr(kKey.size()));
        if (!name.empty())
            return name;
    }
    return std::nullopt;
}

std::string LinuxDeviceIdentity::fullNameFromGecos(std::string_view gecos,
                                                   std::string_view loginName) {
    // "Full Name,Room,Work Phone,Home Phone,Other"
    std::string_view name = gecos.substr(0, gecos.find(','));
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.front())))
        name.remove_prefix(1);
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back())))
        name.remove_suffix(1);
    return std::string(name.empty() ? loginName : name);
}

std::optional<std::string> LinuxDeviceIdentity::deviceUDID() const {
    std::call_once(udidOnce_, [this] {
        udid_ = hardwareAddressUDID(paths_.sysClassNet);
        if (!udid_)
            udid_ = machineIdUDID(paths_.machineId);
    });
    return udid_;
}

std::uint32_t LinuxDeviceIdentity::userUID() const {
    return static_cast<std::uint32_t>(::geteuid());
}

std::string LinuxDeviceIdentity::fullUserName() const {
    std::string gecos;
    const std::string login = passwdLogin(&gecos);
    return fullNameFromGecos(gecos, login);
}

std::string LinuxDeviceIdentity::loginName() const {
    return passwdLogin(nullptr);
}

std::string LinuxDeviceIdentity::hostLocalizedName() const {
    if (auto pretty = prettyHostName(paths_.machineInfo))
        return *pretty;
    char name[256] = {};
    if (::gethostname(name, sizeof(name) - 1) != 0)
        return {};
    return name;
}

}  // namespace ravelong
