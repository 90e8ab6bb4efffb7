#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/calendar/CalendarTypes.h"
#include "core/calendar/ScopedUserCalendar.h"
#include "core/model/RavelongModel.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/services/DeviceIdentity.h"
#include "core/services/UserScript.h"
#include "foundation/Clock.h"
#include "foundation/UserDefaults.h"
#include "store/ManagedObjectContext.h"
#include "support/FixedDeviceIdentity.h"
#include "support/RecordingUserScript.h"
#include "support/TestSupport.h"
#include "support/VirtualMainLoop.h"

namespace ravelong::model_testing {

// The identity every model test runs as.
inline constexpr const char* kTestUDID = "0a1b2c3d4e5f";
inline constexpr std::uint32_t kTestUID = 1000;

// The application's save path, counted; it can be told to fail.
struct SaveCountingDelegate : ContextDelegate {
    int saves = 0;
    bool fail = false;
    bool saveContext(ManagedObjectContext& context) override {
        ++saves;
        return !fail && context.save().ok();
    }
};

// Moves the timing into a second aggregate of its task for its first day, as merging two stores
// leaves them, and returns that aggregate.
ZRCDTimingSet* splitIntoDuplicateSet(ZRCDTiming* timing, ManagedObjectContext& context);

// A world for the records: a settable clock and a virtual main loop, the user's calendar in
// Berlin, settings in a temporary file, a fixed device identity, a recording user script and a
// scratch context (no store file) with an undo manager. The clock starts on Tuesday 5 March 2024,
// 10:00 in Berlin.
class ModelTest : public ::testing::Test {
protected:
    ModelTest();

    // An instant by Berlin wall-clock time, and the day number of a calendar day.
    static Instant berlin(int year, int month, int day, int hour = 0, int minute = 0,
                          int second = 0);
    static ZRDate dayNumber(int year, int month, int day);

    // Sets the shared day cut-off (hours).
    void setNewDay(int hour);

    ZRCDTask* newTask(const std::string& name);
    ZRCDTiming* stoppedTiming(ZRCDTask* task, Instant start, Instant end);
    // The aggregates of a task, by day number.
    static std::vector<ZRCDTimingSet*> setsOf(const ZRCDTask* task);
    std::size_t numberOfSets() const { return context.count<ZRCDTimingSet>(); }

    SettableClock clock;
    ScopedClock scopedClock{clock};
    VirtualMainLoop loop{clock};
    ScopedMainLoop scopedLoop{loop};
    ScopedUserCalendar calendar{"Europe/Berlin", "en_US"};
    testing::TemporaryDirectory directory;
    UserDefaults defaults{directory / "settings.json"};
    ScopedUserDefaults scopedDefaults{UserDefaults::Suite::standard, defaults};
    FixedDeviceIdentity identity{{kTestUDID, kTestUID, "Ada Lovelace", "ada", "Analytical Engine"}};
    ScopedDeviceIdentity scopedIdentity{identity};
    RecordingUserScript script;
    ScopedUserScript scopedScript{script};
    ManagedObjectContext context{ravelongModel()};
};

}  // namespace ravelong::model_testing
