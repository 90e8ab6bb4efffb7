#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/MaintenanceServices.h"
#include "sync/FolderSyncBackend.h"
#include "sync/SyncBackendFactory.h"
#include "sync/SyncMerger.h"
#include "sync/ZRPersistentStoreSyncDelegate.h"

namespace ravelong {

// Which service the program synchronises with, kept in the settings, and the one driver
// (ZRPersistentStoreSyncDelegate) working with it. Each service the program offers has a
// SyncBackendFactory: the synced folder (service 5) is always there; others (Dropbox) are added
// with addBackend(). The service is the hundreds of "ZRConnectionState".
//
// The merge engine is made by `makeMerger` for the back-end of the chosen service, the one place
// that knows the engine; a factory that gives nullptr leaves a driver whose merges all end with
// the error kSEErrorUnsupported ("cannot merge yet"), so the set-up, the state display and the
// triggers work and say plainly that nothing is merged.
//
// It is the program's SyncRequester (the maintenance tick asks it), and it carries the other
// triggers: a merge kSaveSyncDelay seconds after local changes were saved (one for a burst of
// saves), one when the network comes back and one when the back-end hears of changes made
// elsewhere. Main thread only.
class SyncSetup final : public SyncRequester {
public:
    using MergerFactory = std::function<std::unique_ptr<SyncMerger>(SECloudFileSystem&)>;

    struct Services {
        // What the driver is made with; backendNeedsNetwork is decided per folder.
        ZRPersistentStoreSyncDelegate::Services driver;
        MergerFactory makeMerger;
        // Whether a folder lies on a network file system; empty: none does.
        std::function<bool(const std::filesystem::path&)> isNetworkFolder;
    };

    static constexpr double kSaveSyncDelay = 10.0;

    explicit SyncSetup(Services services);
    ~SyncSetup() override;
    SyncSetup(const SyncSetup&) = delete;
    SyncSetup& operator=(const SyncSetup&) = delete;

    // Offers another service (before start()). The factory lives as long as the SyncSetup.
    void addBackend(std::unique_ptr<SyncBackendFactory> backend);
    // The factory of a service; nullptr when it is not offered.
    SyncBackendFactory* backend(SyncService service) const;

    // At launch: makes the driver for the stored choice. Any state left by a previous run (a
    // merge or a disconnection cut short by a crash) is replaced, so nothing reads as busy for
    // ever. A chosen service that cannot be reached now (a share not mounted) stays chosen and
    // shows the outage until it is back. A service this build does not offer, or one whose
    // settings are gone (an account unlinked meanwhile), reads as none.
    void start();

    // Chooses a service whose settings are complete (for the folder: chooseFolder): leaves the
    // previous service, connects ("Connecting..."), stores the choice and starts the first
    // merge. Choosing the service in use merges at once. `done` runs once, on the main loop;
    // with an Error (the previous state kept when the service was not ready; none when its
    // connection failed) when it cannot be used.
    void chooseService(SyncService service, std::function<void(Status)> done);

    // Chooses a synced folder: checks it (an absolute path to a folder this user can write),
    // then as chooseService. A folder that cannot be used changes nothing.
    void chooseFolder(const std::filesystem::path& folder, std::function<void(Status)> done);
    // Leaves the service: "Disconnecting..." while a running merge finishes, then none; the
    // service forgets its choice (the folder setting is removed; an account stays linked).
    // `done` runs once, on the main loop.
    void disconnect(std::function<void()> done = {});

    SyncService service() const;
    std::optional<std::filesystem::path> folder() const;
    // The driver of the chosen service; nullptr when none is chosen.
    ZRPersistentStoreSyncDelegate* driver() const { return driver_.get(); }
    bool isConnecting() const { return connecting_ != nullptr; }

    // --- SyncRequester ---
    bool readyToSync() const override;
    void forceSyncWithMergeOptions(std::int64_t mergeOptions) override;

    // The main context was saved with changes.
    void localChangesSaved();
    void setNetworkReachable(bool reachable);
    // For quit: runs `finished` once no merge runs (at once when none does); no merge starts
    // afterwards.
    void waitForTerminatingMerge(std::function<void()> finished);

private:
    // Leaves the service in use (when another is chosen), runs `prepare` and connects.
    void switchTo(SyncBackendFactory& backend, std::function<void()> prepare,
                  std::function<void(Status)> done);
    void connectService(SyncBackendFactory& backend, std::function<void(Status)> done);
    void install(SyncBackendFactory& backend);
    void setState(std::int64_t value);
    void cancelSaveTimer();
    FolderSyncBackend& folderBackend() const;

    Services services_;
    // Declared before the driver: every back-end the driver holds refers to its factory.
    std::vector<std::unique_ptr<SyncBackendFactory>> backends_;
    SyncBackendFactory* installed_ = nullptr;
    // The merger works through the driver's back-end: it is declared after the driver, so it
    // goes first.
    std::unique_ptr<ZRPersistentStoreSyncDelegate> driver_;
    std::unique_ptr<SyncMerger> merger_;
    std::unique_ptr<SECloudFileSystem> connecting_;
    bool networkReachable_ = true;
    bool quitting_ = false;
    MainLoop::TimerId saveTimer_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace ravelong
