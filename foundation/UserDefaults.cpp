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
#include "foundation/SettingsFileText.h"
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

// Why a settings file's text cannot be taken as settings, or empty when it can; `parsed` then
// holds its object.
std::string rejectionOf(const std::string& bytes, json& parsed) {
    // Checked before parsing: the parser would cope, but every later step that walks the values
    // (comparing, copying, writing) is recursive.
    if (settings_file_text::nestsDeeperThan(bytes, settings_file_text::kMaxNestingDepth)) {
        return "nests arrays or objects more than " +
               std::to_string(settings_file_text::kMaxNestingDepth) + " levels deep";
    }
    parsed = json::parse(bytes, nullptr, /*allow_exceptions=*/false);
    if (parsed.is_discarded()) {
        return "is not valid JSON";
    }
    if (!parsed.is_object()) {
        return "does not hold a JSON object";
    }
    return {};
}

// Whether a value for `key`, stored inside `wrappers` more levels, would nest the file deeper than
// a settings file may go (logged). Checked before the value is copied: copying, like comparing
// and writing, recurses once per level.
bool tooDeep(std::string_view key, const json& value, int wrappers) {
    // The value sits inside the file's top-level object, one level down.
    const int allowed = settings_file_text::kMaxNestingDepth - 1 - wrappers;
    if (settings_file_text::nestingDepth(value, allowed) <= allowed) {
        return false;
    }
    logError("write setting", "refused a value nested more than " + std::to_string(allowed) +
                                  " levels deep for " + std::string(key));
    return true;
}

bool sameStoredValue(const json& a, const json& b) {
    // JSON equality calls 1 and 1.0 equal; the stored type must follow the last write too.
    return a.type() == b.type() && a == b;
}

std::atomic<UserDefaults*> gStandardOverride{nullptr};
std::atomic<UserDefaults*> gGroupOverride{nullptr};

}  // namespace

UserDefaults::UserDefaults(std::filesystem::path file)
    : UserDefaults(std::move(file), writeFileAtomically) {}

UserDefaults::UserDefaults(std::filesystem::path file, FileWriter writer)
    : path_(std::move(file)), writer_(std::move(writer)) {
    load();
}

UserDefaults::UserDefaults(Suite suite) : UserDefaults(pathForSuite(suite)) {}

void UserDefaults::load() {
    const std::filesystem::path file = resolveSymbolicLinks(path_);
    const FileStamp stamp = FileStamp::of(file);
    const FileContents contents = readWholeFile(file);
    if (contents.errorNumber == ENOENT) {
        return;
    }
    if (contents.errorNumber != 0) {
        moveAside(file,
                  std::string("cannot be read (") + std::strerror(contents.errorNumber) + ")");
        return;
    }
    json parsed;
    const std::string rejection = rejectionOf(contents.bytes, parsed);
    if (!rejection.empty()) {
        moveAside(file, rejection);
        return;
    }
    values_ = std::move(parsed);
    knownStamp_ = stamp;
}

void UserDefaults::moveAside(const std::filesystem::path& file, const std::string& reason) {
    const std::string stamp = compactUtcTimestamp(unixTimeFromInstant(Clock::current().now()));
    std::filesystem::path target = file;
    target += ".corrupt-" + stamp;
    std::error_code ignored;
    for (int suffix = 2; std::filesystem::exists(std::filesystem::symlink_status(target, ignored));
         ++suffix) {
        target = file;
        target += ".corrupt-" + stamp + "-" + std::to_string(suffix);
    }
    if (::rename(file.c_str(), target.c_str()) != 0) {
        logError("load settings", "the settings file " + file.string() + " " + reason +
                                      " and could not be moved aside (" + std::strerror(errno) +
                                      "); starting with empty settings");
        return;
    }
    logError("load settings", "the settings file " + file.string() + " " + reason +
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
    const bool wrapped = looksTagged(value);
    if (tooDeep(key, value, wrapped ? 1 : 0)) {
        return;
    }
    store(key, wrapped ? json{{kDictionaryTag, value}} : value);
}

void UserDefaults::setArray(std::string_view key, const nlohmann::json& value) {
    if (!value.is_array()) {
        logError("write setting", "refused a non-array value for " + std::string(key));
        return;
    }
    if (tooDeep(key, value, 0)) {
        return;
    }
    store(key, value);
}

void UserDefaults::store(std::string_view key, nlohmann::json value) {
    std::string name(key);
    // The longest value a settings file takes; a bigger one would slow down every save.
    const std::size_t size = value.is_string()       ? value.get_ref<const std::string&>().size()
                             : value.is_structured() ? settings_file_text::compact(value).size()
                                                     : 0;
    if (size > settings_file_text::kMaxValueBytes) {
        logError("write setting",
                 "refused a value of " + std::to_string(size) + " bytes (more than " +
                     std::to_string(settings_file_text::kMaxValueBytes) + ") for " + name);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        json& slot = values_[name];
        if (!slot.is_null() && sameStoredValue(slot, value)) {
            return;
        }
        slot = std::move(value);
        changedKeys_[name] = ++changeCount_;
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
        changedKeys_[name] = ++changeCount_;
    }
    notify(name);
}

Status UserDefaults::synchronize() {
    std::vector<std::string> changedByOthers;
    Status status = writeChanges(changedByOthers);
    // Outside every lock: observers may read, write and synchronize the suite themselves.
    for (const std::string& key : changedByOthers) {
        notify(key);
    }
    return status;
}

Status UserDefaults::writeChanges(std::vector<std::string>& changedByOthers) {
    std::lock_guard writing(synchronizeMutex_);
    {
        std::lock_guard lock(mutex_);
        if (changeCount_ == savedChangeCount_) {
            return Status::success();
        }
    }
    // Written where a symbolic link points, so the link stays a link.
    const std::filesystem::path file = resolveSymbolicLinks(path_);
    if (FileStamp::of(file) != knownStamp_) {
        takeInChangesOfOthers(file, changedByOthers);
    }
    std::string text;
    std::uint64_t snapshotCount;
    {
        std::lock_guard lock(mutex_);
        text = settings_file_text::render(values_);
        snapshotCount = changeCount_;
    }
    Status status = writer_(file, text);
    if (!status.ok()) {
        Error error = status.error();
        error.description = "Ravelong could not save its settings in \"" +
                            file.parent_path().string() +
                            "\". The changed settings are kept until they can be saved; check "
                            "that the folder can be written and the disk is not full.";
        logError("save settings", error.failureReason);
        return error;
    }
    knownStamp_ = FileStamp::of(file);
    std::lock_guard lock(mutex_);
    savedChangeCount_ = snapshotCount;
    std::erase_if(changedKeys_, [&](const auto& entry) { return entry.second <= snapshotCount; });
    return status;
}

void UserDefaults::takeInChangesOfOthers(const std::filesystem::path& file,
                                         std::vector<std::string>& changedByOthers) {
    const FileStamp stamp = FileStamp::of(file);
    const FileContents contents = readWholeFile(file);
    json onDisk;
    const std::string rejection =
        contents.errorNumber != 0
            ? std::string("cannot be read (") + std::strerror(contents.errorNumber) + ")"
            : rejectionOf(contents.bytes, onDisk);
    if (!rejection.empty()) {
        // Nothing to take in; what we hold is written over it (a damaged file would have been
        // moved aside at the start, but we must not lose our settings to it now).
        if (contents.errorNumber != ENOENT) {
            logWarning("save settings", "the settings file " + file.string() +
                                            " changed on disk and " + rejection +
                                            "; writing this program's settings over it");
        }
        return;
    }
    std::lock_guard lock(mutex_);
    for (const auto& [key, count] : changedKeys_) {
        const auto ours = values_.find(key);
        if (ours != values_.end()) {
            onDisk[key] = *ours;
        } else {
            onDisk.erase(key);
        }
    }
    for (const auto& item : onDisk.items()) {
        const auto ours = values_.find(item.key());
        if (ours == values_.end() || !sameStoredValue(*ours, item.value())) {
            changedByOthers.push_back(item.key());
        }
    }
    for (const auto& item : values_.items()) {
        if (!onDisk.contains(item.key())) {
            changedByOthers.push_back(item.key());
        }
    }
    values_ = std::move(onDisk);
    knownStamp_ = stamp;
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
