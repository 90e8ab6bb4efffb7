#pragma once

#include <filesystem>
#include <random>

#include "core/calendar/ScopedUserCalendar.h"
#include "foundation/Clock.h"
#include "support/VirtualMainLoop.h"
#include "sync/engine/MemoryDirectory.h"

namespace ravelong::sync_testing {

// What every computer of a test shares: the virtual clock and loop, the calendar, and the cloud
// folder.
struct SyncTestWorld {
    SyncTestWorld();

    SettableClock clock{757'000'000.0};  // 2024-12-28, a Saturday
    VirtualMainLoop loop{clock};
    ScopedClock scopedClock{clock};
    ScopedMainLoop scopedLoop{loop};
    ScopedUserCalendar calendar{"Europe/Berlin", "en_US"};
    MemoryDirectory directory;
    std::filesystem::path cloudFolder;
    std::mt19937 random{1};
    double maximumArrivalDelay = 0;  // seconds a file may take to reach another computer
};

}  // namespace ravelong::sync_testing
