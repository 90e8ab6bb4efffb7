#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "foundation/Log.h"
#include "store/SqliteDatabase.h"
#include "store/StoreError.h"
#include "support/TestSupport.h"
#include "tests/store/StoreTestSupport.h"

namespace ravelong {
namespace {

using store_testing::TestEntry;
using store_testing::TestTask;

using store_testing::fileBytes;
using store_testing::findByUuid;
using store_testing::makeEntry;
using store_testing::makeTask;
using store_testing::openStore;
using store_testing::saveOrThrow;

// 4000-01-01 00:00:00 UTC, the "no maximum date" of version 1 and 2 entries.
constexpr double kNoMaxDate = 64060588800.0 - kSecondsFromUnixEpochToReferenceDate;
// 2014-05-02 04:00:00 at +01:00 (03:00 UTC).
constexpr double kMaxDate20140502 = 1398999600.0 - kSecondsFromUnixEpochToReferenceDate;

// Versions 1 and 2 kept a fixed GMT offset and the end of an entry's last day (maxDate) where
// version 3 keeps a zone name and the day offset. These steps turn one into the other.
MigrationStep addZoneNames() {
    return {1, 2, "zone names", [](SqliteDatabase& db) {
                return db.execute(
                    "ALTER TABLE Entry ADD COLUMN zone TEXT;"
                    "UPDATE Entry SET timezoneOffset = 0 WHERE timezoneOffset = -1;"
                    "UPDATE Entry SET zone = printf('GMT%s%02d%02d', "
                    "  CASE WHEN timezoneOffset < 0 THEN '-' ELSE '+' END, "
                    "  abs(timezoneOffset) / 3600, abs(timezoneOffset) % 3600 / 60)");
            }};
}

MigrationStep addDayOffsets() {
    return {2, 3, "day offsets", [](SqliteDatabase& db) {
                return db.execute(
                    "ALTER TABLE Entry ADD COLUMN dayOffset INTEGER;"
                    "UPDATE Entry SET dayOffset = CASE "
                    "  WHEN maxDate IS NULL OR maxDate = " +
                    std::to_string(static_cast<std::int64_t>(kNoMaxDate)) +
                    " THEN 0 "
                    "  ELSE ((CAST(maxDate AS INTEGER) + timezoneOffset) % 86400 + 86400) "
                    "       % 86400 END");
            }};
}

class Migration : public store_testing::StoreFileTest {
protected:
    // A store as version 1 left it: entries with timezoneOffset and maxDate, no zone name or
    // day offset.
    void makeVersion1File() {
        {
            auto opened = openStore(path());
            TestTask* task = makeTask(*opened.context, "Old task");
            taskUuid = *task->uuid();
            for (int i = 0; i < 3; ++i) {
                TestEntry* timing = makeEntry(*opened.context, task, 1000.0 * i, 1000.0 * i + 500);
                timing->setNote("note " + std::to_string(i));
                timingUuids.push_back(*timing->uuid());
            }
            saveOrThrow(*opened.context);
        }
        execute(
            "ALTER TABLE Entry DROP COLUMN zone;"
            "ALTER TABLE Entry DROP COLUMN dayOffset;"
            "ALTER TABLE Entry ADD COLUMN timezoneOffset INTEGER;"
            "ALTER TABLE Entry ADD COLUMN maxDate REAL;"
            "UPDATE Entry SET timezoneOffset = 3600, maxDate = " +
            std::to_string(kMaxDate20140502) + " WHERE note = 'note 0';" +
            "UPDATE Entry SET timezoneOffset = -1, maxDate = " + std::to_string(kNoMaxDate) +
            " WHERE note = 'note 1';" +
            "UPDATE Entry SET timezoneOffset = -18000, maxDate = NULL "
            "WHERE note = 'note 2';"
            "PRAGMA user_version = 1;");
    }

    void expectNoUpgradeLeftovers() {
        for (const char* suffix : {".upgrading", ".upgrading-wal", ".upgrading-shm"}) {
            EXPECT_FALSE(std::filesystem::exists(path().string() + suffix)) << suffix;
        }
    }

    std::string taskUuid;
    std::vector<std::string> timingUuids;
};

TEST_F(Migration, AChainOfStepsUpgradesAnOldFileInPlace) {
    makeVersion1File();
    StoreOptions options;
    options.migrations = {addDayOffsets(), addZoneNames()};  // any order

    {
        auto opened = openStore(path(), options);
        ManagedObjectContext& context = *opened.context;
        auto* first = findByUuid<TestEntry>(context, timingUuids[0]);
        auto* second = findByUuid<TestEntry>(context, timingUuids[1]);
        auto* third = findByUuid<TestEntry>(context, timingUuids[2]);
        ASSERT_TRUE(first && second && third);
        EXPECT_EQ(first->zone(), "GMT+0100");
        EXPECT_EQ(first->dayOffset(), 14400);
        EXPECT_EQ(second->zone(), "GMT+0000");
        EXPECT_EQ(second->dayOffset(), 0);
        EXPECT_EQ(third->zone(), "GMT-0500");
        EXPECT_EQ(third->dayOffset(), 0);
        EXPECT_EQ(third->note(), "note 2");
        EXPECT_EQ(third->start(), 2000.0);
        ASSERT_NE(third->task(), nullptr);
        EXPECT_EQ(third->task()->uuid(), taskUuid);
        EXPECT_EQ(third->task()->entries().size(), 3u);

        // The upgraded store is an ordinary one.
        makeEntry(context, third->task(), 5000, 6000);
        third->setDayOffset(7200);
        saveOrThrow(context);
    }
    expectNoUpgradeLeftovers();
    EXPECT_EQ(store_testing::countRows(path(), "PRAGMA user_version"), 3);
    auto reopened = openStore(path());  // no steps needed any more
    EXPECT_EQ(reopened.context->count<TestEntry>(), 4u);
    EXPECT_EQ(findByUuid<TestEntry>(*reopened.context, timingUuids[2])->dayOffset(), 7200);
}

TEST_F(Migration, AFailingStepLeavesTheOldFileReadableAndUnchanged) {
    makeVersion1File();
    const std::string before = fileBytes(path());

    MigrationStep failing = addDayOffsets();
    failing.apply = [](SqliteDatabase& db) -> Status {
        // Half done when it fails: the data it changed must not reach the file.
        if (Status s = db.execute("UPDATE Entry SET note = 'ruined'"); !s)
            return s;
        return Error{kStoreErrorDomain, 99, "a row could not be converted", {}};
    };
    MigrationStep broken = addDayOffsets();
    broken.apply = [](SqliteDatabase& db) { return db.execute("ALTER TABLE NoSuchTable ADD x"); };

    for (const MigrationStep& bad : {failing, broken}) {
        StoreOptions options;
        options.migrations = {addZoneNames(), bad};
        EXPECT_EQ(openError(options), code(StoreErrorCode::MigrationFailed));
        EXPECT_TRUE(fileBytes(path()) == before) << "the old file was changed";
        expectNoUpgradeLeftovers();
        EXPECT_EQ(store_testing::countRows(path(), "PRAGMA user_version"), 1);
        EXPECT_EQ(store_testing::countRows(path(),
                                           "SELECT count(*) FROM Entry WHERE note "
                                           "LIKE 'note %'"),
                  3);
    }

    StoreOptions good;
    good.migrations = {addZoneNames(), addDayOffsets()};
    auto opened = openStore(path(), good);
    EXPECT_EQ(opened.context->count<TestEntry>(), 3u);
}

TEST_F(Migration, AVersionWithoutAChainToTheModelIsLeftAlone) {
    makeVersion1File();
    const std::string before = fileBytes(path());
    StoreOptions options;
    options.migrations = {addDayOffsets()};  // 2 -> 3 only
    EXPECT_EQ(openError(options), code(StoreErrorCode::NoMigrationPath));

    // A step past the model's version would leave a file this build refuses to open.
    options.migrations = {{1, 4, "too far", [](SqliteDatabase&) { return Status::success(); }}};
    EXPECT_EQ(openError(options), code(StoreErrorCode::NoMigrationPath));
    EXPECT_TRUE(fileBytes(path()) == before) << "the old file was changed";
    expectNoUpgradeLeftovers();
}

TEST_F(Migration, LeftoversOfAnInterruptedUpgradeDoNotLeakIntoTheNextOne) {
    makeVersion1File();
    // An earlier upgrade died after writing to its copy: the copy and its WAL are still there.
    const std::filesystem::path copy = path().string() + ".upgrading";
    std::filesystem::copy_file(path(), copy);
    {
        auto db = SqliteDatabase::open(copy, SqliteDatabase::Mode::ReadWrite);
        ASSERT_TRUE(db.ok());
        ASSERT_TRUE(db.value()->execute("PRAGMA journal_mode=WAL").ok());
        ASSERT_TRUE(db.value()->execute("PRAGMA wal_autocheckpoint=0").ok());
        ASSERT_TRUE(db.value()->execute("UPDATE Task SET name = 'from a stale journal'").ok());
        std::filesystem::copy_file(copy.string() + "-wal", folder / "stale-wal");
    }
    std::filesystem::copy_file(folder / "stale-wal", copy.string() + "-wal",
                               std::filesystem::copy_options::overwrite_existing);

    StoreOptions options;
    options.migrations = {addZoneNames(), addDayOffsets()};
    auto opened = openStore(path(), options);
    EXPECT_EQ(findByUuid<TestTask>(*opened.context, taskUuid)->name(), "Old task");
    expectNoUpgradeLeftovers();
}

}  // namespace
}  // namespace ravelong
