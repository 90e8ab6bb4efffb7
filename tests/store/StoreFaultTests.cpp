#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

#include "foundation/Log.h"
#include "store/SqliteDatabase.h"
#include "store/StoreError.h"
#include "support/ScopedTmpfs.h"
#include "support/TestSupport.h"
#include "tests/store/StoreTestSupport.h"

// A store under faults of its surroundings: a full disk, a read-only file system, another
// process holding the file. Every failed save leaves the file as it was and the changes in the
// context, so that the same save succeeds once the fault is gone.
namespace ravelong {
namespace {

using store_testing::makeTask;
using store_testing::openStore;
using store_testing::saveOrThrow;
using store_testing::tableDump;
using store_testing::TestTask;
using ::testing::HasSubstr;

using testing::ScopedTmpfs;

using StoreFaults = store_testing::StoreFileTest;

TEST_F(StoreFaults, AFailedSaveSaysWhatHappenedLeavesTheFileAndSavesOnTheNextTry) {
    struct Case {
        const char* name;
        int sqliteCode;
        StoreErrorCode expected;
        const char* says;
    };
    const Case cases[] = {
        {"full disk", SQLITE_FULL, StoreErrorCode::DiskFull, "is full"},
        {"locked", SQLITE_BUSY, StoreErrorCode::Busy, "in use by another program"},
        {"locked table", SQLITE_LOCKED, StoreErrorCode::Busy, "in use by"},
        {"read-only file", SQLITE_READONLY, StoreErrorCode::NoPermission, "may not write"},
        {"damaged", SQLITE_CORRUPT, StoreErrorCode::Damaged, "is damaged"},
        {"not a database", SQLITE_NOTADB, StoreErrorCode::Damaged, "is damaged"},
        {"other disk error", SQLITE_IOERR, StoreErrorCode::SaveFailed, "could not be saved"},
    };
    // The first case fails the first save the new file ever gets.
    auto opened = openStore(path());
    std::int64_t tasks = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string before = tableDump(path());
        makeTask(*opened.context, c.name);
        opened.store->failSaveAfterStatements(0, c.sqliteCode);
        Status saved = opened.context->save();
        ASSERT_FALSE(saved.ok());
        EXPECT_EQ(saved.error().code, code(c.expected));
        EXPECT_THAT(saved.error().description, HasSubstr(c.says));
        if (c.expected != StoreErrorCode::SaveFailed && c.expected != StoreErrorCode::Damaged) {
            EXPECT_THAT(saved.error().description + saved.error().failureReason,
                        HasSubstr(folder.path().string()));
        }
        EXPECT_EQ(tableDump(path()), before);
        EXPECT_TRUE(opened.context->hasChanges());
        saveOrThrow(*opened.context);
        EXPECT_EQ(store_testing::countRows(path(), "SELECT count(*) FROM Task"), ++tasks);
    }
}

// Another connection holds a write transaction, as a backup tool or a second program would.
TEST_F(StoreFaults, ASaveWaitsForAnotherWriterAndIsBusyOnlyWhenItHoldsOnTooLong) {
    StoreOptions options;
    options.busyTimeout = std::chrono::milliseconds(300);
    auto opened = openStore(path(), options);
    makeTask(*opened.context, "first");
    saveOrThrow(*opened.context);

    auto other =
        SqliteDatabase::open(path(), SqliteDatabase::Mode::ReadWrite, std::chrono::milliseconds(0));
    ASSERT_TRUE(other.ok());
    ASSERT_TRUE(other.value()->execute("BEGIN IMMEDIATE").ok());
    makeTask(*opened.context, "second");
    const std::string before = tableDump(path());

    Status saved = opened.context->save();
    ASSERT_FALSE(saved.ok());
    EXPECT_EQ(saved.error().code, code(StoreErrorCode::Busy));
    EXPECT_THAT(saved.error().description, HasSubstr(path().string()));
    EXPECT_TRUE(opened.context->hasChanges());

    // Released while the save waits: the save goes through.
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        (void)other.value()->execute("COMMIT");
    });
    Status retried = opened.context->save();
    release.join();
    ASSERT_TRUE(retried.ok()) << retried.error().description;
    EXPECT_NE(tableDump(path()), before);
    EXPECT_EQ(store_testing::countRows(path(), "SELECT count(*) FROM Task"), 2);
}

TEST_F(StoreFaults, ABusyStoreNamesTheProcessThatHoldsIt) {
    StoreOptions options;
    options.busyTimeout = std::chrono::milliseconds(100);
    auto opened = openStore(path(), options);
    int toChild[2], fromChild[2];
    ASSERT_EQ(::pipe(toChild), 0);
    ASSERT_EQ(::pipe(fromChild), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto db = SqliteDatabase::open(path(), SqliteDatabase::Mode::ReadWrite);
        const char held = db && db.value()->execute("BEGIN IMMEDIATE").ok() ? 'y' : 'n';
        (void)::write(fromChild[1], &held, 1);
        char go;
        (void)::read(toChild[0], &go, 1);
        ::_exit(0);
    }
    char held = 0;
    ASSERT_EQ(::read(fromChild[0], &held, 1), 1);
    ASSERT_EQ(held, 'y');
    makeTask(*opened.context, "task");
    Status saved = opened.context->save();
    (void)::write(toChild[1], "x", 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]})
        ::close(fd);

    ASSERT_FALSE(saved.ok());
    EXPECT_EQ(saved.error().code, code(StoreErrorCode::Busy));
    EXPECT_THAT(saved.error().description, HasSubstr("(process " + std::to_string(child) + ")"));
    saveOrThrow(*opened.context);
}

TEST_F(StoreFaults, ASaveOnAFullDiskSaysSoAndKeepsTheLastSavedState) {
    ScopedTmpfs disk(folder / "disk", "256k");
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    const std::filesystem::path file = disk.path() / "RavelongDB.sqlite";
    auto opened = openStore(file);
    makeTask(*opened.context, "kept");
    saveOrThrow(*opened.context);

    Status saved = Status::success();
    for (int round = 0; round < 200 && saved.ok(); ++round) {
        for (int i = 0; i < 50; ++i)
            makeTask(*opened.context, std::string(2000, 'a' + round % 26));
        saved = opened.context->save();
    }
    ASSERT_FALSE(saved.ok()) << "the small disk never filled up";
    EXPECT_EQ(saved.error().code, code(StoreErrorCode::DiskFull));
    EXPECT_THAT(saved.error().description, HasSubstr(disk.path().string()));
    opened = {};

    auto reopened = openStore(file);
    EXPECT_GE(reopened.context->count<TestTask>(), 1u);
    EXPECT_EQ(store_testing::countRows(file,
                                       "SELECT count(*) FROM pragma_quick_check "
                                       "WHERE quick_check = 'ok'"),
              1);
}

TEST_F(StoreFaults, AStoreOnAReadOnlyFileSystemIsRefusedPlainlyAndCanBeOpenedForLooking) {
    ScopedTmpfs disk(folder / "disk", "4m");
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    const std::filesystem::path file = disk.path() / "RavelongDB.sqlite";
    {
        auto opened = openStore(file);
        makeTask(*opened.context, "kept");
        saveOrThrow(*opened.context);
    }
    ASSERT_TRUE(disk.remount(true));

    auto refused = PersistentStore::open(file, store_testing::storeTestModel());
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().code, code(StoreErrorCode::ReadOnlyFileSystem));
    EXPECT_THAT(refused.error().description, HasSubstr(disk.path().string()));

    {
        StoreOptions looking;
        looking.readOnly = true;
        auto store = PersistentStore::open(file, store_testing::storeTestModel(), looking);
        ASSERT_TRUE(store.ok()) << store.error().description << " " << store.error().failureReason;
        auto context = ManagedObjectContext::openMainContext(store.value());
        ASSERT_TRUE(context.ok()) << context.error().description;
        ASSERT_EQ(context.value()->count<TestTask>(), 1u);
        makeTask(*context.value(), "not kept");
        Status saved = context.value()->save();
        ASSERT_FALSE(saved.ok());
        EXPECT_EQ(saved.error().code, code(StoreErrorCode::NoPermission));
        EXPECT_THAT(saved.error().description, HasSubstr("for looking only"));
    }

    ASSERT_TRUE(disk.remount(false));
    auto writable = openStore(file);
    makeTask(*writable.context, "after the remount");
    saveOrThrow(*writable.context);
    EXPECT_EQ(writable.context->count<TestTask>(), 2u);
}

// Runs `steps` in a child process as the user "nobody" (the permission checks of the file
// system do not apply to root): the number of the first step that failed, 0 when all passed,
// -1 when privileges cannot be dropped here.
int runAsNobody(const std::function<int()>& steps) {
    if (::geteuid() != 0)
        return steps();
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(100);
        ::_exit(steps());
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -2;
    return WEXITSTATUS(status) == 100 ? -1 : WEXITSTATUS(status);
}

// A store that may not be written is refused with its path; it can be opened for looking; once
// it is writable again it opens and saves, although SQLite left a read-only -shm beside it.
TEST_F(StoreFaults, AReadOnlyStoreIsNoticedAtOpeningAndWorksAgainOnceWritable) {
    const std::filesystem::path shared = folder / "shared";
    std::filesystem::create_directory(shared);
    std::filesystem::permissions(folder.path(), std::filesystem::perms::all);
    std::filesystem::permissions(shared, std::filesystem::perms::all);
    const std::filesystem::path file = shared / "RavelongDB.sqlite";
    using std::filesystem::perms;
    const int failedStep = runAsNobody([&]() -> int {
        {
            auto opened = openStore(file);
            makeTask(*opened.context, "kept");
            saveOrThrow(*opened.context);
        }
        std::filesystem::permissions(file,
                                     perms::owner_read | perms::group_read | perms::others_read);
        auto refused = PersistentStore::open(file, store_testing::storeTestModel());
        if (refused.ok() || refused.error().code != code(StoreErrorCode::NoPermission))
            return 1;
        if (refused.error().description.find(file.string()) == std::string::npos)
            return 2;
        {
            StoreOptions looking;
            looking.readOnly = true;
            auto store = PersistentStore::open(file, store_testing::storeTestModel(), looking);
            if (!store)
                return 3;
            auto context = ManagedObjectContext::openMainContext(store.value());
            if (!context || context.value()->count<TestTask>() != 1)
                return 4;
        }
        std::filesystem::permissions(
            file, perms::owner_read | perms::owner_write | perms::group_read | perms::others_read);
        auto writable = PersistentStore::open(file, store_testing::storeTestModel());
        if (!writable) {
            std::fprintf(stderr, "%s %s\n", writable.error().description.c_str(),
                         writable.error().failureReason.c_str());
            return 5;
        }
        auto context = ManagedObjectContext::openMainContext(writable.value());
        if (!context)
            return 6;
        makeTask(*context.value(), "after");
        if (!context.value()->save().ok())
            return 7;
        return 0;
    });
    if (failedStep == -1)
        GTEST_SKIP() << "cannot run as another user here";
    EXPECT_EQ(failedStep, 0);
}

}  // namespace
}  // namespace ravelong
