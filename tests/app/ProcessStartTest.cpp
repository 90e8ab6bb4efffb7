#include <gtest/gtest.h>

#include <filesystem>

#include "app/PreferenceKeys.h"
#include "app/ProcessStart.h"
#include "tests/app/AppTestSupport.h"

namespace ravelong::app_testing {
namespace {

namespace fs = std::filesystem;

TEST(ProcessStart, WritesTheInterfaceSettingsAndCountsTheOldFolders) {
    AppEnvironment env;
    const DataLocations locations = DataLocations::inDataFolder(env.folder());
    fs::create_directories(locations.applicationFilesDirectory());
    writeFileBytes(locations.applicationFilesDirectory() / "Ravelong.sqlite", "");
    writeFileBytes(locations.applicationFilesDirectory() / ".hidden", "");
    fs::create_directories(locations.applicationFilesDirectory() / "folder");
    // No group folder at all.

    process_start::writeStartPreferences(locations);

    // Read back from the file: the values were synchronized.
    UserDefaults written(env.defaults().path());
    EXPECT_DOUBLE_EQ(written.doubleForKey(kNSSystemFontSize), 13.0);
    EXPECT_EQ(written.integerForKey(kAppleFontSmoothing), 1);
    EXPECT_TRUE(written.exists(kZRSystemVersion));
    EXPECT_GE(written.integerForKey(kZRSystemVersion, -1), 0);
    EXPECT_EQ(written.integerForKey(kZRFilesInOldDirectory, -1), 3);
    EXPECT_EQ(written.integerForKey(kZRFilesInNewDirectory, -1), 0);

    fs::create_directories(locations.oldGroupApplicationFilesDirectory());
    writeFileBytes(locations.oldGroupApplicationFilesDirectory() / "5000.txt", "");
    fs::remove_all(locations.applicationFilesDirectory());
    process_start::writeStartPreferences(locations);
    EXPECT_EQ(env.defaults().integerForKey(kZRFilesInOldDirectory, -1), 0);
    EXPECT_EQ(env.defaults().integerForKey(kZRFilesInNewDirectory, -1), 1);
}

TEST(ProcessStart, TheMinorVersionIsTheSecondNumberOfTheRelease) {
    EXPECT_EQ(process_start::minorVersionOfRelease("6.1.0-18-amd64"), 1);
    EXPECT_EQ(process_start::minorVersionOfRelease("5.15.153.1-microsoft-standard-WSL2"), 15);
    EXPECT_EQ(process_start::minorVersionOfRelease("6.10-rc1"), 10);
    EXPECT_EQ(process_start::minorVersionOfRelease("6"), 0);
    EXPECT_EQ(process_start::minorVersionOfRelease("6.x"), 0);
    EXPECT_EQ(process_start::minorVersionOfRelease(""), 0);
    EXPECT_EQ(process_start::minorVersionOfRelease("1.99999999999999999999999"), 0);
}

}  // namespace
}  // namespace ravelong::app_testing
