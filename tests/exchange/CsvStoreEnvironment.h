#pragma once

#include <filesystem>
#include <string>

#include "app/DataLocations.h"
#include "app/StoreStack.h"
#include "core/calendar/ScopedUserCalendar.h"
#include "core/services/DeviceIdentity.h"
#include "foundation/AlertPresenter.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "support/FixedDeviceIdentity.h"
#include "support/SettableClock.h"
#include "support/TestSupport.h"

namespace ravelong::csv_testing {

// A store of its own in a temporary folder, with settings, clock (2025-01-01 00:00 UTC), device
// identity and user calendar (Europe/Berlin, en_US) replaced for one test.
class CsvStoreEnvironment {
public:
    static constexpr Instant kNow = 757382400.0;

    CsvStoreEnvironment()
        : defaults_(folder_.path() / "settings.json"),
          scopedDefaults_(UserDefaults::Suite::standard, defaults_),
          scopedAlerts_(alerts_),
          clock_(kNow),
          scopedClock_(clock_),
          scopedIdentity_(identity_),
          calendar_("Europe/Berlin", "en_US"),
          stack_(DataLocations::inDataFolder(folder_.path())) {}

    const std::filesystem::path& folder() const { return folder_.path(); }
    SettableClock& clock() { return clock_; }
    StoreStack& stack() { return stack_; }
    ManagedObjectContext& context() { return *stack_.managedObjectContext().value(); }

    std::filesystem::path writeFile(const std::string& name, const std::string& bytes) {
        testing::writeFile(folder_ / name, bytes);
        return folder_ / name;
    }

private:
    testing::TemporaryDirectory folder_;
    LogCapture log_{LogCapture::Output::silent};
    UserDefaults defaults_;
    ScopedUserDefaults scopedDefaults_;
    ScriptedAlertPresenter alerts_;
    ScopedAlertPresenter scopedAlerts_;
    SettableClock clock_;
    ScopedClock scopedClock_;
    FixedDeviceIdentity identity_{
        {"0a1b2c3d4e5f", 1000, "Ada Lovelace", "ada", "Analytical Engine"}};
    ScopedDeviceIdentity scopedIdentity_;
    ScopedUserCalendar calendar_;
    StoreStack stack_;
};

}  // namespace ravelong::csv_testing
