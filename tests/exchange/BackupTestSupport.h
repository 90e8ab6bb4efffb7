#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/DataLocations.h"
#include "app/StoreStack.h"
#include "core/calendar/ScopedUserCalendar.h"
#include "core/services/DeviceIdentity.h"
#include "foundation/AlertPresenter.h"
#include "foundation/Clock.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "store/ManagedObjectContext.h"
#include "support/FixedDeviceIdentity.h"
#include "support/TestSupport.h"
#include "support/VirtualMainLoop.h"

namespace ravelong::backup_testing {

// A world for backups: a settable clock (Tuesday 5 March 2024, 10:00 in Berlin) and a virtual
// main loop, the user's calendar in Berlin, settings in a temporary folder, a fixed device
// identity, and real store files in that folder (stack() opens the first, newStack() more).
class BackupTest : public ::testing::Test {
protected:
    BackupTest();
    ~BackupTest() override;

    const std::filesystem::path& folder() const { return directory.path(); }
    // The store of data folder "data" (made on first use), and its main context.
    StoreStack& stack();
    ManagedObjectContext& context();
    // Another, empty store in data folder `name`.
    std::unique_ptr<StoreStack> newStack(const std::string& name);

    // Fills a context with a small but varied store: three tiers, archived and coloured tasks,
    // rounding set on some, timings with notes in several scripts (and characters beyond the
    // basic plane), in two zones, one still running, and origins of two devices.
    static void fillSampleStore(ManagedObjectContext& context);

    // Writes a file in the test folder and returns its path.
    std::filesystem::path fileWith(const std::string& name, const std::string& bytes);

    // The number of tasks and timings of a context.
    static std::size_t taskCount(const ManagedObjectContext& context);
    static std::size_t timingCount(const ManagedObjectContext& context);

    SettableClock clock;
    ScopedClock scopedClock{clock};
    VirtualMainLoop loop{clock};
    ScopedMainLoop scopedLoop{loop};
    ScopedUserCalendar calendar{"Europe/Berlin", "en_US"};
    testing::TemporaryDirectory directory;
    UserDefaults defaults{directory.path() / "settings.json"};
    ScopedUserDefaults scopedDefaults{UserDefaults::Suite::standard, defaults};
    FixedDeviceIdentity identity{
        {"0a1b2c3d4e5f", 1000, "Ada Lovelace", "ada", "Analytical Engine"}};
    ScopedDeviceIdentity scopedIdentity{identity};
    ScriptedAlertPresenter alerts;
    ScopedAlertPresenter scopedAlerts{alerts};
    LogCapture log{LogCapture::Output::silent};

private:
    std::unique_ptr<StoreStack> stack_;
};

}  // namespace ravelong::backup_testing
