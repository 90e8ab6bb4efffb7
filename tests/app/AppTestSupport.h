#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/StoreLayouts.h"
#include "core/services/DeviceIdentity.h"
#include "foundation/AlertPresenter.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "store/SqliteDatabase.h"
#include "support/FixedDeviceIdentity.h"
#include "support/SettableClock.h"
#include "support/TestSupport.h"

// Helpers of the application-layer tests. Failures that are not what a test is about throw
// std::runtime_error (GoogleTest reports it as a failure of the calling test).
namespace ravelong::app_testing {

// Everything the application layer reaches through process-wide services, replaced for one
// test: a temporary folder, settings in it, scripted alerts, an own notification center, a clock
// standing at `kNow`, and this device's identity (udid "0a1b2c3d4e5f", uid 1000, user "Ada
// Lovelace", computer "Analytical Engine"). Log lines are captured silently.
class AppEnvironment {
public:
    static constexpr Instant kNow = 757382400.0;  // 2025-01-01 00:00:00 UTC

    AppEnvironment();
    ~AppEnvironment();

    const std::filesystem::path& folder() const { return folder_.path(); }
    UserDefaults& defaults() { return defaults_; }
    ScriptedAlertPresenter& alerts() { return alerts_; }
    NotificationCenter& notifications() { return center_; }
    SettableClock& clock() { return clock_; }
    LogCapture& log() { return log_; }

    // The names posted since the environment was made, in order; "RavelongChangesSaved", which
    // follows every save, is counted apart.
    const std::vector<std::string>& posted() const { return posted_; }
    int savesPosted() const { return savesPosted_; }
    void clearPosted() {
        posted_.clear();
        savesPosted_ = 0;
    }

private:
    testing::TemporaryDirectory folder_;
    UserDefaults defaults_;
    ScopedUserDefaults scopedDefaults_;
    ScriptedAlertPresenter alerts_;
    ScopedAlertPresenter scopedAlerts_;
    NotificationCenter center_;
    SettableClock clock_;
    ScopedClock scopedClock_;
    FixedDeviceIdentity identity_{
        {"0a1b2c3d4e5f", 1000, "Ada Lovelace", "ada", "Analytical Engine"}};
    ScopedDeviceIdentity scopedIdentity_;
    LogCapture log_;
    std::vector<std::string> posted_;
    int savesPosted_ = 0;
};

// The exact bytes of a file ("" when it cannot be read); writing throws when it fails.
using testing::readFile;
void writeFileBytes(const std::filesystem::path& path, const std::string& bytes);

// A raw connection to a store file, for writing files of older versions and reading what an
// upgrade left, without the object store in between.
std::unique_ptr<SqliteDatabase> openRaw(const std::filesystem::path& path);

// Makes an empty file of a layout stamped with its version (the file is created).
std::unique_ptr<SqliteDatabase> createFileOfLayout(const std::filesystem::path& path,
                                                   const store_layouts::StoreLayout& layout);

using Row = std::vector<std::pair<std::string, Value>>;
void insertRow(SqliteDatabase& db, const std::string& table, const Row& row);
void execute(SqliteDatabase& db, const std::string& sql);
std::int64_t queryInt(SqliteDatabase& db, const std::string& sql);

// The structure of a file: every table with its columns and types, and every index with its
// columns, one line each, sorted.
std::vector<std::string> schemaOf(const std::filesystem::path& path);

}  // namespace ravelong::app_testing
