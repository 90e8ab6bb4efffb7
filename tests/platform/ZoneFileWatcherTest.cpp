#include <gtest/gtest.h>
#include <poll.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "foundation/Log.h"
#include "platform/ZoneFileWatcher.h"
#include "support/TestSupport.h"

namespace ravelong {
namespace {

// Waits up to a second for events, then lets the watcher read them.
bool eventsArrive(ZoneFileWatcher& watcher) {
    pollfd entry{watcher.fd(), POLLIN, 0};
    if (::poll(&entry, 1, 1000) != 1)
        return false;
    return watcher.readEvents();
}

class ZoneFileWatcherTest : public ::testing::Test {
protected:
    ZoneFileWatcherTest() {
        std::filesystem::create_directory(folder / "zoneinfo");
        std::filesystem::create_symlink(folder / "zoneinfo" / "Berlin", folder / "localtime");
        // The watcher came first and saw the set-up.
        watcher.readEvents();
        calls = 0;
    }

    testing::TemporaryDirectory folder;
    int calls = 0;
    ZoneFileWatcher watcher{folder.path(), {"localtime", "timezone"}, [this] { ++calls; }};
};

TEST_F(ZoneFileWatcherTest, EachWayOfReplacingTheZoneIsNoticed) {
    ASSERT_TRUE(watcher.isValid());
    const auto localtime = folder / "localtime";
    const struct {
        const char* how;
        std::function<void()> change;
    } cases[] = {
        // The way timedated does it: a new link under a temporary name, renamed over the old.
        {"renamed over",
         [&] {
             std::filesystem::create_symlink(folder / "zoneinfo" / "Tokyo", folder / ".#localtime");
             std::filesystem::rename(folder / ".#localtime", localtime);
         }},
        // ln -sf: removed, then made again.
        {"removed and made again",
         [&] {
             std::filesystem::remove(localtime);
             std::filesystem::create_symlink(folder / "zoneinfo" / "Lima", localtime);
         }},
        // A copy of a zone file, written in place.
        {"written in place",
         [&] {
             std::filesystem::remove(localtime);
             std::ofstream(localtime) << "TZif";
             watcher.readEvents();
             calls = 0;
             std::ofstream(localtime, std::ios::app) << "2";
         }},
        {"the zone's name rewritten",
         [&] { std::ofstream(folder / "timezone") << "Asia/Tokyo\n"; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        calls = 0;
        c.change();
        EXPECT_TRUE(eventsArrive(watcher));
        EXPECT_EQ(calls, 1);  // once, however many events the change made
        EXPECT_FALSE(watcher.readEvents());
    }
}

TEST_F(ZoneFileWatcherTest, OtherFilesOfTheFolderAreIgnored) {
    ASSERT_TRUE(watcher.isValid());
    std::ofstream(folder / "hostname") << "laptop\n";
    std::filesystem::create_symlink(folder / "zoneinfo" / "Lima", folder / "localtime.bak");
    std::filesystem::rename(folder / "hostname", folder / "hostname.old");
    EXPECT_FALSE(eventsArrive(watcher));
    EXPECT_EQ(calls, 0);
}

TEST(ZoneFileWatcher, AFolderThatCannotBeWatchedIsReportedNotFatal) {
    int calls = 0;
    LogCapture capture;
    ZoneFileWatcher watcher("/no/such/folder", {"localtime"}, [&] { ++calls; });
    EXPECT_FALSE(watcher.isValid());
    EXPECT_TRUE(capture.contains("watch time zone", "/no/such/folder"));
    EXPECT_EQ(watcher.fd(), -1);
    EXPECT_FALSE(watcher.readEvents());
    EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace ravelong
