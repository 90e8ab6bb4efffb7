#include "sync/SyncSetup.h"

#include <unistd.h>

#include "app/AppStrings.h"
#include "foundation/Log.h"
#include "sync/LocalFolderCloudFileSystem.h"
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

SyncSetup::SyncSetup(Services services) : services_(std::move(services)) {}

SyncSetup::~SyncSetup() {
    *alive_ = false;
    cancelSaveTimer();
}

SyncService SyncSetup::service() const {
    return driver_ ? SyncService::folder : SyncService::none;
}

std::optional<fs::path> SyncSetup::folder() const {
    const std::string stored =
        services_.driver.standardDefaults.stringForKey(t::kRavelongSyncFolder);
    if (stored.empty())
        return std::nullopt;
    return fs::path(stored);
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
    const std::optional<fs::path> chosen = folder();
    if (stored.service() == static_cast<std::int64_t>(SyncService::folder) && chosen &&
        chosen->is_absolute()) {
        install(*chosen);
        if (!driver_->cloudFileSystem()->isConnected()) {
            logInfo("SyncSetup", "the sync folder " + chosen->string() + " is not available now");
            setState(ConnectionState::of(SyncService::folder, 4).value);
        }
        return;
    }
    // Nothing usable is chosen (or a disconnection was cut short): none, and no folder left
    // behind that a later choice could be confused with.
    if (chosen)
        services_.driver.standardDefaults.remove(t::kRavelongSyncFolder);
    setState(0);
}

Status SyncSetup::checkFolder(const fs::path& folder) const {
    if (folder.empty() || !folder.is_absolute())
        return makeSEError(kSEErrorInvalidPath, std::string(t::kFolderNotAbsolute));
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return makeSEError(kSEErrorNoDirectory, formatText(t::kFolderMissing, {folder.string()}));
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return makeSEError(kSEErrorAuthorization,
                           formatText(t::kFolderNotWritable, {folder.string()}));
    return Status();
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
    fs::path folder = chosen.lexically_normal();
    if (folder.has_filename() == false && folder.has_parent_path() && folder != folder.root_path())
        folder = folder.parent_path();  // "/a/b/" is "/a/b"
    if (Status checked = checkFolder(folder); !checked)
        return finish(checked);
    if (driver_ && this->folder() == folder) {
        forceSyncWithMergeOptions(kSyncMergeOptions);
        return finish(Status());
    }
    if (!driver_)
        return connectFolder(std::move(folder), std::move(finish));
    disconnect([this, alive = alive_, folder, finish]() mutable {
        if (*alive)
            connectFolder(std::move(folder), std::move(finish));
    });
}

void SyncSetup::connectFolder(fs::path folder, std::function<void(Status)> done) {
    setState(ConnectionState::of(SyncService::folder, 2).value);
    connecting_ = std::make_unique<LocalFolderCloudFileSystem>(services_.driver.loop, folder);
    connecting_->connect([this, alive = alive_, folder, done = std::move(done)](Status status) {
        if (!*alive)
            return;
        connecting_.reset();
        if (!status) {
            setState(0);
            done(status);
            return;
        }
        UserDefaults& defaults = services_.driver.standardDefaults;
        defaults.setString(t::kRavelongSyncFolder, folder.string());
        install(folder);
        // The choice must survive a crash before the next regular write of the settings.
        (void)defaults.synchronize();  // failures are logged there
        forceSyncWithMergeOptions(kSyncMergeOptions);
        done(Status());
    });
}

void SyncSetup::install(const fs::path& folder) {
    merger_.reset();
    driver_.reset();
    ZRPersistentStoreSyncDelegate::Services driverServices = services_.driver;
    driverServices.backendNeedsNetwork =
        services_.isNetworkFolder && services_.isNetworkFolder(folder);
    auto cloud = std::make_unique<LocalFolderCloudFileSystem>(services_.driver.loop, folder);
    if (services_.makeMerger)
        merger_ = services_.makeMerger(*cloud);
    if (!merger_)
        merger_ = std::make_unique<MissingSyncEngine>(services_.driver.loop);
    driver_ = std::make_unique<ZRPersistentStoreSyncDelegate>(driverServices, SyncService::folder,
                                                              std::move(cloud), *merger_);
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
            services_.driver.standardDefaults.remove(t::kRavelongSyncFolder);
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
