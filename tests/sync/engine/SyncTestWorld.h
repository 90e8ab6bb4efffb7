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
    // Told when a computer's cloud is destroyed (it crashed), so that what makeCloud made for it
    // alongside goes too.
    std::function<void(const std::string&)> cloudGone;
    // Set when the clouds answer from threads of their own (HTTP clients): waits then run the
    // loop again until an answer comes, moving virtual time on so that retries fall due.
    bool repliesFromOtherThreads = false;

    // Runs the loop until done() holds: once, or with replies from other threads until done()
    // holds or ten real seconds pass. False when done() does not hold in the end.
    bool runUntil(const std::function<bool()>& done);
};

}  // namespace ravelong::sync_testing
