#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "app/MaintenanceServices.h"
#include "foundation/Clock.h"
#include "foundation/MainLoop.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "sync/SECloudFileSystem.h"
#include "sync/SyncAlerts.h"
#include "sync/SyncMerger.h"
#include "sync/SyncStatusDisplay.h"

namespace ravelong {

// The program's side of synchronisation: runs merges on the engine over the configured back-end
// and publishes what the rest of the program shows: "ZRConnectionState" (standard defaults),
// "ZRLastSync" (group suite), the activity notifications "ZRSyncActivityDidBegin" and
// "ZRSyncActivityDidEnd" (user info "error": the Error, absent on success) and the indicator
// state through `setSyncState`. Main thread only.
//
// One merge runs at a time; a request while one runs is remembered and runs once after it, so
// a save during a merge is not left unsynchronised until the next tick.
class ZRPersistentStoreSyncDelegate final : public SyncRequester {
public:
    struct Services {
        MainLoop& loop;
        const Clock& clock;
        NotificationCenter& notifications;
        UserDefaults& standardDefaults;
        UserDefaults& groupDefaults;
        // The indicator: 0 hidden, 1 spinning (Part of the application delegate's state).
        std::function<void(std::int32_t state, bool animate)> setSyncState;
        // Shown at most once a day when another computer's clock disagrees with ours.
        std::function<void()> showSystemTimesNotSynchronousAlert;
        // Whether the back-end is reached over the network (a cloud service, a folder on a
        // network share). A folder on a local disk is not: its sync tool carries the files when
        // the network is back, so merging goes on while offline.
        bool backendNeedsNetwork = true;
        // Asks the merge-conflict question of a first merge; without it the ordering key
        // decides.
        SyncAlerts* alerts = nullptr;
    };

    ZRPersistentStoreSyncDelegate(Services services, SyncService service,
                                  std::unique_ptr<SECloudFileSystem> cloudFileSystem,
                                  SyncMerger& merger);
    ~ZRPersistentStoreSyncDelegate() override;

    // True when a service is configured, its back-end connected and no merge is running.
    bool readyToSync() const override;
    // Starts a merge (after the running one, when one runs).
    void forceSyncWithMergeOptions(std::int64_t mergeOptions) override;

    SECloudFileSystem* cloudFileSystem() const { return cloudFileSystem_.get(); }
    std::uint64_t activeMergeCount() const { return activeMergeCount_; }
    bool previousMergeEndedWithError() const { return previousMergeEndedWithError_; }

    // The network went away or came back (NetworkManager's state). While it is away a back-end
    // that needs it is not asked for merges and "ZRConnectionState" shows the outage (x04); when
    // it is back the state is idle again and a merge runs at once for what waited.
    void setNetworkReachable(bool reachable);
    bool waitingForNetworkConnection() const { return waitingForNetworkConnection_; }

    // For quit: runs `finished` once no merge is running (at once when none is). The caller
    // shows the finishing-sync window meanwhile.
    void waitForTerminatingMerge(std::function<void()> finished);

    // Compares a time another computer wrote (a file's stamp) with our clock; a difference of
    // more than kClockToleranceSeconds asks for the clock warning (at most once a day).
    void checkRemoteTime(Instant remoteNow);
    static constexpr double kClockToleranceSeconds = 120.0;

    // A merge that failed for another reason than the network (a file the sync tool was still
    // writing, a busy store) is tried again kRetrySeconds later, at most kMaxRetries times in a
    // row; the pane says "trying again in a few seconds". An error of a merge that cannot work
    // at all (kSEErrorUnsupported) is not retried.
    static constexpr double kRetrySeconds = 10.0;
    static constexpr int kMaxRetries = 3;
    int retryCount() const { return retryCount_; }

private:
    void startMerge(std::uint64_t options);
    void mergeEnded(Status status);
    void setConnectionState(std::int64_t value);
    SyncAlerts::ConflictAnswer askMergeConflict(const std::string& message);

    Services services_;
    SyncService service_;
    std::unique_ptr<SECloudFileSystem> cloudFileSystem_;
    SyncMerger& merger_;
    std::uint64_t activeMergeCount_ = 0;
    std::optional<std::uint64_t> pendingOptions_;
    bool previousMergeEndedWithError_ = false;
    bool waitingForNetworkConnection_ = false;
    bool terminating_ = false;
    int retryCount_ = 0;
    // The answer the user gave "for all conflicts" in the running merge.
    std::optional<int> conflictAnswerForAll_;
    MainLoop::TimerId retryTimer_ = 0;
    ClockWarningGate clockWarning_;
    std::vector<std::function<void()>> waitingForIdle_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace ravelong
