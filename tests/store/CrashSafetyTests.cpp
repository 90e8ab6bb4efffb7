#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "store/SqliteDatabase.h"
#include "support/TestSupport.h"
#include "tests/store/StoreTestSupport.h"
#include "tests/store/model/StoreTestModel.h"

namespace ravelong {
namespace {

using store_testing::TestEntry;
using store_testing::TestLabel;
using store_testing::TestSettings;
using store_testing::TestTask;

using store_testing::graphProblems;
using store_testing::makeEntry;
using store_testing::makeLabel;
using store_testing::makeTask;
using ::testing::IsEmpty;

// Every save of the writer adds batch n: one task "batch n" with kBatchSize entries (billing
// 0..kBatchSize-1, note "batch n"), puts the task in the shared label, deletes entry 0 of
// batch n-1 and sets the settings' newDay to n. So the file after save n holds exactly:
//   n tasks, n * kBatchSize - (n - 1) entries, newDay == n.
constexpr int kBatchSize = 40;

std::string batchName(int n) {
    return "batch " + std::to_string(n);
}

// Runs in the forked child: saves batches until it is killed, reporting each completed save on
// `report`. Exits with a non-zero code when something fails (the parent then sees it).
[[noreturn]] void writeBatchesForever(const std::filesystem::path& path, int report) {
    auto store = PersistentStore::open(path, store_testing::storeTestModel());
    if (!store)
        ::_exit(2);
    auto opened = ManagedObjectContext::openMainContext(store.value());
    if (!opened)
        ::_exit(3);
    ManagedObjectContext& context = *opened.value();

    auto preferencesList = context.fetchAll<TestSettings>();
    TestSettings* preferences =
        preferencesList.empty() ? context.insertNewObject<TestSettings>() : preferencesList.front();
    auto origins = context.fetchAll<TestLabel>();
    TestLabel* origin = origins.empty() ? makeLabel(context, 0) : origins.front();
    for (int n = preferences->newDay() + 1;; ++n) {
        TestTask* task = makeTask(context, batchName(n));
        task->addLabel(origin);
        for (int i = 0; i < kBatchSize; ++i) {
            TestEntry* timing = makeEntry(context, task, n * 1000.0 + i, n * 1000.0 + i + 1);
            timing->setBilling(static_cast<std::int16_t>(i));
            timing->setNote(batchName(n));
        }
        FetchRequest<TestEntry> previous;
        previous.predicate = [&](const TestEntry& t) {
            return t.billing() == 0 && t.note() == batchName(n - 1);
        };
        for (TestEntry* timing : context.fetch(previous))
            context.deleteObject(timing);
        preferences->setNewDay(n);
        if (!context.save())
            ::_exit(4);
        if (::write(report, &n, sizeof n) != sizeof n)
            ::_exit(5);
    }
}

// The state of the file, checked against the one that save number `n` leaves.
void expectExactlyTheStateOfASave(const std::filesystem::path& path, int lastReported) {
    {
        auto db = SqliteDatabase::open(path, SqliteDatabase::Mode::ReadWrite);
        ASSERT_TRUE(db.ok());
        auto check = db.value()->prepare("PRAGMA integrity_check");
        ASSERT_TRUE(check.ok() && check->step());
        EXPECT_EQ(check->column(0), Value(std::string("ok")));
    }
    auto opened = store_testing::openStore(path);
    ManagedObjectContext& context = *opened.context;
    auto preferences = context.fetchAll<TestSettings>();
    ASSERT_EQ(preferences.size(), 1u);
    const int n = preferences[0]->newDay();
    // A save the writer saw succeed is there; the one it was making may be there or not.
    EXPECT_GE(n, lastReported);
    EXPECT_LE(n, lastReported + 1);

    EXPECT_EQ(context.count<TestTask>(), static_cast<std::size_t>(n));
    EXPECT_EQ(context.count<TestEntry>(), static_cast<std::size_t>(n * kBatchSize - (n - 1)));
    ASSERT_EQ(context.count<TestLabel>(), 1u);
    EXPECT_EQ(context.fetchAll<TestLabel>().front()->tasks().size(), static_cast<std::size_t>(n));
    for (TestTask* task : context.fetchAll<TestTask>()) {
        const int batch = std::stoi(task->name()->substr(6));
        ASSERT_GE(batch, 1);
        ASSERT_LE(batch, n);
        EXPECT_EQ(task->entries().size(), static_cast<std::size_t>(kBatchSize - (batch < n)))
            << *task->name();
        for (TestEntry* timing : task->entries())
            EXPECT_EQ(timing->note(), task->name());
    }
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

TEST(CrashSafety, AProcessKilledWhileSavingLeavesTheLastSavedStateOrTheNext) {
    testing::TemporaryDirectory folder;
    const auto path = folder / "RavelongDB.sqlite";
    store_testing::openStore(path);  // an empty store

    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> delayMs(1, 60);
    int lastReported = 0;
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t writer = ::fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            ::close(fds[0]);
            writeBatchesForever(path, fds[1]);
        }
        ::close(fds[1]);
        // Wait for the first save of this round, then kill the writer at a random moment.
        int n = 0;
        ASSERT_EQ(::read(fds[0], &n, sizeof n), static_cast<ssize_t>(sizeof n));
        lastReported = n;
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs(random)));
        ASSERT_EQ(::kill(writer, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(writer, &status, 0), writer);
        ASSERT_TRUE(WIFSIGNALED(status))
            << "the writer failed with exit code " << WEXITSTATUS(status);
        while (::read(fds[0], &n, sizeof n) == static_cast<ssize_t>(sizeof n))
            lastReported = n;
        ::close(fds[0]);

        expectExactlyTheStateOfASave(path, lastReported);
        if (::testing::Test::HasFatalFailure())
            return;
    }
    EXPECT_GE(lastReported, 6);
}

}  // namespace
}  // namespace ravelong
