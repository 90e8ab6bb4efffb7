#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>

#include "app/DataDirectoryMove.h"
#include "tests/app/AppTestSupport.h"

namespace ravelong::app_testing {
namespace {

namespace fs = std::filesystem;

class DataDirectoryMoveTest : public ::testing::Test {
protected:
    AppEnvironment env;
    DataLocations locations = DataLocations::inDataFolder(env.folder());
    fs::path group = locations.oldGroupApplicationFilesDirectory();
    fs::path current = locations.groupApplicationFilesDirectory();

    void put(const fs::path& folder, const std::string& name, const std::string& bytes = "x") {
        fs::create_directories(folder);
        writeFileBytes(folder / name, bytes);
    }
};

TEST_F(DataDirectoryMoveTest, TheStoreAndItsCompanionsMoveAndLeaveAMarker) {
    put(group, "Ravelong.sqlite", "store");
    put(group, "Ravelong.sqlite-shm", "shm");
    put(group, "Ravelong.sqlite-wal", "wal");

    const std::vector<std::string> moved = moveStoreToCurrentDirectory(locations);
    EXPECT_EQ(moved.size(), 3u);
    EXPECT_EQ(testing::fileNamesIn(current),
              (std::vector<std::string>{"RavelongDB.sqlite", "RavelongDB.sqlite-shm",
                                        "RavelongDB.sqlite-wal"}));
    EXPECT_EQ(readFile(current / "RavelongDB.sqlite"), "store");
    EXPECT_EQ(readFile(current / "RavelongDB.sqlite-wal"), "wal");
    EXPECT_EQ(testing::fileNamesIn(group), std::vector<std::string>{"5000.txt"});
    EXPECT_EQ(readFile(group / "5000.txt"), "");
}

TEST_F(DataDirectoryMoveTest, TheHighestNumberedStoreIsTheOneThatMoves) {
    put(group, "Ravelong.sqlite", "oldest");
    put(group, "Ravelong3.sqlite", "older");
    put(group, "Ravelong7.sqlite", "newest");
    put(group, "Ravelong7.sqlite-wal", "wal");

    moveStoreToCurrentDirectory(locations);
    EXPECT_EQ(testing::fileNamesIn(current),
              (std::vector<std::string>{"RavelongDB.sqlite", "RavelongDB.sqlite-wal"}));
    EXPECT_EQ(readFile(current / "RavelongDB.sqlite"), "newest");
    EXPECT_EQ(testing::fileNamesIn(group),
              (std::vector<std::string>{"5000.txt", "Ravelong.sqlite", "Ravelong3.sqlite"}));
}

TEST_F(DataDirectoryMoveTest, NothingMovesWithoutAnOldFolderOrOnceTheCurrentOneHoldsAStore) {
    EXPECT_TRUE(moveStoreToCurrentDirectory(locations).empty());
    EXPECT_TRUE(fs::is_directory(current));  // made all the same
    EXPECT_FALSE(fs::exists(group));

    put(current, "RavelongDB.sqlite", "live");
    put(group, "Ravelong.sqlite", "old");
    EXPECT_TRUE(moveStoreToCurrentDirectory(locations).empty());
    EXPECT_EQ(readFile(current / "RavelongDB.sqlite"), "live");
    EXPECT_EQ(testing::fileNamesIn(group), std::vector<std::string>{"Ravelong.sqlite"});
}

TEST_F(DataDirectoryMoveTest, ALaterLaunchMovesNothingEvenWithoutTheLiveStore) {
    put(group, "Ravelong.sqlite", "old");
    ASSERT_EQ(moveStoreToCurrentDirectory(locations).size(), 1u);
    EXPECT_TRUE(moveStoreToCurrentDirectory(locations).empty());

    // The live store was deleted and an old copy came back into the group folder: the marker
    // keeps it where it is.
    fs::remove_all(current);
    put(group, "Ravelong.sqlite", "old copy");
    EXPECT_TRUE(moveStoreToCurrentDirectory(locations).empty());
    EXPECT_EQ(testing::fileNamesIn(current), std::vector<std::string>{});
    EXPECT_EQ(readFile(group / "Ravelong.sqlite"), "old copy");
}

TEST_F(DataDirectoryMoveTest, AnEntryIsNeverMovedOverAnotherOneTheOthersGoOn) {
    // Both companions become RavelongDB.sqlite-wal once their digits are dropped.
    put(group, "Ravelong.sqlite", "store");
    put(group, "Ravelong.sqlite-wal", "wal");
    put(group, "Ravelong.sqlite-wal1", "wal1");

    const std::vector<std::string> moved = moveStoreToCurrentDirectory(locations);
    EXPECT_EQ(moved.size(), 2u);
    EXPECT_EQ(readFile(current / "RavelongDB.sqlite"), "store");
    EXPECT_TRUE(env.log().contains(LogLevel::error, "", "There was a problem updating: "));
    // Whichever came second is still in the group folder, untouched.
    const std::string movedWal = readFile(current / "RavelongDB.sqlite-wal");
    const std::string leftBehind =
        movedWal == "wal" ? "Ravelong.sqlite-wal1" : "Ravelong.sqlite-wal";
    EXPECT_EQ(readFile(group / leftBehind), movedWal == "wal" ? "wal1" : "wal");
}

// A store moves with its -wal and -shm files or not at all. Each case stops the move at its
// second entry: with a failure (the first entry goes back at once), or with the end of the process
// (the next launch finishes the move).
TEST_F(DataDirectoryMoveTest, AMoveStoppedHalfWayLeavesNoFileBehind) {
    struct ProcessEnded {};
    for (const bool processEnds : {false, true}) {
        SCOPED_TRACE(processEnds ? "the process ends" : "the move fails");
        fs::remove_all(group);
        fs::remove_all(current);
        put(group, "Ravelong.sqlite", "store");
        put(group, "Ravelong.sqlite-shm", "shm");
        put(group, "Ravelong.sqlite-wal", "wal");

        int moves = 0;
        const EntryMover stopsAtTheSecond = [&](const fs::path& from, const fs::path& to) {
            if (++moves == 2) {
                if (processEnds)
                    throw ProcessEnded{};
                return std::make_error_code(std::errc::no_space_on_device);
            }
            return renameEntry(from, to);
        };
        if (processEnds) {
            EXPECT_THROW(moveStoreToCurrentDirectory(locations, stopsAtTheSecond), ProcessEnded);
            ASSERT_EQ(testing::fileNamesIn(group).size(), 2u);  // one entry moved before the end
        } else {
            EXPECT_TRUE(moveStoreToCurrentDirectory(locations, stopsAtTheSecond).empty());
            EXPECT_TRUE(env.log().contains(LogLevel::error, "", "There was a problem updating: "));
            EXPECT_EQ(testing::fileNamesIn(group),
                      (std::vector<std::string>{"Ravelong.sqlite", "Ravelong.sqlite-shm",
                                                "Ravelong.sqlite-wal"}));
            EXPECT_EQ(testing::fileNamesIn(current), std::vector<std::string>{});
        }

        // The next launch moves the three (again, or the rest of them).
        EXPECT_EQ(moveStoreToCurrentDirectory(locations).size(), 3u);
        EXPECT_EQ(testing::fileNamesIn(current),
                  (std::vector<std::string>{"RavelongDB.sqlite", "RavelongDB.sqlite-shm",
                                            "RavelongDB.sqlite-wal"}));
        EXPECT_EQ(readFile(current / "RavelongDB.sqlite-wal"), "wal");
        EXPECT_EQ(testing::fileNamesIn(group), std::vector<std::string>{"5000.txt"});
    }
}

TEST(StoreNumberOfEntryName, ReadsTheDigitsOfTheNameWithoutItsExtension) {
    EXPECT_EQ(storeNumberOfEntryName("Ravelong.sqlite"), 0);
    EXPECT_EQ(storeNumberOfEntryName("Ravelong12.sqlite-wal"), 12);
    EXPECT_EQ(storeNumberOfEntryName("5000.txt"), 5000);
    EXPECT_EQ(storeNumberOfEntryName("R1a2v3.sqlite4"), 123);
    EXPECT_EQ(storeNumberOfEntryName("99999999999999999999999.sqlite"),
              std::numeric_limits<std::int64_t>::max());
}

}  // namespace
}  // namespace ravelong::app_testing
