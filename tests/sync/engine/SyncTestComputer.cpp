#include "sync/engine/SyncTestComputer.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <stdexcept>

#include "core/model/RavelongModel.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/repairs/TimingSetRepairs.h"

namespace ravelong::sync_testing {

namespace fs = std::filesystem;

bool GatedMainLoop::Gate::pass() {
    if (!open)
        return false;
    if (budget == 0) {
        open = false;
        return false;
    }
    if (budget > 0)
        --budget;
    return true;
}

std::function<void()> GatedMainLoop::gated(std::function<void()> work) {
    return [gate = gate_, work = std::move(work)] {
        if (gate->pass())
            work();
    };
}

void GatedMainLoop::runOnMainThread(std::function<void()> work) {
    inner_.runOnMainThread(gated(std::move(work)));
}

MainLoop::TimerId GatedMainLoop::runAfter(double seconds, std::function<void()> work) {
    return inner_.runAfter(seconds, gated(std::move(work)));
}

MainLoop::TimerId GatedMainLoop::runRepeating(double intervalSeconds, double toleranceSeconds,
                                              std::function<void()> work) {
    return inner_.runRepeating(intervalSeconds, toleranceSeconds, gated(std::move(work)));
}

DelayedFolderCloud::DelayedFolderCloud(MainLoop& loop, const Clock& clock, fs::path root,
                                       std::mt19937* random, const double* maximumDelay)
    : SECloudFileSystem(loop),
      folder_(loop, std::move(root)),
      clock_(clock),
      random_(random),
      maximumDelay_(maximumDelay) {}

bool DelayedFolderCloud::offline(const Completion& completion) {
    if (online)
        return false;
    deliver([completion] { completion(makeSEError(kSEErrorNoConnection, "Cut off.")); });
    return true;
}

void DelayedFolderCloud::connect(Completion completion) {
    if (!offline(completion))
        folder_.connect(std::move(completion));
}

void DelayedFolderCloud::fetchUserIdentityWithCompletion(IdentityCompletion completion) {
    folder_.fetchUserIdentityWithCompletion(std::move(completion));
}

void DelayedFolderCloud::fileExistsAtPath(const std::string& path, ExistsCompletion completion) {
    folder_.fileExistsAtPath(path, std::move(completion));
}

void DelayedFolderCloud::createDirectoryAtPath(const std::string& path, Completion completion) {
    if (!offline(completion))
        folder_.createDirectoryAtPath(path, std::move(completion));
}

void DelayedFolderCloud::contentsOfDirectoryAtPath(const std::string& path,
                                                   ListingCompletion completion) {
    if (!online) {
        deliver([completion] {
            completion(std::nullopt, makeSEError(kSEErrorNoConnection, "Cut off."));
        });
        return;
    }
    folder_.contentsOfDirectoryAtPath(
        path, [this, completion = std::move(completion)](auto items, Status status) {
            if (items) {
                std::vector<SECloudItem> arrived;
                for (auto& item : *items) {
                    auto [known, added] = visibleFrom_.try_emplace(item.path, 0.0);
                    if (added && *maximumDelay_ > 0) {
                        std::uniform_real_distribution<double> delay(0, *maximumDelay_);
                        known->second = clock_.now() + delay(*random_);
                    }
                    if (known->second <= clock_.now())
                        arrived.push_back(std::move(item));
                }
                items = std::move(arrived);
            }
            completion(std::move(items), status);
        });
}

void DelayedFolderCloud::removeItemAtPath(const std::string& path, Completion completion) {
    if (!offline(completion))
        folder_.removeItemAtPath(path, std::move(completion));
}

void DelayedFolderCloud::uploadLocalFile(const fs::path& localFile, const std::string& path,
                                         Completion completion) {
    if (offline(completion))
        return;
    visibleFrom_[path] = 0.0;  // our own file is here at once
    folder_.uploadLocalFile(localFile, path, std::move(completion));
}

void DelayedFolderCloud::downloadFromPath(const std::string& path, const fs::path& localFile,
                                          Completion completion) {
    if (!offline(completion))
        folder_.downloadFromPath(path, localFile, std::move(completion));
}

MemoryDirectory::MemoryDirectory() {
    std::error_code ec;
    fs::path base =
        fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "ravelong-sync-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary directory");
    path_ = pattern;
}

MemoryDirectory::~MemoryDirectory() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

SyncTestWorld::SyncTestWorld() : cloudFolder(directory / "cloud") {
    fs::create_directories(cloudFolder);
}

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
    cloud_ = std::make_unique<DelayedFolderCloud>(*loop_, world_.clock, world_.cloudFolder,
                                                  &world_.random, &world_.maximumArrivalDelay);
    auto opened = PersistentStore::open(storePath(), ravelongModel());
    EXPECT_TRUE(opened.ok()) << name_;
    store_ = opened.value();
    auto made = ManagedObjectContext::openMainContext(store_);
    EXPECT_TRUE(made.ok()) << name_;
    context_ = std::move(made.value());
    engine_ = std::make_unique<StoreSyncEngine>(
        StoreSyncEngine::Services{*loop_, world_.clock, *context_, [this] { return saveHook(); },
                                  *cloud_, stateFolder(), "device-" + name_});
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
    cloud_.reset();
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
    as([&] { return world_.loop.runPending(); });
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

StoreSnapshot StoreSnapshot::of(const ManagedObjectContext& context) {
    StoreSnapshot s;
    auto uuidOf = [](const ZRCDTask* task) {
        return task ? task->uuid().value_or("?") : std::string();
    };
    ZRCDTask* head = nullptr;
    for (ZRCDTask* task : context.fetchAll<ZRCDTask>()) {
        s.tasks[uuidOf(task)] = {task->taskName().value_or(""), uuidOf(task->parentTask()),
                                 uuidOf(task->nextTask()), task->isArchived()};
        if (!task->prevTask())
            head = task;
    }
    std::set<ZRCDTask*> walked;
    for (ZRCDTask* t = head; t && walked.insert(t).second; t = t->nextTask())
        s.chain.push_back(uuidOf(t));
    for (ZRCDTiming* timing : context.fetchAll<ZRCDTiming>()) {
        s.timings[timing->uuid().value_or("?")] = {
            timing->startDate().value_or(-1), timing->endDate().value_or(-1),
            uuidOf(timing->task()), timing->note().value_or("")};
    }
    for (ZRCDTimingSet* set : context.fetchAll<ZRCDTimingSet>())
        s.aggregates[{uuidOf(set->task()), set->absDay()}] += set->duration();
    auto fresh = const_cast<ManagedObjectContext&>(context).newChildContext();
    for (ZRCDTimingSet* set : fresh->fetchAll<ZRCDTimingSet>())
        fresh->deleteObject(set);
    store_repairs::fixTimingSetsAndTimings_inContext(*fresh);
    for (ZRCDTimingSet* set : fresh->fetchAll<ZRCDTimingSet>())
        s.rebuiltAggregates[{uuidOf(set->task()), set->absDay()}] += set->duration();
    return s;
}

}  // namespace ravelong::sync_testing
