// What the engine tells the driver besides merging: clocks that disagree and, in a first merge,
// the conflicts the user decides.
#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "sync/LocalFolderCloudFileSystem.h"
#include "sync/SyncTexts.h"
#include "sync/ZRPersistentStoreSyncDelegate.h"
#include "sync/engine/StoreSnapshot.h"
#include "sync/engine/SyncTestComputer.h"

namespace ravelong::sync_testing {
namespace {

namespace fs = std::filesystem;

constexpr Instant kMinute = 60;

// Answers the merge-conflict question as the test says and remembers what it was asked.
class ScriptedAlerts final : public SyncAlerts {
public:
    std::function<ConflictAnswer(const std::string&)> answer;
    std::vector<std::string> asked;

    ConflictAnswer askMergeConflict(const std::string& message) override {
        asked.push_back(message);
        if (!answer) {
            ADD_FAILURE() << "unexpected question: " << message;
            return {};
        }
        return answer(message);
    }
    int askCloudDataAvailable() override { return kCloudDataOther; }
    int askReleech() override { return kReleechLater; }
    void showAlert(const std::string&, const std::string&) override {}
};

// A driver over one test computer's engine, as the program builds it.
struct Driver {
    testing::TemporaryDirectory settings;
    NotificationCenter notifications;
    UserDefaults standard{settings / "standard.json"};
    UserDefaults group{settings / "group.json"};
    int clockAlerts = 0;
    std::unique_ptr<ZRPersistentStoreSyncDelegate> delegate;

    Driver(SyncTestWorld& world, SyncTestComputer& computer, SyncAlerts* alerts) {
        ZRPersistentStoreSyncDelegate::Services services{
            world.loop, world.clock, notifications, standard, group, {}, [this] { ++clockAlerts; }};
        services.backendNeedsNetwork = false;
        services.alerts = alerts;
        delegate = std::make_unique<ZRPersistentStoreSyncDelegate>(
            services, SyncService::folder,
            std::make_unique<LocalFolderCloudFileSystem>(world.loop, world.cloudFolder),
            computer.engine());
    }

    // One merge through the driver, to its end.
    bool sync(SyncTestWorld& world, SyncTestComputer& computer) {
        delegate->forceSyncWithMergeOptions(kSyncMergeOptions);
        computer.as([&] { return world.loop.runPending(); });
        return delegate->activeMergeCount() == 0 && !delegate->previousMergeEndedWithError();
    }
};

TEST(EngineClockCheck, OnlyAFileFromAheadOfOurClockSinceARecentListingCounts) {
    struct Case {
        const char* label;
        double sinceListing;  // from the reader's last listing to the writer's upload
        double writerAhead;   // the writer's clock ahead of ours
        bool restart;         // the reader restarts before it reads (no listing this run)
        std::optional<double> lead;
        int alerts;  // through the driver
    } cases[] = {
        {"same clock", 2 * kMinute, 0, false, std::nullopt, 0},
        {"ten minutes ahead", 2 * kMinute, 10 * kMinute, false, 10 * kMinute, 1},
        {"one minute ahead, within the tolerance", 2 * kMinute, kMinute, false, kMinute, 0},
        {"ten minutes behind, maybe carried late", 2 * kMinute, -10 * kMinute, false, std::nullopt,
         0},
        {"ahead, but the last listing is old", 20 * kMinute, 10 * kMinute, false, std::nullopt, 0},
        {"ahead, read after a restart", 2 * kMinute, 10 * kMinute, true, std::nullopt, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SyncTestWorld world;
        SyncTestComputer a(world, "a"), b(world, "b");
        a.addTask("First");
        ASSERT_TRUE(a.merge()->ok());
        ASSERT_TRUE(b.merge()->ok());  // b's listing
        if (c.restart) {
            b.crash();
            b.start();
        }
        std::vector<double> leads;
        Driver driver(world, b, nullptr);
        // Seen on its way to the driver.
        b.engine().setRemoteTimeObserver([&, driven = &driver](Instant remoteNow) {
            leads.push_back(remoteNow - world.clock.now());
            driven->delegate->checkRemoteTime(remoteNow);
        });

        world.clock.advance(c.sinceListing);
        const Instant ours = world.clock.now();
        world.clock.set(ours + c.writerAhead);
        a.addTask("Second");
        ASSERT_TRUE(a.merge()->ok());
        world.clock.set(ours + 5);
        ASSERT_TRUE(driver.sync(world, b));

        if (c.lead) {
            ASSERT_EQ(leads.size(), 1u);
            EXPECT_NEAR(leads[0], *c.lead, 6.0);
        } else {
            EXPECT_TRUE(leads.empty()) << leads.size();
        }
        EXPECT_EQ(driver.clockAlerts, c.alerts);
        EXPECT_EQ(b.context().fetchAll<ZRCDTask>().size(), 2u);
    }
}

// b starts from a copy of a's store (moved to a second computer), with synchronisation set up
// afresh; both rename the same tasks before b's first merge.
class EngineConflictTest : public ::testing::Test {
protected:
    SyncTestWorld world;
    std::optional<SyncTestComputer> a, b;

    ZRCDTask* taskNamed(SyncTestComputer& computer, const std::string& name) {
        for (ZRCDTask* task : computer.context().fetchAll<ZRCDTask>()) {
            if (task->taskName() == name)
                return task;
        }
        return nullptr;
    }

    // a's store, as `fill` makes it and merged, copied to b.
    void copyAToB(const std::function<void(SyncTestComputer&)>& fill = [](SyncTestComputer& c) {
        c.addTask("Report");
        c.addTask("Review");
    }) {
        a.emplace(world, "a");
        fill(*a);
        ASSERT_TRUE(a->merge()->ok());
        a->crash();
        b.emplace(world, "b");
        b->crash();
        fs::copy_file(a->storePath(), b->storePath(), fs::copy_options::overwrite_existing);
        fs::remove_all(b->stateFolder());
        a->start();
        b->start();
    }

    void rename(SyncTestComputer& computer, const std::string& from, const std::string& to) {
        ZRCDTask* task = taskNamed(computer, from);
        ASSERT_NE(task, nullptr) << from;
        computer.as([&] {
            task->setTaskName(to);
            return 0;
        });
        ASSERT_TRUE(computer.save().ok());
    }
};

TEST_F(EngineConflictTest, TheUserDecidesEachConflictOfAFirstMergeOrAllAtOnce) {
    constexpr int kCloud = SyncAlerts::kUseCloud, kLocal = SyncAlerts::kUseLocal;
    struct Case {
        const char* label;
        int forReport, forReview;
        bool forAll;
        std::size_t questions;
        std::set<std::string> names;  // on both computers in the end
    } cases[] = {
        {"keep local, each", kLocal, kLocal, false, 2, {"Report (b)", "Review (b)"}},
        {"use cloud, each", kCloud, kCloud, false, 2, {"Report (a)", "Review (a)"}},
        {"one of each", kCloud, kLocal, false, 2, {"Report (a)", "Review (b)"}},
        {"keep local for all", kLocal, kLocal, true, 1, {"Report (b)", "Review (b)"}},
        {"use cloud for all", kCloud, kCloud, true, 1, {"Report (a)", "Review (a)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        copyAToB();
        for (const char* name : {"Report", "Review"}) {
            rename(*a, name, std::string(name) + " (a)");
            rename(*b, name, std::string(name) + " (b)");
        }
        ASSERT_TRUE(a->merge()->ok());
        ScriptedAlerts alerts;
        alerts.answer = [&](const std::string& message) {
            const bool report = message.find("Report") != std::string::npos;
            return SyncAlerts::ConflictAnswer{report ? c.forReport : c.forReview, c.forAll};
        };
        {
            Driver driver(world, *b, &alerts);
            ASSERT_TRUE(driver.sync(world, *b));
        }
        ASSERT_EQ(alerts.asked.size(), c.questions);
        for (const std::string& asked : alerts.asked) {
            const std::string name =
                asked.find("Report") != std::string::npos ? "Report" : "Review";
            EXPECT_EQ(asked,
                      "A task's name has been changed since the last connection with the cloud.\n"
                      "Cloud value: " +
                          name + " (a)\nLocal value: " + name + " (b)");
        }
        for (int round = 0; round < 3; ++round) {
            ASSERT_TRUE(b->merge()->ok());
            ASSERT_TRUE(a->merge()->ok());
        }
        for (SyncTestComputer* computer : {&*a, &*b}) {
            std::set<std::string> names;
            for (ZRCDTask* task : computer->context().fetchAll<ZRCDTask>())
                names.insert(task->taskName().value_or(""));
            EXPECT_EQ(names, c.names) << computer->name();
        }
        EXPECT_EQ(StoreSnapshot::of(a->context()).tasks, StoreSnapshot::of(b->context()).tasks);
        a.reset();
        b.reset();
        fs::remove_all(world.cloudFolder);
        fs::create_directories(world.cloudFolder);
        fs::remove_all(world.directory / "a");
        fs::remove_all(world.directory / "b");
    }
}

TEST_F(EngineConflictTest, OnlyValuesThatDifferInAFirstMergeAreAsked) {
    copyAToB();
    // Records on one side only, and the same value on both: nothing to ask.
    a->addTask("New on a");
    b->addTask("New on b");
    rename(*a, "Review", "Review again");
    rename(*b, "Review", "Review again");
    ASSERT_TRUE(a->merge()->ok());
    ScriptedAlerts alerts;
    Driver driver(world, *b, &alerts);
    ASSERT_TRUE(driver.sync(world, *b));
    EXPECT_TRUE(alerts.asked.empty());

    // After the first merge the ordering key decides, silently: a rename made after seeing the
    // other's wins everywhere.
    rename(*b, "Report", "Report (b)");
    ASSERT_TRUE(driver.sync(world, *b));
    ASSERT_TRUE(a->merge()->ok());
    rename(*a, "Report (b)", "Report (a, later)");
    ASSERT_TRUE(a->merge()->ok());
    ASSERT_TRUE(driver.sync(world, *b));
    EXPECT_TRUE(alerts.asked.empty());
    EXPECT_NE(taskNamed(*b, "Report (a, later)"), nullptr);
    EXPECT_NE(taskNamed(*b, "New on a"), nullptr);
    EXPECT_NE(taskNamed(*a, "New on b"), nullptr);
    EXPECT_EQ(StoreSnapshot::of(a->context()).tasks, StoreSnapshot::of(b->context()).tasks);
}

TEST_F(EngineConflictTest, ATimingChangedOnBothSidesIsAskedAboutOnceForItsDateAndDuration) {
    const Instant start = world.clock.now() - 3 * 3600;
    ASSERT_NO_FATAL_FAILURE(copyAToB(
        [&](SyncTestComputer& c) { c.addTiming(c.addTask("Report"), start, start + 3600); }));
    for (auto [computer, shift] : {std::pair{&*a, 600.0}, std::pair{&*b, -600.0}}) {
        ZRCDTiming* timing = computer->context().fetchAll<ZRCDTiming>().front();
        computer->as([&, shift = shift] {
            timing->setStartDate(start + shift);
            timing->setEndDate(start + 3600 + 2 * shift);
            return 0;
        });
        ASSERT_TRUE(computer->save().ok());
    }
    ASSERT_TRUE(a->merge()->ok());
    ScriptedAlerts alerts;
    alerts.answer = [](const std::string&) {
        return SyncAlerts::ConflictAnswer{SyncAlerts::kUseLocal, false};
    };
    Driver driver(world, *b, &alerts);
    ASSERT_TRUE(driver.sync(world, *b));
    ASSERT_EQ(alerts.asked.size(), 1u);
    // The task's full name, as the program shows it.
    const std::string fullName = taskNamed(*b, "Report")->getFullTaskName();
    EXPECT_EQ(alerts.asked[0],
              "The date and/or duration of a timing that is assigned to the task \"" + fullName +
                  "\" has been changed since the last connection with the cloud.");
    ASSERT_TRUE(a->merge()->ok());
    for (SyncTestComputer* computer : {&*a, &*b}) {
        ZRCDTiming* timing = computer->context().fetchAll<ZRCDTiming>().front();
        EXPECT_EQ(timing->startDate(), start - 600) << computer->name();
        EXPECT_EQ(timing->endDate(), start + 3600 - 1200) << computer->name();
    }
}

}  // namespace
}  // namespace ravelong::sync_testing
