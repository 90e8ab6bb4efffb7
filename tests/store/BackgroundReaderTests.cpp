#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "store/BackgroundReader.h"
#include "store/StoreError.h"
#include "support/TestSupport.h"
#include "tests/store/StoreTestSupport.h"
#include "tests/store/model/StoreTestModel.h"

namespace ravelong {
namespace {

using store_testing::TestDay;
using store_testing::TestEntry;
using store_testing::TestSettings;
using store_testing::TestTask;

using store_testing::findByUuid;
using store_testing::makeEntry;
using store_testing::makeTask;
using store_testing::saveOrThrow;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

class BackgroundReading : public store_testing::OpenStoreTest {
protected:
    std::unique_ptr<BackgroundReader> reader() {
        auto reader = opened.store->openBackgroundReader();
        if (!reader)
            throw std::runtime_error(reader.error().description);
        return std::move(reader.value());
    }

    static std::unique_ptr<ManagedObjectContext> load(BackgroundReader& reader) {
        auto context = reader.loadContext();
        if (!context)
            throw std::runtime_error(context.error().description);
        return std::move(context.value());
    }

    ManagedObjectContext& main() { return context(); }
};

TEST_F(BackgroundReading, ASnapshotKeepsSeeingTheFileAsItWasWhileTheMainStoreSaves) {
    TestTask* task = makeTask(main(), "Before");
    for (int i = 0; i < 10; ++i)
        makeEntry(main(), task, i, i + 1);
    saveOrThrow(main());

    auto background = reader();
    ASSERT_TRUE(background->beginSnapshot().ok());
    EXPECT_EQ(load(*background)->count<TestEntry>(), 10u);

    task->setName("After");
    for (int i = 0; i < 5; ++i)
        makeEntry(main(), task, 100 + i, 101 + i);
    main().deleteObject(*task->entries().begin());
    saveOrThrow(main());

    auto during = load(*background);
    EXPECT_EQ(during->count<TestEntry>(), 10u);
    EXPECT_EQ(findByUuid<TestTask>(*during, *task->uuid())->name(), "Before");
    EXPECT_EQ(background->database().queryInt("SELECT count(*) FROM Entry").value(), 10);

    background->endSnapshot();
    auto after = load(*background);
    EXPECT_EQ(after->count<TestEntry>(), 14u);
    EXPECT_EQ(findByUuid<TestTask>(*after, *task->uuid())->name(), "After");
    EXPECT_THAT(store_testing::graphProblems(*after), IsEmpty());
}

TEST_F(BackgroundReading, AReaderOnAnotherThreadOnlyEverSeesWholeSaves) {
    // Save n holds n tasks of 20 entries each and settings with newDay n.
    auto* preferences = main().insertNewObject<TestSettings>();
    saveOrThrow(main());

    std::atomic<bool> stop{false};
    std::atomic<int> snapshots{0};
    std::vector<std::string> problems;
    std::thread worker([&, background = reader()] {
        while (!stop) {
            if (!background->beginSnapshot()) {
                problems.push_back("no snapshot");
                return;
            }
            auto context = background->loadContext();
            background->endSnapshot();
            if (!context) {
                problems.push_back(context.error().description);
                return;
            }
            auto prefs = context.value()->fetchAll<TestSettings>();
            const std::size_t n = prefs.size() == 1 ? prefs[0]->newDay() : 999999;
            if (context.value()->count<TestTask>() != n ||
                context.value()->count<TestEntry>() != n * 20) {
                problems.push_back("a half-saved state at save " + std::to_string(n));
            }
            ++snapshots;
        }
    });
    for (int n = 1; n <= 40; ++n) {
        TestTask* task = makeTask(main(), "Task " + std::to_string(n));
        for (int i = 0; i < 20; ++i)
            makeEntry(main(), task, i, i + 1);
        preferences->setNewDay(n);
        saveOrThrow(main());
    }
    while (snapshots < 3)
        std::this_thread::yield();
    stop = true;
    worker.join();
    EXPECT_THAT(problems, IsEmpty());
}

TEST_F(BackgroundReading, DayTotalsAreSummedThroughAnIndex) {
    // absDay 100..129 for three tasks; the sum over days 110..119 by day and task.
    std::map<std::pair<std::int64_t, std::int64_t>, double> expected;
    for (int t = 0; t < 3; ++t) {
        TestTask* task = makeTask(main(), "Task " + std::to_string(t));
        saveOrThrow(main());
        for (int day = 100; day < 130; ++day) {
            TestDay* set = store_testing::makeDay(main(), task, day);
            set->setDuration(60.0 * day + t);
            if (day >= 110 && day <= 119) {
                expected[{day, task->objectID().primaryKey}] = 60.0 * day + t;
            }
        }
    }
    saveOrThrow(main());

    auto background = reader();
    SqliteDatabase& db = background->database();
    for (const char* groupBy : {"absDay, task", "task, absDay"}) {
        SCOPED_TRACE(groupBy);
        const std::string query = std::string(
                                      "SELECT absDay, task, sum(duration) FROM Day "
                                      "WHERE absDay BETWEEN ? AND ? GROUP BY ") +
                                  groupBy;
        auto plan = db.prepare("EXPLAIN QUERY PLAN " + query);
        ASSERT_TRUE(plan.ok());
        plan->bindInt(1, 110);
        plan->bindInt(2, 119);
        std::string steps;
        while (plan->step())
            steps += std::get<std::string>(plan->column(3)) + "\n";
        EXPECT_THAT(steps, HasSubstr("USING"));
        EXPECT_THAT(steps, Not(HasSubstr("SCAN Day")));

        auto sums = db.prepare(query);
        ASSERT_TRUE(sums.ok());
        sums->bindInt(1, 110);
        sums->bindInt(2, 119);
        std::map<std::pair<std::int64_t, std::int64_t>, double> found;
        while (sums->step()) {
            found[{sums->columnInt(0), sums->columnInt(1)}] = std::get<double>(sums->column(2));
        }
        EXPECT_EQ(found, expected);
    }
}

TEST_F(BackgroundReading, ObjectURIsOfABackgroundCopyResolveInTheMainContext) {
    TestTask* task = makeTask(main(), "Task");
    saveOrThrow(main());
    auto copy = load(*reader());
    TestTask* copied = findByUuid<TestTask>(*copy, *task->uuid());
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->uriRepresentation(), task->uriRepresentation());
    EXPECT_EQ(main().objectWithURI(copied->uriRepresentation()), task);
    EXPECT_EQ(copy->objectWithURI(task->uriRepresentation()), copied);
}

TEST(BackgroundReader, AMissingFileIsAnErrorAndIsNotCreated) {
    testing::TemporaryDirectory folder;
    auto reader =
        BackgroundReader::open(folder / "missing.sqlite", store_testing::storeTestModel());
    ASSERT_FALSE(reader.ok());
    EXPECT_EQ(reader.error().code, static_cast<int>(StoreErrorCode::CannotOpen));
    EXPECT_FALSE(std::filesystem::exists(folder / "missing.sqlite"));
}

}  // namespace
}  // namespace ravelong
