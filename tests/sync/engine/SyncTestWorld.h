#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <random>

#include "core/calendar/ScopedUserCalendar.h"
#include "foundation/Clock.h"
#include "support/TestSupport.h"
#include "support/VirtualMainLoop.h"
#include "sync/SECloudFileSystem.h"

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
    // The stores and the engine's state sync their files to disk often; in memory that is free.
    testing::TemporaryDirectory directory{testing::TemporaryDirectory::inMemoryWhereAvailable()};
    std::filesystem::path cloudFolder;
    std::mt19937 random{1};
    double maximumArrivalDelay = 0;       // seconds a file may take to reach another computer
    std::size_t compactionThreshold = 0;  // the engine's own when 0
    // Another cloud than the shared folder, made for each computer (by its name) when it starts.
    std::function<std::unique_ptr<SECloudFileSystem>(MainLoop&, const std::string&)> makeCloud;
};

}  // namespace ravelong::sync_testing
