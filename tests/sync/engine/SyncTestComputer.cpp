#include "sync/engine/SyncTestComputer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/model/RavelongModel.h"

namespace ravelong::sync_testing {

namespace fs = std::filesystem;

SyncTestComputer::SyncTestComputer(SyncTestWorld& world, std::string name)
    : world_(world),
      name_(std::move(name)),
      folder_(world.directory / name_),
      identity_(FixedDeviceIdentity::Values{"udid-" + name_, 1000, "User", "user", name_}) {
    fs::create_directories(folder_);
    saveHook = [this] { return context_->save(); };
    start();
}

SyncTestComputer::~SyncTestComputer() {
    crash();
}

void SyncTestComputer::start(bool stateMustOpen) {
    if (engine_)
        return;
    loop_ = std::make_unique<GatedMainLoop>(world_.loop);
    if (world_.makeCloud) {
        cloud_ = world_.makeCloud(*loop_, name_);
        folderCloud_ = nullptr;
    } else {
        auto folder = std::make_unique<DelayedFolderCloud>(
            *loop_, world_.clock, world_.cloudFolder, &world_.random, &world_.maximumArrivalDelay);
        folderCloud_ = folder.get();
        cloud_ = std::move(folder);
    }
    auto opened = PersistentStore::open(storePath(), ravelongModel());
    EXPECT_TRUE(opened.ok()) << name_;
    store_ = opened.value();
    auto made = ManagedObjectContext::openMainContext(store_);
    EXPECT_TRUE(made.ok()) << name_;
    context_ = std::move(made.value());
    engine_ = std::make_unique<StoreSyncEngine>(
        StoreSyncEngine::Services{*loop_, world_.clock, *context_, [this] { return saveHook(); },
                                  *cloud_, stateFolder(), "device-" + name_});
    if (world_.compactionThreshold > 0)
        engine_->setCompactionThreshold(world_.compactionThreshold);
    if (stateMustOpen) {
        EXPECT_TRUE(engine_->stateStatus().ok()) << name_;
    }
}

void SyncTestComputer::crash() {
    if (loop_)
        loop_->close();
    engine_.reset();
    context_.reset();
    store_.reset();
    folderCloud_ = nullptr;
    const bool hadCloud = cloud_ != nullptr;
    cloud_.reset();
    if (hadCloud && world_.cloudGone)
        world_.cloudGone(name_);
    // The closed loop stays until the shared loop has dropped what was queued through it.
    world_.loop.runOnMainThread([loop = std::shared_ptr<GatedMainLoop>(std::move(loop_))] {});
}

void SyncTestComputer::startMerge(std::function<void(Status)> done) {
    as([&] {
        engine_->mergeWithOptions(0, std::move(done));
        return 0;
    });
}

std::optional<Status> SyncTestComputer::merge() {
    std::optional<Status> result;
    startMerge([&result](Status status) { result = status; });
    // A crash on the way drops the merge's callbacks: then no answer comes.
    as([&] { return world_.runUntil([&] { return result.has_value() || struck(); }); });
    return result;
}

ZRCDTask* SyncTestComputer::addTask(const std::string& name, ZRCDTask* parent) {
    return as([&] {
        ZRCDTask* task = ZRCDTask::createCoreDataTaskImportWithName(name, world_.clock.now(),
                                                                    parent, 0, *context_);
        EXPECT_TRUE(save().ok());
        return task;
    });
}

ZRCDTiming* SyncTestComputer::addTiming(ZRCDTask* task, Instant start, std::optional<Instant> end) {
    return as([&] {
        ZRCDTiming* timing = ZRCDTiming::createCoreDataTimingWithStartDate(
            start, end, task, std::nullopt, 0, std::nullopt, *context_);
        EXPECT_NE(timing, nullptr);
        EXPECT_TRUE(save().ok());
        return timing;
    });
}

Status SyncTestComputer::save() {
    return as([&] { return context_->save(); });
}

StoreSnapshot expectSameStores(const std::vector<SyncTestComputer*>& computers) {
    const StoreSnapshot first = StoreSnapshot::of(computers.front()->context());
    for (SyncTestComputer* c : computers) {
        const StoreSnapshot s = StoreSnapshot::of(c->context());
        EXPECT_EQ(s.tasks, first.tasks) << c->name();
        EXPECT_EQ(s.timings, first.timings) << c->name();
        EXPECT_EQ(s.chain, first.chain) << c->name();
        EXPECT_EQ(s.aggregates, first.aggregates) << c->name();
        EXPECT_EQ(s.aggregates, s.rebuiltAggregates) << c->name();
    }
    return first;
}

}  // namespace ravelong::sync_testing
