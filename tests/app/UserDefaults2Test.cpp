#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/DataLocations.h"
#include "app/PreferenceKeys.h"
#include "app/ZRUserDefaults.h"
#include "app/ZRUserDefaults2.h"
#include "core/calendar/NewDayHour.h"
#include "core/calendar/ScopedUserCalendar.h"
#include "tests/app/AppTestSupport.h"

namespace ravelong {
namespace {

using app_testing::AppEnvironment;

class UserDefaults2 : public ::testing::Test {
protected:
    AppEnvironment environment;
    UserDefaults& defaults() { return environment.defaults(); }

    // What a later run of the program reads: the file, not the memory.
    nlohmann::json onDisk() {
        return nlohmann::json::parse(app_testing::readFile(defaults().path()));
    }
};

TEST_F(UserDefaults2, WithNothingStoredEveryPropertyReadsItsDefault) {
    EXPECT_EQ(ZRUserDefaults2::versionNumber(), -1);
    EXPECT_EQ(ZRUserDefaults2::selectionState(), 3);
    EXPECT_EQ(ZRUserDefaults2::showTasks(), 2);
    EXPECT_EQ(ZRUserDefaults2::customStartDate(), 0);
    EXPECT_EQ(ZRUserDefaults2::customEndDate(), 99999999);
    EXPECT_EQ(ZRUserDefaults2::generalStartDate(), 0);
    EXPECT_EQ(ZRUserDefaults2::generalEndDate(), 99999999);
    EXPECT_EQ(ZRUserDefaults2::timeIntervalDuration(), 2);
    EXPECT_TRUE(ZRUserDefaults2::autoBackupEnabled());
    EXPECT_EQ(ZRUserDefaults2::autoBackupCount(), 4);
    EXPECT_FALSE(ZRUserDefaults2::openMainWindowAtStart());
    EXPECT_TRUE(ZRUserDefaults2::timingWhenSleeping());
    EXPECT_TRUE(ZRUserDefaults2::showTaskNameInStatusIcon());
    EXPECT_FALSE(ZRUserDefaults2::didQuitProperly());
    EXPECT_EQ(ZRUserDefaults2::verticalBarChartMeasuringPeriod(), "daily");
    EXPECT_EQ(ZRUserDefaults2::selectedTaskInDataSelection(), std::nullopt);
    EXPECT_EQ(ZRUserDefaults2::menuBarSearchTerm(), std::nullopt);
    EXPECT_FALSE(ZRUserDefaults2::exists());
    EXPECT_TRUE(defaults().keys().empty());  // reading wrote nothing
}

TEST_F(UserDefaults2, WritesReachTheFileUnderTheirKeysAtOnce) {
    ZRUserDefaults2::setVersionNumber(1600);
    ZRUserDefaults2::setSelectionState(1);
    ZRUserDefaults2::setShowTasks(3);
    ZRUserDefaults2::setCustomStartDate(20240101);
    ZRUserDefaults2::setCustomEndDate(20240131);
    ZRUserDefaults2::setGeneralStartAndEndDate(20240301, 20240310);
    ZRUserDefaults2::setTimeIntervalDuration(1);
    ZRUserDefaults2::setAutoBackupEnabled(false);
    ZRUserDefaults2::setAutoBackupCount(16);
    ZRUserDefaults2::setOpenMainWindowAtStart(true);
    ZRUserDefaults2::setTimingWhenSleeping(false);
    ZRUserDefaults2::setShowTaskNameInStatusIcon(false);
    ZRUserDefaults2::setDidQuitProperly(true);
    ZRUserDefaults2::setVerticalBarChartMeasuringPeriod("weekly");
    ZRUserDefaults2::setSelectedTaskInDataSelection("1B4E28BA-2FA1-41D2-883F-0016D3CCA427");
    ZRUserDefaults2::setMenuBarSearchTerm("");

    const nlohmann::json expected = {
        {"ZRVersion", 1600},
        {"ZRSelectionState", 1},
        {"ZRShowTasks", 3},
        {"ZRCustomStartDate", 20240101},
        {"ZRCustomEndDate", 20240131},
        {"ZRGeneralStartDate", 20240301},
        {"ZRGeneralEndDate", 20240310},
        {"ZRTimeIntervalDuration", 1},
        {"ZRAutoBackupEnabled", false},
        {"ZRAutoBackupCount", 16},
        {"ZROpenMainWindowAtStart", true},
        {"ZRTimingWhenSleeping", false},
        {"ZRShowTaskNameInStatusIcon", false},
        {"ZRDidQuit", true},
        {"ZRVerticalBarChartMeasuringPeriod", "weekly"},
        {"ZRSelectedTaskInDataSelection", "1B4E28BA-2FA1-41D2-883F-0016D3CCA427"},
        {"ZRMenuBarSearchTerm", ""}};
    EXPECT_EQ(onDisk(), expected);
    EXPECT_TRUE(ZRUserDefaults2::exists());
    EXPECT_EQ(ZRUserDefaults2::menuBarSearchTerm(), "");  // empty, not absent

    ZRUserDefaults2::setSelectedTaskInDataSelection(std::nullopt);
    EXPECT_FALSE(onDisk().contains("ZRSelectedTaskInDataSelection"));
}

TEST_F(UserDefaults2, OnlyTheOfferedBackupCountsAreAccepted) {
    for (std::int64_t count : {2, 4, 6, 8, 16, 32}) {
        defaults().setInteger(kZRAutoBackupCount, count);
        EXPECT_EQ(ZRUserDefaults2::autoBackupCount(), count);
    }
    for (std::int64_t count : {5, 0, -4, 3, 64, 1}) {
        defaults().setInteger(kZRAutoBackupCount, count);
        EXPECT_EQ(ZRUserDefaults2::autoBackupCount(), 4) << count;
    }
}

TEST_F(UserDefaults2, ValuesOfTheWrongTypeReadAsTheDefault) {
    // A settings file edited by hand.
    defaults().setString(kZRVersion, "1500");
    defaults().setString(kZRAutoBackupEnabled, "no");
    defaults().setInteger(kZRTimingWhenSleeping, 7);
    defaults().setInteger(kZRVerticalBarChartMeasuringPeriod, 3);
    defaults().setBool(kZRSelectedTaskInDataSelection, true);
    defaults().setString(kZRAutoBackupCount, "8");
    EXPECT_EQ(ZRUserDefaults2::versionNumber(), -1);
    EXPECT_TRUE(ZRUserDefaults2::autoBackupEnabled());
    EXPECT_TRUE(ZRUserDefaults2::timingWhenSleeping());
    EXPECT_EQ(ZRUserDefaults2::verticalBarChartMeasuringPeriod(), "daily");
    EXPECT_EQ(ZRUserDefaults2::selectedTaskInDataSelection(), std::nullopt);
    EXPECT_EQ(ZRUserDefaults2::autoBackupCount(), 4);
}

TEST_F(UserDefaults2, TodayIsWithinTheSelectedRangeCountedWithTheCutoff) {
    ScopedUserCalendar calendar("Europe/Berlin", "de_DE");
    // 2024-03-10 02:30 in Berlin (01:30 UTC); with cut-off 4 it is still 9 March.
    environment.clock().set(731727000.0);
    new_day_hour::setProvider([] { return 4; });
    ZRUserDefaults2::setGeneralStartAndEndDate(20240301, 20240309);
    EXPECT_TRUE(ZRUserDefaults2::todayIsWithinSelectedTimeInterval());
    new_day_hour::setProvider([] { return 0; });
    EXPECT_FALSE(ZRUserDefaults2::todayIsWithinSelectedTimeInterval());
    ZRUserDefaults2::setGeneralStartAndEndDate(20240310, 20240310);
    EXPECT_TRUE(ZRUserDefaults2::todayIsWithinSelectedTimeInterval());
    new_day_hour::setProvider({});
}

TEST_F(UserDefaults2, FixUserDefaultsRepairsRangesAndTheSecondsOption) {
    // start          end            -> start  end        reset
    struct Case {
        std::int64_t start, end, fixedStart, fixedEnd;
        bool reset;
    };
    const Case cases[] = {
        {20240310, 20240301, 0, 99999999, true},           // start after end
        {-5, 20240301, 0, 20240301, false},                // start below 0
        {20240301, 100000000, 20240301, 99999999, false},  // end too large
        {-1, 123456789, 0, 99999999, false},               // both
        {20240301, 20240301, 20240301, 20240301, false},   // one day
        {100000000, 100000001, 0, 99999999, true},         // start after the clamped end
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.start) + "..." + std::to_string(c.end));
        for (bool general : {true, false}) {
            defaults().remove(kZRGeneralStartDate);
            defaults().remove(kZRGeneralEndDate);
            defaults().remove(kZRCustomStartDate);
            defaults().remove(kZRCustomEndDate);
            const auto startKey = general ? kZRGeneralStartDate : kZRCustomStartDate;
            const auto endKey = general ? kZRGeneralEndDate : kZRCustomEndDate;
            defaults().setInteger(startKey, c.start);
            defaults().setInteger(endKey, c.end);
            EXPECT_EQ(ZRUserDefaults2::fixUserDefaults(), c.reset);
            EXPECT_EQ(onDisk()[std::string(startKey)], c.fixedStart);
            EXPECT_EQ(onDisk()[std::string(endKey)], c.fixedEnd);
        }
    }

    for (std::int64_t seconds : {0, 60, 120, 180, 300, 600}) {
        defaults().setInteger(kZRStatusIconShowSecondsDuration, seconds);
        ZRUserDefaults2::fixUserDefaults();
        EXPECT_EQ(onDisk()["ZRStatusIconShowSecondsDuration"], seconds);
    }
    for (std::int64_t seconds : {30, 61, -60, 3600}) {
        defaults().setInteger(kZRStatusIconShowSecondsDuration, seconds);
        ZRUserDefaults2::fixUserDefaults();
        EXPECT_EQ(onDisk()["ZRStatusIconShowSecondsDuration"], 0) << seconds;
    }
}

TEST_F(UserDefaults2, FixUserDefaultsLeavesSoundSettingsAsTheyAre) {
    defaults().setInteger(kZRShowTasks, 2);
    ASSERT_TRUE(defaults().synchronize().ok());
    const std::string before = app_testing::readFile(defaults().path());
    EXPECT_FALSE(ZRUserDefaults2::fixUserDefaults());
    EXPECT_EQ(app_testing::readFile(defaults().path()), before);
    EXPECT_FALSE(defaults().exists(kZRGeneralStartDate));
    EXPECT_FALSE(defaults().exists(kZRStatusIconShowSecondsDuration));
}

class Folders : public UserDefaults2 {
protected:
    DataLocations locations = DataLocations::inDataFolder(environment.folder());
};

TEST_F(Folders, TheBackupFolderIsTheChosenOneWhileItExistsElseTheDefaultMadeWhenMissing) {
    auto folder = ZRUserDefaults::getAutoBackupLocation(locations);
    ASSERT_TRUE(folder.ok());
    EXPECT_EQ(*folder, locations.backupDirectory());
    EXPECT_TRUE(std::filesystem::is_directory(*folder));

    const std::filesystem::path chosen = environment.folder() / "My Backups ü";
    std::filesystem::create_directories(chosen);
    ZRUserDefaults::setAutoBackupLocation(chosen);
    EXPECT_EQ(ZRUserDefaults::getAutoBackupLocation(locations).value(), chosen);
    EXPECT_TRUE(onDisk().contains("ZRAutoBackupLocationData"));

    // Forgotten once it is gone, and a stored value that is no folder at all is dropped too.
    std::filesystem::remove(chosen);
    EXPECT_EQ(ZRUserDefaults::getAutoBackupLocation(locations).value(),
              locations.backupDirectory());
    EXPECT_FALSE(onDisk().contains("ZRAutoBackupLocationData"));
    EXPECT_TRUE(environment.log().contains("backup folder", "no longer available"));
    defaults().setData(kZRAutoBackupLocationData, UserDefaults::Data{'r', 'e', 'l'});
    EXPECT_EQ(ZRUserDefaults::getAutoBackupLocation(locations).value(),
              locations.backupDirectory());
    EXPECT_FALSE(defaults().exists(kZRAutoBackupLocationData));
}

TEST_F(Folders, TheTransferFolderIsMadeAndAFileInItsPlaceIsAnError) {
    auto transfer = ZRUserDefaults::getTransferLocation(locations);
    ASSERT_TRUE(transfer.ok());
    EXPECT_EQ(*transfer, locations.transferDirectory());
    EXPECT_TRUE(std::filesystem::is_directory(*transfer));

    std::filesystem::remove(*transfer);
    app_testing::writeFileBytes(locations.transferDirectory(), "x");
    auto refused = ZRUserDefaults::getTransferLocation(locations);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(app_testing::readFile(locations.transferDirectory()), "x");
}

}  // namespace
}  // namespace ravelong
