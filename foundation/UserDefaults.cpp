#include "foundation/UserDefaults.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <optional>
#include <system_error>

#include "foundation/AtomicFile.h"
#include "foundation/Base64.h"
#include "foundation/Clock.h"
#include "foundation/Log.h"
#include "foundation/UserFolders.h"

namespace ravelong {

namespace {

using json = nlohmann::json;

constexpr const char* kDataTag = "$data";
constexpr const char* kDateTag = "$date";
constexpr const char* kDictionaryTag = "$dict";

// The value under `tag` when `value` is a tagged object {"<tag>": ...}, else nullptr.
const json* tagged(const json& value, const char* tag) {
    if (!value.is_object() || value.size() != 1) {
        return nullptr;
    }
    const auto found = value.find(tag);
    return found == value.end() ? nullptr : &*found;
}

bool looksTagged(const json& value) {
    return value.is_object() && value.size() == 1 && value.begin().key().starts_with('$');
}

std::optional<std::int64_t> toInteger(const json& value) {
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(number);
    }
    if (value.is_number_integer()) {
        return value.get<std::int64_t>();
    }
    if (value.is_number_float()) {
        // 2^63 is exact as a double; anything at or beyond it does not fit.
        const double number = value.get<double>();
        if (!std::isfinite(number) || number >= 9223372036854775808.0 ||
            number < -9223372036854775808.0) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(number);
    }
    if (value.is_boolean()) {
        return value.get<bool>() ? 1 : 0;
    }
    return std::nullopt;
}

std::optional<double> toDouble(const json& value) {
    if (value.is_number()) {
        return value.get<double>();
    }
    if (value.is_boolean()) {
        return value.get<bool>() ? 1.0 : 0.0;
    }
    return std::nullopt;
}

std::optional<bool> toBool(const json& value) {
    if (value.is_boolean()) {
        return value.get<bool>();
    }
    if (value.is_number_integer()) {
        if (value == 0) {
            return false;
        }
        if (value == 1) {
            return true;
        }
    }
    return std::nullopt;
}

// Seconds since the Unix epoch as "YYYYMMDD-HHMMSS" in UTC.
std::string compactUtcTimestamp(double unixSeconds) {
    const auto seconds = static_cast<std::time_t>(std::floor(unixSeconds));
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &parts);
    return text;
}

struct FileContents {
    std::string bytes;
    int errorNumber = 0;  // 0: read; ENOENT: no file; else why it could not be read
};

FileContents readWholeFile(const std::filesystem::path& path) {
    FileContents result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.errorNumber = errno;
        return result;
    }
    char buffer[16384];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            result.errorNumber = errno;
            break;
        }
        if (got == 0) {
            break;
        }
        result.bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return result;
}

std::atomic<UserDefaults*> gStandardOverride{nullptr};
std::atomic<UserDefaults*> gGroupOverride{nullptr};

}  // namespace

UserDefaults::UserDefaults(std::filesystem::path file) : path_(std::move(file)) {
    load();
}

UserDefaults::UserDefaults(Suite suite) : UserDefaults(pathForSuite(suite)) {}

void UserDefaults::load() {
    const FileContents contents = readWholeFile(path_);
    if (contents.errorNumber == ENOENT) {
        return;
    }
    if (contents.errorNumber != 0) {
        moveAside(std::string("cannot be read (") + std::strerror(contents.errorNumber) + ")");
        return;
    }
    json parsed = json::parse(contents.bytes, nullptr, /*allow_exceptions=*/false);
    if (parsed.is_discarded()) {
        moveAside("is not valid JSON");
        return;
    }
    if (!parsed.is_object()) {
        moveAside("does not hold a JSON object");
        return;
    }
    values_ = std::move(parsed);
}

void UserDefaults::moveAside(const std::string& reason) {
    const std::string stamp = compactUtcTimestamp(unixTimeFromInstant(Clock::current().now()));
    std::filesystem::path target = path_;
    target += ".corrupt-" + stamp;
    std::error_code ignored;
    for (int suffix = 2; std::filesystem::exists(std::filesystem::symlink_status(target, ignored));
         ++suffix) {
        target = path_;
        target += ".corrupt-" + stamp + "-" + std::to_string(suffix);
    }
    if (::rename(path_.c_str(), target.c_str()) != 0) {
        logError("load settings", "the settings file " + path_.string() + " " + reason +
                                      " and could not be moved aside (" + std::strerror(errno) +
                                      "); starting with empty settings");
        return;
    }
    logError("load settings", "the settings file " + path_.string() + " " + reason +
                                  "; moved it to " + target.string() +
                                  " and started with empty settings");
}

const nlohmann::json* UserDefaults::find(std::string_view key) const {
    const auto found = values_.find(std::string(key));
    return found == values_.end() ? nullptr : &*found;
}

bool UserDefaults::exists(std::string_view key) const {
    std::lock_guard lock(mutex_);
    return find(key) != nullptr;
}

std::vector<std::string> UserDefaults::keys() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> result;
    for (const auto& item : values_.items()) {
        result.push_back(item.key());
    }
    return result;
}

std::int64_t UserDefaults::integerForKey(std::string_view key, std::int64_t defaultValue) const {
    std::lock_guard lock(mutex_);
    const json* value = find(key);
    return value ? toInteger(*value).value_or(defaultValue) : defaultValue;
}

double UserDefaults::doubleForKey(std::string_view key, double defaultValue) const {
    std::lock_guard lock(mutex_);
    const json* value = find(key);
    return value ? toDouble(*value).value_or(defaultValue) : defaultValue;
}

bool UserDefaults::boolForKey(std::string_view key, bool defaultValue) const {
    std::lock_guard lock(mutex_);
    const json* value = find(key);
    return value ? toBool(*value).value_or(defaultValue) : defaultValue;
}

std::string UserDefaults::stringForKey(std::string_view key, std::string defaultValue) const {
    std::lock_guard lock(mutex_);
    const json* value = find(key);
    return value && value->is_string() ? value->get<std::string>() : std::move(defaultValue);
}

UserDefaults::Data UserDefaults::dataForKey(std::string_view key, Data defaultValue) const {
    std::lock_guard lock(mutex_);
    const json* value = find(key);
    const json* encoded = value ? tagged(*value, kDataTag) : nullptr;
    if (!encoded || !encoded->is_string()) {
        return defaultValue;
    }
    auto bytes = base64::decode(encoded->get_ref<const std::string&>());
    return bytes ? std::move(*bytes) : std::move(defaultValue);
}

Instant UserDefaults::dateForKey(std::string_view key, Instant defaultValue) const {
    std::lock_guard lock(mutex_);
    const json* value = find(key);
    const json* seconds = value ? tagged(*value, kDateTag) : nullptr;
    if (!seconds || !seconds->is_number()) {
        return defaultValue;
    }
    const double instant = seconds->get<double>();
    return std::isfinite(instant) ? instant : defaultValue;
}

nlohmann::json UserDefaults::dictionaryForKey(std::string_view key,
                                              nlohmann::json defaultValue) const {
    std::lock_guard lock(mutex_);
    const json* value = find(key);
    if (!value || !value->is_object()) {
        return defaultValue;
    }
    if (const json* wrapped = tagged(*value, kDictionaryTag)) {
        return wrapped->is_object() ? *wrapped : defaultValue;
    }
    return looksTagged(*value) ? defaultValue : *value;
}

nlohmann::json UserDefaults::arrayForKey(std::string_view key, nlohmann::json defaultValue) const {
    std::lock_guard lock(mutex_);
    const json* value = find(key);
    return value && value->is_array() ? *value : std::move(defaultValue);
}

void UserDefaults::setInteger(std::string_view key, std::int64_t value) {
    store(key, value);
}

void UserDefaults::setDouble(std::string_view key, double value) {
    if (!std::isfinite(value)) {
        logError("write setting", "refused a non-finite number for " + std::string(key));
        return;
    }
    store(key, value);
}

void UserDefaults::setBool(std::string_view key, bool value) {
    store(key, value);
}

void UserDefaults::setString(std::string_view key, std::string_view value) {
    store(key, std::string(value));
}

void UserDefaults::setData(std::string_view key, std::span<const std::uint8_t> value) {
    store(key, json{{kDataTag, base64::encode(value)}});
}

void UserDefaults::setDate(std::string_view key, Instant value) {
    if (!std::isfinite(value)) {
        logError("write setting", "refused a non-finite date for " + std::string(key));
        return;
    }
    store(key, json{{kDateTag, value}});
}

void UserDefaults::setDictionary(std::string_view key, const nlohmann::json& value) {
    if (!value.is_object()) {
        logError("write setting", "refused a non-dictionary value for " + std::string(key));
        return;
    }
    store(key, looksTagged(value) ? json{{kDictionaryTag, value}} : value);
}

void UserDefaults::setArray(std::string_view key, const nlohmann::json& value) {
    if (!value.is_array()) {
        logError("write setting", "refused a non-array value for " + std::string(key));
        return;
    }
    store(key, value);
}

void UserDefaults::store(std::string_view key, nlohmann::json value) {
    std::string name(key);
    {
        std::lock_guard lock(mutex_);
        json& slot = values_[name];
        // JSON equality calls 1 and 1.0 equal; the stored type must follow the last write too.
        if (!slot.is_null() && slot.type() == value.type() && slot == value) {
            return;
        }
        slot = std::move(value);
        ++changeCount_;
    }
    notify(name);
}

void UserDefaults::remove(std::string_view key) {
    std::string name(key);
    {
        std::lock_guard lock(mutex_);
        if (values_.erase(name) == 0) {
            return;
        }
        ++changeCount_;
    }
    notify(name);
}

Status UserDefaults::synchronize() {
    std::lock_guard writing(synchronizeMutex_);
    std::string text;
    std::uint64_t snapshotCount;
    {
        std::lock_guard lock(mutex_);
        if (changeCount_ == savedChangeCount_) {
            return Status::success();
        }
        // Invalid UTF-8 in a stored string is replaced rather than failing the whole save.
        text = values_.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
        snapshotCount = changeCount_;
    }
    Status status = writeFileAtomically(path_, text);
    if (!status.ok()) {
        logError("save settings", status.error().failureReason);
        return status;
    }
    std::lock_guard lock(mutex_);
    savedChangeCount_ = snapshotCount;
    return status;
}

UserDefaults::ObserverId UserDefaults::addObserver(std::string key, Observer observer) {
    std::lock_guard lock(mutex_);
    const ObserverId id = ++lastObserverId_;
    observers_.emplace(
        id, Registration{std::move(key), std::make_shared<Observer>(std::move(observer))});
    return id;
}

void UserDefaults::removeObserver(ObserverId id) {
    std::lock_guard lock(mutex_);
    observers_.erase(id);
}

void UserDefaults::notify(const std::string& key) {
    std::vector<std::pair<ObserverId, std::shared_ptr<Observer>>> chosen;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [id, registration] : observers_) {
            if (registration.key == key) {
                chosen.emplace_back(id, registration.observer);
            }
        }
    }
    for (const auto& [id, observer] : chosen) {
        {
            std::lock_guard lock(mutex_);
            if (observers_.count(id) == 0) {
                continue;  // removed by an earlier observer
            }
        }
        (*observer)(key);
    }
}

std::filesystem::path UserDefaults::configDirectory() {
    return user_folders::configHome() / "ravelong";
}

std::filesystem::path UserDefaults::pathForSuite(Suite suite) {
    return configDirectory() / (suite == Suite::standard ? "settings.json" : "group-settings.json");
}

UserDefaults& UserDefaults::standard() {
    if (UserDefaults* installed = gStandardOverride.load()) {
        return *installed;
    }
    // Never destroyed, like the process's other services: code running during exit may still
    // read a setting.
    static UserDefaults* defaults = new UserDefaults(pathForSuite(Suite::standard));
    return *defaults;
}

UserDefaults& UserDefaults::group() {
    if (UserDefaults* installed = gGroupOverride.load()) {
        return *installed;
    }
    static UserDefaults* defaults = new UserDefaults(pathForSuite(Suite::group));
    return *defaults;
}

void UserDefaults::setStandard(UserDefaults* defaults) {
    gStandardOverride.store(defaults);
}

void UserDefaults::setGroup(UserDefaults* defaults) {
    gGroupOverride.store(defaults);
}

ScopedUserDefaults::ScopedUserDefaults(UserDefaults::Suite suite, UserDefaults& defaults)
    : suite_(suite) {
    if (suite_ == UserDefaults::Suite::standard) {
        UserDefaults::setStandard(&defaults);
    } else {
        UserDefaults::setGroup(&defaults);
    }
}

ScopedUserDefaults::~ScopedUserDefaults() {
    if (suite_ == UserDefaults::Suite::standard) {
        UserDefaults::setStandard(nullptr);
    } else {
        UserDefaults::setGroup(nullptr);
    }
}

}  // namespace ravelong
