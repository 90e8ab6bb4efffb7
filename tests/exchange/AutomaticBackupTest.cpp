#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "app/PreferenceKeys.h"
#include "app/ZRUserDefaults.h"
#include "app/ZRUserDefaults2.h"
#include "core/model/ZRCDTask.h"
#include "exchange/ZRAutomaticBackup.h"
#include "tests/exchange/BackupTestSupport.h"

namespace ravelong {
namespace {

using backup_testing::BackupTest;

TEST(AutomaticBackupNames, MatchOnlyTheWholeBackupPattern) {
    struct Case {
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {"Ravelong Backup 2024-03-05 (1709650000).xml", true},
        {"Ravelong Backup 1999.12.31 (946684799).xml", false},  // nine digits
        {"Ravelong Backup 1999.12.31 (09466847990).xml", true},
        {"Ravelong Backup 2024-3-5 (1709650000).xml", false},
        {"Ravelong Backup 2024-03-05 (170965000).xml", false},
        {"Ravelong Backup 2024-03/05 (1709650000).xml", false},  // two different separators
        {"Ravelong Backup 2124-03-05 (1709650000).xml", false},
        {"Ravelong Backup 2024-13-05 (1709650000).xml", false},
        {"Ravelong Backup 2024-02-32 (1709650000).xml", false},
        {"Ravelong Backup 2024-03-05 (1709650000).xml.tmp", false},
        {"old Ravelong Backup 2024-03-05 (1709650000).xml", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ZRAutomaticBackup::isBackupFileName(c.name), c.matches) << c.name;
}

class AutomaticBackupTest : public BackupTest {
protected:
    AutomaticBackupTest() {
        ManagedObjectContext& store = context();
        ZRCDTask::createCoreDataTaskWithName("Work", false, store);
        backupFolder = locations.backupDirectory();
    }

    std::set<std::string> backups(const std::filesystem::path& where) const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(where))
            names.insert(entry.path().filename().string());
        return names;
    }

    DataLocations locations = DataLocations::inDataFolder(folder() / "data");
    std::filesystem::path backupFolder;
    ZRAutomaticBackup automatic{[this] { return &context(); }, clock, locations};
};

// The maintenance tick asks every 1958 seconds. Over these days, in Berlin:
//
//   Dec 30   Dec 31 | Jan 1 (new year)  ...  Jan 31 | Feb 1 (new month)   Feb 2
//   one backup a local day, the first tick after local midnight writing it; four are kept.
TEST_F(AutomaticBackupTest, WritesOneBackupALocalDayAcrossYearAndMonthEndsAndKeepsTheNewest) {
    ZRUserDefaults2::setAutoBackupCount(4);
    const Instant start = 756946800.0;  // 2024-12-26 23:00 UTC = 2024-12-27 00:00 in Berlin
    std::vector<std::string> written;
    for (Instant now = start; now < start + 40 * 86400.0; now += 1958.0) {
        clock.set(now);
        auto file = automatic.backup(false);
        ASSERT_TRUE(file) << file.error().description;
        if (*file)
            written.push_back((*file)->filename().string());
    }
    ASSERT_EQ(written.size(), 40u);
    // The first tick after each Berlin midnight (23:00 UTC the day before) writes.
    EXPECT_EQ(written[4], "Ravelong Backup 2024-12-31 (1735600566).xml");
    EXPECT_EQ(written[5], "Ravelong Backup 2025-01-01 (1735686718).xml");
    EXPECT_EQ(written[36], "Ravelong Backup 2025-02-01 (1738365262).xml");
    EXPECT_EQ(backups(backupFolder), (std::set<std::string>(written.end() - 4, written.end())));
}

TEST_F(AutomaticBackupTest, ForcedBackupsAddToTheDayAndPruningSparesOtherFiles) {
    ZRUserDefaults2::setAutoBackupCount(4);
    std::filesystem::create_directories(backupFolder);
    const char* others[] = {"Ravelong Backup 2024-3-5 (1709650000).xml",
                            "Ravelong Backup 2024-03-05 (170965000).xml", "notes.txt"};
    for (const char* name : others)
        fileWith("data/ravelong-group/Library/Application Support/Backup/" + std::string(name),
                 "x");
    // Four older backups: two from today.
    for (const char* name : {"Ravelong Backup 2024-03-01 (1709300000).xml",
                             "Ravelong Backup 2024-03-02 (1709400000).xml",
                             "Ravelong Backup 2024-03-05 (1709600000).xml",
                             "Ravelong Backup 2024-03-05 (1709610000).xml"})
        fileWith("data/ravelong-group/Library/Application Support/Backup/" + std::string(name),
                 "x");

    auto unforced = automatic.backup(false);
    ASSERT_TRUE(unforced);
    EXPECT_FALSE(*unforced);  // today has one
    auto forced = automatic.backup(true);
    ASSERT_TRUE(forced && *forced);
    const std::set<std::string> after = backups(backupFolder);
    EXPECT_EQ(after.count("Ravelong Backup 2024-03-01 (1709300000).xml"), 0u);
    EXPECT_EQ(after.count("Ravelong Backup 2024-03-02 (1709400000).xml"), 1u);
    EXPECT_EQ(after.count((*forced)->filename().string()), 1u);
    for (const char* name : others)
        EXPECT_EQ(after.count(name), 1u) << name;
    EXPECT_EQ(after.size(), 4u + 3u);

    // A lower count takes effect with the next backup.
    ZRUserDefaults2::setAutoBackupCount(2);
    clock.set(clock.now() + 1);
    ASSERT_TRUE(automatic.backup(true));
    EXPECT_EQ(backups(backupFolder).size(), 2u + 3u);
}

TEST_F(AutomaticBackupTest, AChosenFolderThatIsGoneFallsBackToTheDefault) {
    const std::filesystem::path chosen = folder() / "chosen";
    std::filesystem::create_directories(chosen);
    ZRUserDefaults::setAutoBackupLocation(chosen);
    auto first = automatic.backup(true);
    ASSERT_TRUE(first && *first);
    EXPECT_EQ((*first)->parent_path(), chosen);

    std::filesystem::remove_all(chosen);
    auto second = automatic.backup(true);
    ASSERT_TRUE(second && *second);
    EXPECT_EQ((*second)->parent_path(), backupFolder);
    EXPECT_FALSE(defaults.exists(kZRAutoBackupLocationData));
}

TEST_F(AutomaticBackupTest, AFailedBackupPrunesNothing) {
    ZRUserDefaults2::setAutoBackupCount(2);
    ASSERT_TRUE(automatic.backup(true));
    clock.set(clock.now() + 10);
    ASSERT_TRUE(automatic.backup(true));
    const std::set<std::string> before = backups(backupFolder);
    ASSERT_EQ(before.size(), 2u);
    // The backup's own name is taken by a folder: the rename fails.
    clock.set(clock.now() + 10);
    std::filesystem::create_directories(backupFolder /
                                        ZRAutomaticBackup::backupFileName(clock.now()) / "x");
    EXPECT_FALSE(automatic.backup(true));
    std::set<std::string> after = backups(backupFolder);
    after.erase(ZRAutomaticBackup::backupFileName(clock.now()));
    EXPECT_EQ(after, before);
}

TEST_F(AutomaticBackupTest, MovingBackupsTakesOnlyMatchingFiles) {
    const std::filesystem::path from = folder() / "from";
    const std::filesystem::path to = folder() / "to";
    std::filesystem::create_directories(to);
    std::filesystem::create_directories(from);
    fileWith("from/Ravelong Backup 2024-03-05 (1709650000).xml", "a");
    fileWith("from/Ravelong Backup 2024-3-5 (1709650000).xml", "b");
    fileWith("from/other.xml", "c");
    EXPECT_EQ(ZRAutomaticBackup::moveRavelongBackupsFromFolder(from, to), 1);
    EXPECT_EQ(backups(to), (std::set<std::string>{"Ravelong Backup 2024-03-05 (1709650000).xml"}));
    EXPECT_EQ(backups(from).size(), 2u);
}

TEST_F(AutomaticBackupTest, TheNewestBackupIsFoundByItsTimeWithoutChangingAnything) {
    // No folder yet: nothing is found and nothing is made.
    EXPECT_EQ(ZRAutomaticBackup::newestBackup(locations), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(backupFolder));

    std::filesystem::create_directories(backupFolder);
    const std::string in = std::filesystem::relative(backupFolder, folder()).string() + "/";
    // Files that only look like backups are not candidates, however new.
    fileWith(in + "Ravelong Backup 2024-03-04 (1709563600).xml", "a");
    fileWith(in + "Ravelong Backup 2024-03-05 (1709650000).xml", "b");
    fileWith(in + "Ravelong Backup 2024-03-06 (1709736400).xml.tmp", "c");
    fileWith(in + "zz newer.xml", "d");
    EXPECT_EQ(ZRAutomaticBackup::newestBackup(locations),
              backupFolder / "Ravelong Backup 2024-03-05 (1709650000).xml");
    fileWith(in + "Ravelong Backup 2024-03-07 (1709822800).xml", "e");
    EXPECT_EQ(ZRAutomaticBackup::newestBackup(locations),
              backupFolder / "Ravelong Backup 2024-03-07 (1709822800).xml");

    // A chosen folder is looked in while it exists; once gone, the default one is, and the
    // choice is not forgotten by looking.
    const std::filesystem::path chosen = folder() / "chosen";
    std::filesystem::create_directories(chosen);
    ZRUserDefaults::setAutoBackupLocation(chosen);
    EXPECT_EQ(ZRAutomaticBackup::newestBackup(locations), std::nullopt);
    fileWith("chosen/Ravelong Backup 2023-01-01 (1672531200).xml", "f");
    EXPECT_EQ(ZRAutomaticBackup::newestBackup(locations),
              chosen / "Ravelong Backup 2023-01-01 (1672531200).xml");
    std::filesystem::remove_all(chosen);
    EXPECT_EQ(ZRAutomaticBackup::newestBackup(locations),
              backupFolder / "Ravelong Backup 2024-03-07 (1709822800).xml");
    EXPECT_TRUE(defaults.exists(kZRAutoBackupLocationData));
}

}  // namespace
}  // namespace ravelong
