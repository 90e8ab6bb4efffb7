#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Error.h"
#include "foundation/FileStamp.h"
#include "foundation/Instant.h"

namespace ravelong {

// The local preferences of one suite: typed values under string keys, kept in memory and written
// to a JSON file by synchronize().
//
// File format: one JSON object mapping each key to its value. Integers, doubles, booleans,
// strings, dictionaries (JSON objects) and arrays are stored as themselves; the two types JSON
// lacks are tagged objects:
//     "ZRAutoBackupLocationData": {"$data": "AAEC/w=="}     bytes, standard base64
//     "ZRLastSync": {"$date": 733232000.5}                  Instant: seconds since 2001-01-01 UTC
// A dictionary that itself has a single key starting with '$' is stored wrapped as
// {"$dict": {...}}, so no dictionary can be mistaken for a tagged value. Dictionaries and arrays
// hold plain JSON: nothing inside them is tagged or untagged.
//
// Reads take a default that is returned when the key is absent or holds a value of another type
// (a bool read of a string, a date read of a number). Numbers convert where nothing is lost in
// meaning: an integer reads as a double, a double reads as an integer truncated toward zero
// (if it fits in 64 bits), true/false read as 1/0, and the integers 0 and 1 read as booleans.
//
// Loading happens in the constructor. A missing file is an empty suite. A file that cannot be
// read, is not JSON, nests arrays and objects more than 64 levels deep (its top-level object
// counted), or whose top level is not an object is renamed to "<name>.corrupt-YYYYMMDD-HHMMSS"
// beside it (UTC time from Clock::current(); "-2", "-3", ... appended if taken), the move is
// logged, and the suite starts empty. Values that would break those limits are refused on
// writing (see the setters).
//
// A settings path that is a symbolic link (a dotfiles set-up) stays one: reads and writes go
// through the link to the file it finally points to, and a damaged file is moved aside beside
// that file.
//
// Other programs may change the file while we run (an editor, a second copy of the program, a
// sync tool). synchronize() notices when the file is no longer the one it last read or wrote
// (another file, size or modification time) and then reads it again first: the keys this suite
// changed since then keep this suite's values (or stay removed), every other key takes the
// file's value, observers are told of the keys that changed that way, and the merged whole is
// written. A file that is gone or cannot be read at that moment does not take anything away:
// this suite's values are written as they are.
//
// Thread-safe: every member may be called from any thread. Observers run on the writing thread,
// after the write, with no lock held, so they may read and write the suite themselves.
class UserDefaults {
public:
    using ObserverId = std::uint64_t;  // never 0, never reused
    using Observer = std::function<void(const std::string& key)>;
    using Data = std::vector<std::uint8_t>;
    // Replaces the file at the given path with the given text, atomically, or fails without
    // touching it (writeFileAtomically is the real one; tests inject failures).
    using FileWriter =
        std::function<Status(const std::filesystem::path& path, std::string_view contents)>;

    enum class Suite {
        standard,  // "settings.json": this program's own settings
        group,     // "group-settings.json": settings shared with the helper programs
    };

    // The suite at pathForSuite(suite).
    explicit UserDefaults(Suite suite);
    // A suite backed by `file` (any path; tests pass one in a temporary folder).
    explicit UserDefaults(std::filesystem::path file);
    // The same, writing through `writer`.
    UserDefaults(std::filesystem::path file, FileWriter writer);
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    const std::filesystem::path& path() const { return path_; }

    bool exists(std::string_view key) const;
    std::vector<std::string> keys() const;  // sorted

    std::int64_t integerForKey(std::string_view key, std::int64_t defaultValue = 0) const;
    double doubleForKey(std::string_view key, double defaultValue = 0.0) const;
    bool boolForKey(std::string_view key, bool defaultValue = false) const;
    std::string stringForKey(std::string_view key, std::string defaultValue = {}) const;
    Data dataForKey(std::string_view key, Data defaultValue = {}) const;
    Instant dateForKey(std::string_view key, Instant defaultValue = 0.0) const;
    nlohmann::json dictionaryForKey(std::string_view key,
                                    nlohmann::json defaultValue = nlohmann::json::object()) const;
    nlohmann::json arrayForKey(std::string_view key,
                               nlohmann::json defaultValue = nlohmann::json::array()) const;

    // Writes replace whatever the key held, of any type. Refused with a logged error, leaving the
    // key as it was: non-finite doubles and dates, a setDictionary/setArray of JSON that is not an
    // object/array or that nests more than 63 levels deep, and any value whose text would exceed
    // one megabyte.
    void setInteger(std::string_view key, std::int64_t value);
    void setDouble(std::string_view key, double value);
    void setBool(std::string_view key, bool value);
    void setBool(std::string_view key, const char*) = delete;  // a pointer is not a flag
    void setString(std::string_view key, std::string_view value);
    void setData(std::string_view key, std::span<const std::uint8_t> value);
    void setDate(std::string_view key, Instant value);
    void setDictionary(std::string_view key, const nlohmann::json& value);
    void setArray(std::string_view key, const nlohmann::json& value);
    void remove(std::string_view key);

    // Writes the suite to its file if anything changed since the last successful synchronize,
    // atomically (see writeFileAtomically), after taking in what other programs changed (see
    // above). On failure (a folder or file that cannot be written, a read-only file system, a
    // full disk) the file keeps its previous contents, the values stay in memory and pending for
    // the next call, and the Error (code kFileWriteErrorCode) says that the settings could not be
    // saved where, and the system's reason.
    Status synchronize();

    // Calls `observer` with the key after each write that changes the key's stored value (a
    // write of the same value is silent) and after its removal. Removing an observer from inside
    // a callback is safe.
    ObserverId addObserver(std::string key, Observer observer);
    void removeObserver(ObserverId id);

    // $XDG_CONFIG_HOME/ravelong (an unset, empty or relative XDG_CONFIG_HOME means ~/.config).
    static std::filesystem::path configDirectory();
    static std::filesystem::path pathForSuite(Suite suite);

    // The suites the program uses, created on first use at pathForSuite. Tests substitute their
    // own with setStandard/setGroup or ScopedUserDefaults; nullptr restores the real one.
    static UserDefaults& standard();
    static UserDefaults& group();
    static void setStandard(UserDefaults* defaults);
    static void setGroup(UserDefaults* defaults);

private:
    struct Registration {
        std::string key;
        std::shared_ptr<Observer> observer;
    };

    void load();
    void moveAside(const std::filesystem::path& file, const std::string& reason);
    Status writeChanges(std::vector<std::string>& changedByOthers);
    void takeInChangesOfOthers(const std::filesystem::path& file,
                               std::vector<std::string>& changedByOthers);
    const nlohmann::json* find(std::string_view key) const;  // caller holds mutex_
    void store(std::string_view key, nlohmann::json value);
    void notify(const std::string& key);

    const std::filesystem::path path_;
    const FileWriter writer_;
    mutable std::mutex mutex_;
    nlohmann::json values_ = nlohmann::json::object();
    std::uint64_t changeCount_ = 0;
    std::uint64_t savedChangeCount_ = 0;
    // The keys changed here since the file last had them, each with the change count of its last
    // change: what a merge with another program's changes must keep.
    std::map<std::string, std::uint64_t, std::less<>> changedKeys_;
    std::map<ObserverId, Registration> observers_;
    ObserverId lastObserverId_ = 0;
    std::mutex synchronizeMutex_;  // one synchronize at a time, so an older snapshot never wins
    FileStamp knownStamp_;         // the file as last read or written; guarded by synchronizeMutex_
};

// Installs a suite in place of UserDefaults::standard() or group() for the lifetime of this
// object, then restores the real one.
class ScopedUserDefaults {
public:
    ScopedUserDefaults(UserDefaults::Suite suite, UserDefaults& defaults);
    ~ScopedUserDefaults();
    ScopedUserDefaults(const ScopedUserDefaults&) = delete;
    ScopedUserDefaults& operator=(const ScopedUserDefaults&) = delete;

private:
    UserDefaults::Suite suite_;
};

}  // namespace ravelong
