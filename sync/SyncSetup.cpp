#include "sync/SyncSetup.h"

#include "foundation/Log.h"
#include "sync/SyncTexts.h"

namespace ravelong {

namespace t = sync_texts;
namespace fs = std::filesystem;

namespace {

// Stands in for the engine when the program has none: every merge ends with an error that says
// so, on the main loop like a real one.
class MissingSyncEngine final : public SyncMerger {
public:
    explicit MissingSyncEngine(MainLoop& loop) : loop_(loop) {}
    void mergeWithOptions(std::uint64_t, std::function<void(Status)> done) override {
        loop_.runOnMainThread([done = std::move(done)] {
            done(makeSEError(kSEErrorUnsupported, std::string(t::kNoSyncEngine)));
        });
    }

private:
    MainLoop& loop_;
};

}  // namespace

SyncSetup::SyncSetup(Services services) : services_(std::move(services)) {
    backends_.push_back(std::make_unique<FolderSyncBackend>(
        services_.driver.loop, services_.driver.standardDefaults, services_.isNetworkFolder));
}

SyncSetup::~SyncSetup() {
    *alive_ = false;
    cancelSaveTimer();
    // The driver's back-end refers to its factory: it goes first.
    merger_.reset();
    driver_.reset();
    connecting_.reset();
}

void SyncSetup::addBackend(std::unique_ptr<SyncBackendFactory> backend) {
    for (auto& existing : backends_)
        if (existing->service() == backend->service()) {
            existing = std::move(backend);
            return;
        }
    backends_.push_back(std::move(backend));
}

SyncBackendFactory* SyncSetup::backend(SyncService service) const {
    for (const auto& b : backends_)
        if (b->service() == service)
            return b.get();
    return nullptr;
}

FolderSyncBackend& SyncSetup::folderBackend() const {
    return static_cast<FolderSyncBackend&>(*backend(SyncService::folder));
}

SyncService SyncSetup::service() const {
    return driver_ && installed_ ? installed_->service() : SyncService::none;
}

std::optional<fs::path> SyncSetup::folder() const {
    return folderBackend().storedFolder();
}

void SyncSetup::setState(std::int64_t value) {
    UserDefaults& defaults = services_.driver.standardDefaults;
    if (defaults.integerForKey(t::kZRConnectionState) != value ||
        !defaults.exists(t::kZRConnectionState))
        defaults.setInteger(t::kZRConnectionState, value);
}

void SyncSetup::start() {
    const ConnectionState stored{
        services_.driver.standardDefaults.integerForKey(t::kZRConnectionState, 0)};
    SyncBackendFactory* chosen =
        stored.service() > 0 ? backend(static_cast<SyncService>(stored.service())) : nullptr;
    if (chosen && chosen->isConfigured()) {
        install(*chosen);
        if (!driver_->cloudFileSystem()->isConnected()) {
            logInfo("SyncSetup", "the chosen sync service cannot be reached now");
            setState(ConnectionState::of(chosen->service(), 4).value);
        }
        return;
    }
    // Nothing usable is chosen (or a disconnection was cut short): none, and no folder left
    // behind that a later choice could be confused with.
    if (folder())
        folderBackend().forget();
    setState(0);
}

void SyncSetup::chooseService(SyncService service, std::function<void(Status)> done) {
    auto finish = [this, done = std::move(done)](Status status) {
        services_.driver.loop.runOnMainThread([done, status = std::move(status)] {
            if (done)
                done(status);
        });
    };
    if (connecting_)
        return finish(makeSEError(kSEErrorUnknown, std::string(t::kFolderBusy)));
    SyncBackendFactory* chosen = backend(service);
    if (!chosen)
        return finish(makeSEError(kSEErrorUnsupported, std::string(t::kServiceNotOffered)));
    if (!chosen->isConfigured())
        return finish(chosen->whyNotConfigured());
    if (driver_ && installed_ == chosen) {
        forceSyncWithMergeOptions(kSyncMergeOptions);
        return finish(Status());
    }
    switchTo(*chosen, {}, std::move(finish));
}

void SyncSetup::chooseFolder(const fs::path& chosen, std::function<void(Status)> done) {
    auto finish = [this, done = std::move(done)](Status status) {
        services_.driver.loop.runOnMainThread([done, status = std::move(status)] {
            if (done)
                done(status);
        });
    };
    if (connecting_)
        return finish(makeSEError(kSEErrorUnknown, std::string(t::kFolderBusy)));
    Result<fs::path> folder = FolderSyncBackend::checkedFolder(chosen);
    if (!folder.ok())
        return finish(folder.error());
    if (driver_ && installed_ == &folderBackend() && this->folder() == folder.value()) {
        forceSyncWithMergeOptions(kSyncMergeOptions);
        return finish(Status());
    }
    switchTo(
        folderBackend(), [this, folder = folder.value()] { folderBackend().propose(folder); },
        std::move(finish));
}

void SyncSetup::switchTo(SyncBackendFactory& backend, std::function<void()> prepare,
                         std::function<void(Status)> done) {
    if (!driver_) {
        if (prepare)
            prepare();
        return connectService(backend, std::move(done));
    }
    disconnect([this, alive = alive_, &backend, prepare = std::move(prepare),
                done = std::move(done)]() mutable {
        if (!*alive)
            return;
        if (prepare)
            prepare();
        connectService(backend, std::move(done));
    });
}

void SyncSetup::connectService(SyncBackendFactory& backend, std::function<void(Status)> done) {
    setState(ConnectionState::of(backend.service(), 2).value);
    connecting_ = backend.makeCloudFileSystem();
    if (!connecting_) {
        backend.forget();
        setState(0);
        done(backend.whyNotConfigured());
        return;
    }
    connecting_->connect([this, alive = alive_, &backend, done = std::move(done)](Status status) {
        if (!*alive)
            return;
        connecting_.reset();
        if (!status) {
            backend.forget();
            setState(0);
            done(status);
            return;
        }
        backend.keepChoice();
        install(backend);
        // The choice must survive a crash before the next regular write of the settings.
        (void)services_.driver.standardDefaults.synchronize();  // failures are logged there
        forceSyncWithMergeOptions(kSyncMergeOptions);
        done(Status());
    });
}

void SyncSetup::install(SyncBackendFactory& backend) {
    merger_.reset();
    driver_.reset();
    installed_ = nullptr;
    std::unique_ptr<SECloudFileSystem> cloud = backend.makeCloudFileSystem();
    if (!cloud)
        return;
    ZRPersistentStoreSyncDelegate::Services driverServices = services_.driver;
    driverServices.backendNeedsNetwork = backend.needsNetwork();
    if (services_.makeMerger)
        merger_ = services_.makeMerger(*cloud);
    if (!merger_)
        merger_ = std::make_unique<MissingSyncEngine>(services_.driver.loop);
    driver_ = std::make_unique<ZRPersistentStoreSyncDelegate>(driverServices, backend.service(),
                                                              std::move(cloud), *merger_);
    installed_ = &backend;
    backend.installed(*driver_->cloudFileSystem(), [this, alive = alive_] {
        // Changes made on another computer: merge them, unless a merge for them is due anyway.
        if (*alive && driver_ && !quitting_ && !driver_->waitingForNetworkConnection())
            driver_->forceSyncWithMergeOptions(kSyncMergeOptions);
    });
    if (!networkReachable_)
        driver_->setNetworkReachable(false);
}

void SyncSetup::disconnect(std::function<void()> done) {
    cancelSaveTimer();
    auto finish = [this, alive = alive_, done = std::move(done)] {
        // Runs from the loop, never inside the driver's own call that ended the merge.
        services_.driver.loop.runOnMainThread([this, alive, done] {
            if (!*alive)
                return;
            merger_.reset();
            driver_.reset();
            (installed_ ? *installed_ : static_cast<SyncBackendFactory&>(folderBackend())).forget();
            installed_ = nullptr;
            setState(0);
            (void)services_.driver.standardDefaults.synchronize();
            if (done)
                done();
        });
    };
    if (driver_ && driver_->activeMergeCount() > 0) {
        setState(2);
        driver_->waitForTerminatingMerge(std::move(finish));
        return;
    }
    finish();
}

bool SyncSetup::readyToSync() const {
    return driver_ && !quitting_ && driver_->readyToSync();
}

void SyncSetup::forceSyncWithMergeOptions(std::int64_t mergeOptions) {
    if (driver_ && !quitting_)
        driver_->forceSyncWithMergeOptions(mergeOptions);
}

void SyncSetup::localChangesSaved() {
    if (!driver_ || quitting_ || saveTimer_ != 0)
        return;
    saveTimer_ = services_.driver.loop.runAfter(kSaveSyncDelay, [this, alive = alive_] {
        if (!*alive)
            return;
        saveTimer_ = 0;
        // A merge that runs now takes this request as the one it runs after it.
        if (driver_ && !quitting_ && !driver_->waitingForNetworkConnection())
            driver_->forceSyncWithMergeOptions(kSyncMergeOptions);
    });
}

void SyncSetup::setNetworkReachable(bool reachable) {
    networkReachable_ = reachable;
    if (driver_)
        driver_->setNetworkReachable(reachable);
}

void SyncSetup::waitForTerminatingMerge(std::function<void()> finished) {
    quitting_ = true;
    cancelSaveTimer();
    if (!driver_) {
        finished();
        return;
    }
    driver_->waitForTerminatingMerge(std::move(finished));
}

void SyncSetup::cancelSaveTimer() {
    if (saveTimer_ != 0) {
        services_.driver.loop.cancel(saveTimer_);
        saveTimer_ = 0;
    }
}

}  // namespace ravelong
