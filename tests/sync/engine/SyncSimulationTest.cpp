#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <sstream>

#include "core/chain/ChainTreeChanges.h"
#include "core/timer/TimingStop.h"
#include "core/tree/TaskTreeEditing.h"
#include "sync/engine/SimulatedClouds.h"
#include "sync/engine/StoreSnapshot.h"
#include "sync/engine/SyncTestComputer.h"

namespace ravelong::sync_testing {
namespace {

namespace fs = std::filesystem;

// Several computers on one cloud, each with its own store, doing what people do
// (tasks, timings, timers, renames, deletions, merges of tasks) while files arrive late and out
// of order, computers go offline and crash in the middle of merges. In the end, with everyone
// online and merged until nothing more moves, every store holds the same tasks, timings and
// chain, no timing that nobody deleted is missing, and the day aggregates equal a fresh rebuild.
class Simulation {
public:
    Simulation(SimulationCase backEnd, unsigned seed, int computers)
        : rng_(seed), clouds_(world_, backEnd) {
        world_.random.seed(seed);
        world_.maximumArrivalDelay = 900;
        // Low, so that history is compacted while files arrive late and computers crash.
        world_.compactionThreshold = 12;
        for (int i = 0; i < computers; ++i)
            computers_.push_back(
                std::make_unique<SyncTestComputer>(world_, std::string(1, char('a' + i))));
    }

    void run(int steps) {
        for (int step = 0; step < steps; ++step) {
            world_.clock.advance(pick(30, 1200));
            world_.loop.runPending();
            SyncTestComputer& c = *computers_[pick(0, static_cast<int>(computers_.size()) - 1)];
            if (!c.running()) {
                c.start();
                continue;
            }
            SCOPED_TRACE("step " + std::to_string(step) + " on " + c.name());
            act(c);
            if (::testing::Test::HasFatalFailure())
                return;
            for (auto& computer : computers_) {
                if (!computer->running())
                    continue;
                for (ZRCDTask* task : computer->context().fetchAll<ZRCDTask>()) {
                    ASSERT_TRUE(task->uuid().has_value())
                        << computer->name() << " holds a task without uuid after dice "
                        << lastDice_;
                }
            }
        }
    }

    // Everyone online, timers stopped (the aggregates of a running timing grow with the clock
    // until the program's minute tick), and merged round after round until a round sends
    // nothing new.
    void settle() {
        for (auto& c : computers_) {
            c->start();
            clouds_.setOnline(c->name(), true);
        }
        for (int pass = 0; pass < 2; ++pass) {
            for (auto& c : computers_) {
                stopTimers(*c);
                auto merged = c->merge();
                ASSERT_TRUE(merged.has_value() && merged->ok()) << c->name();
            }
        }
        // Whatever is on its way arrives; from now on files arrive at once.
        world_.clock.advance(world_.maximumArrivalDelay + 1);
        world_.maximumArrivalDelay = 0;
        std::vector<std::size_t> before;
        for (int round = 0; round < 12; ++round) {
            world_.clock.advance(60);
            for (auto& c : computers_) {
                auto merged = c->merge();
                ASSERT_TRUE(merged.has_value());
                ASSERT_TRUE(merged->ok()) << c->name() << ": " << merged->error().description;
            }
            std::vector<std::size_t> now = progress();
            if (round > 0 && now == before)
                return;
            before = now;
        }
        FAIL() << "the computers never stopped sending events";
    }

    // A computer that was never there joins (after compactions, from the baselines).
    void join() {
        computers_.push_back(std::make_unique<SyncTestComputer>(
            world_, std::string(1, char('a' + computers_.size()))));
    }

    // Whether history was compacted into baselines, as the cloud lists them to a computer.
    bool compacted() {
        SyncTestComputer& c = *computers_.front();
        SECloudFileSystem& cloud = c.cloudFileSystem();
        std::optional<std::optional<std::vector<SECloudItem>>> listing;
        auto list = [&] {
            cloud.contentsOfDirectoryAtPath(
                "baselines", [&](auto items, Status) { listing.emplace(std::move(items)); });
        };
        c.as([&] {
            if (cloud.respondsTo(SEOptionalOperation::primeForActivity))
                cloud.primeForActivityWithCompletion([&](Status) { list(); });
            else
                list();
            return world_.runUntil([&] { return listing.has_value(); });
        });
        return listing && *listing && !(*listing)->empty();
    }

    // Merges tried while cut off (each of which had to fail).
    int offlineMerges() const { return offlineMerges_; }

    void check() {
        StoreSnapshot first = StoreSnapshot::of(computers_.front()->context());
        for (auto& c : computers_) {
            StoreSnapshot s = StoreSnapshot::of(c->context());
            EXPECT_EQ(s.tasks, first.tasks) << c->name();
            EXPECT_EQ(s.timings, first.timings) << c->name();
            EXPECT_EQ(s.chain, first.chain) << c->name();
            EXPECT_EQ(s.chain.size(), s.tasks.size()) << c->name() << ": the chain is broken";
            EXPECT_EQ(s.aggregates, s.rebuiltAggregates) << c->name();
        }
        for (const std::string& uuid : created_) {
            if (!deleted_.contains(uuid)) {
                EXPECT_TRUE(first.timings.contains(uuid)) << "lost timing " << uuid;
            }
        }
        for (const auto& [uuid, timing] : first.timings)
            EXPECT_TRUE(created_.contains(uuid)) << "a timing nobody made: " << uuid;
        EXPECT_GT(first.timings.size(), 0u);
    }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }

    template <class T>
    T* any(const std::vector<T*>& items) {
        return items.empty()
                   ? nullptr
                   : items[static_cast<std::size_t>(pick(0, static_cast<int>(items.size()) - 1))];
    }

    std::vector<ZRCDTask*> leaves(SyncTestComputer& c) {
        std::vector<ZRCDTask*> out;
        for (ZRCDTask* t : c.context().fetchAll<ZRCDTask>()) {
            if (t->childTasks().empty())
                out.push_back(t);
        }
        return out;
    }

    void stopTimers(SyncTestComputer& c) {
        for (ZRCDTiming* timing : ZRCDTiming::getRunningTimings_inContext(c.context())) {
            std::string uuid = *timing->uuid();
            if (!c.as([&] { return timing_stop::stopThisTimingNow(*timing); }))
                deleted_.insert(uuid);
        }
        EXPECT_TRUE(c.save().ok());
    }

    void forgetTimingsOf(ZRCDTask* task) {
        for (ZRCDTiming* timing : task->timings())
            deleted_.insert(*timing->uuid());
        for (ZRCDTask* child : task->childTasks())
            forgetTimingsOf(child);
    }

    void act(SyncTestComputer& c) {
        int dice = pick(0, 99);
        lastDice_ = dice;
        ManagedObjectContext& context = c.context();
        Instant now = world_.clock.now();
        if (dice < 12) {
            ZRCDTask* parent = nullptr;
            if (dice < 4) {
                ZRCDTask* candidate = any(context.fetchAll<ZRCDTask>());
                if (candidate && !candidate->parentTask() && candidate->timings().empty())
                    parent = candidate;
            }
            c.addTask("Task " + std::to_string(++names_), parent);
        } else if (dice < 36) {
            if (ZRCDTask* task = any(leaves(c))) {
                Instant start = now - pick(600, 3 * 86400);
                ZRCDTiming* timing = c.addTiming(task, start, start + pick(60, 5 * 3600));
                if (timing)
                    created_.insert(*timing->uuid());
            }
        } else if (dice < 46) {
            auto running = ZRCDTiming::getRunningTimings_inContext(context);
            if (!running.empty()) {
                std::string uuid = *running.front()->uuid();
                if (!c.as([&] { return timing_stop::stopThisTimingNow(*running.front()); }))
                    deleted_.insert(uuid);
            } else if (ZRCDTask* task = any(leaves(c))) {
                ZRCDTiming* timing = c.as([&] {
                    return ZRCDTiming::createRunningTimingNowForTask_andOrigin(task, 0, context);
                });
                if (timing)
                    created_.insert(*timing->uuid());
            }
            EXPECT_TRUE(c.save().ok());
        } else if (dice < 56) {
            if (dice % 2 == 0) {
                if (ZRCDTask* task = any(context.fetchAll<ZRCDTask>()))
                    task->setTaskName("Renamed " + std::to_string(++names_));
            } else if (ZRCDTiming* timing = any(context.fetchAll<ZRCDTiming>())) {
                timing->setNote("Note " + std::to_string(++names_));
            }
            EXPECT_TRUE(c.save().ok());
        } else if (dice < 62) {
            if (ZRCDTiming* timing = any(context.fetchAll<ZRCDTiming>())) {
                deleted_.insert(*timing->uuid());
                ZRCDTiming::deleteTimingAndUpdateTimingSets(timing, context);
                EXPECT_TRUE(c.save().ok());
            }
        } else if (dice < 65) {
            if (ZRCDTask* task = any(context.fetchAll<ZRCDTask>())) {
                forgetTimingsOf(task);
                c.as([&] { return task_chain::removeCoreDataTaskAndDescendants(task); });
                EXPECT_TRUE(c.save().ok());
            }
        } else if (dice < 68) {
            ZRCDTask* receiver = any(context.fetchAll<ZRCDTask>());
            ZRCDTask* other = any(context.fetchAll<ZRCDTask>());
            if (receiver && other && receiver != other &&
                task_tree_editing::canMerge(receiver, other)) {
                c.as([&] { return task_tree_editing::mergeWithTask(receiver, other); });
                EXPECT_TRUE(c.save().ok());
            }
        } else if (dice < 74) {
            clouds_.setOnline(c.name(), !clouds_.online(c.name()));
        } else if (dice < 96) {
            auto merged = c.merge();
            ASSERT_TRUE(merged.has_value());
            if (!clouds_.online(c.name()))
                ++offlineMerges_;
            if (clouds_.online(c.name())) {
                ASSERT_TRUE(merged->ok()) << c.name() << ": " << merged->error().description;
            } else {
                EXPECT_FALSE(merged->ok()) << c.name() << " merged while cut off";
            }
        } else {
            c.crashAfter(pick(0, 12));
            (void)c.merge();
            c.crash();
        }
    }

    // What every computer has taken in and still has to send: a round that changes none of it
    // sent nothing new.
    std::vector<std::size_t> progress() {
        std::vector<std::size_t> out;
        for (auto& c : computers_) {
            out.push_back(c->engine().replica().appliedKeys().size());
            out.push_back(c->engine().pendingUploads());
        }
        return out;
    }

    SyncTestWorld world_;
    std::mt19937 rng_;
    SimulatedClouds clouds_;  // before the computers, which leave it when they go
    std::vector<std::unique_ptr<SyncTestComputer>> computers_;
    std::set<std::string> created_, deleted_;
    int names_ = 0;
    int lastDice_ = 0;
    int offlineMerges_ = 0;
};

// Seeds every test run plays (the shared folder, the quickest, plays more);
// RAVELONG_SYNC_SIM_SEEDS=N adds N more, numbered from 1000.
std::vector<unsigned> seeds(const SimulationCase& c) {
    std::vector<unsigned> list = {1};
    if (c.backEnd == BackEnd::folder)
        list = {1, 2, 3, 4};
    if (const char* extra = std::getenv("RAVELONG_SYNC_SIM_SEEDS")) {
        int count = std::atoi(extra);
        for (int i = 0; i < count; ++i)
            list.push_back(1000u + static_cast<unsigned>(i));
    }
    return list;
}

class SyncSimulation : public ::testing::TestWithParam<SimulationCase> {};

TEST_P(SyncSimulation, ComputersEndWithTheSameStoreWithoutLosingTime) {
    for (unsigned seed : seeds(GetParam())) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Simulation simulation(GetParam(), seed, 3 + static_cast<int>(seed % 3));
        simulation.run(150);
        if (::testing::Test::HasFatalFailure())
            return;
        // The back-end's failure path was taken.
        EXPECT_GT(simulation.offlineMerges(), 0);
        simulation.settle();
        if (::testing::Test::HasFatalFailure())
            return;
        EXPECT_TRUE(simulation.compacted());
        simulation.join();
        simulation.settle();
        if (::testing::Test::HasFatalFailure())
            return;
        simulation.check();
    }
}

std::string caseName(const ::testing::TestParamInfo<SimulationCase>& info) {
    const char* names[] = {"Folder", "Dropbox", "CloudKit", "CloudKitWeb"};
    return names[static_cast<int>(info.param.backEnd)] +
           std::string(info.param.zipped ? "Zipped" : "");
}

INSTANTIATE_TEST_SUITE_P(BackEnds, SyncSimulation,
                         ::testing::Values(SimulationCase{BackEnd::folder, false},
                                           SimulationCase{BackEnd::folder, true},
                                           SimulationCase{BackEnd::dropbox, false},
                                           SimulationCase{BackEnd::dropbox, true},
                                           SimulationCase{BackEnd::cloudKit, false},
                                           SimulationCase{BackEnd::cloudKit, true},
                                           SimulationCase{BackEnd::cloudKitWeb, true}),
                         caseName);

}  // namespace
}  // namespace ravelong::sync_testing
