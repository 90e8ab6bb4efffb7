#include "sync/ZRPersistentStoreSyncDelegate.h"

#include <cmath>

#include "sync/SyncTexts.h"

namespace ravelong {

namespace t = sync_texts;

namespace {

// Statuses of "ZRConnectionState" below the service's hundreds.
constexpr int kStatusIdle = 0;
constexpr int kStatusConnecting = 2;
constexpr int kStatusNetworkUnavailable = 4;

bool isNetworkError(const Error& error) {
    auto display = displayForActivityEnd(error);
    return display.label == std::string(t::kNetworkUnavailable);
}

}  // namespace

ZRPersistentStoreSyncDelegate::ZRPersistentStoreSyncDelegate(
    Services services, SyncService service, std::unique_ptr<SECloudFileSystem> cloudFileSystem,
    SyncMerger& merger)
    : services_(std::move(services)),
      service_(service),
      cloudFileSystem_(std::move(cloudFileSystem)),
      merger_(merger) {
    setConnectionState(ConnectionState::of(service_, kStatusIdle).value);
    // The merger may outlive this driver (its owner frees it first or last): the hooks check.
    merger_.setRemoteTimeObserver([this, alive = alive_](Instant remoteNow) {
        if (*alive)
            checkRemoteTime(remoteNow);
    });
    if (services_.alerts) {
        merger_.setConflictQuestion([this, alive = alive_](const std::string& message) {
            return *alive ? askMergeConflict(message) : SyncAlerts::ConflictAnswer{};
        });
    }
}

SyncAlerts::ConflictAnswer ZRPersistentStoreSyncDelegate::askMergeConflict(
    const std::string& message) {
    if (conflictAnswerForAll_)
        return {*conflictAnswerForAll_, true};
    SyncAlerts::ConflictAnswer answer = services_.alerts->askMergeConflict(message);
    if (answer.applyToAll)
        conflictAnswerForAll_ = answer.code;
    return answer;
}

ZRPersistentStoreSyncDelegate::~ZRPersistentStoreSyncDelegate() {
    *alive_ = false;
    if (retryTimer_ != 0)
        services_.loop.cancel(retryTimer_);
}

bool ZRPersistentStoreSyncDelegate::readyToSync() const {
    return service_ != SyncService::none && cloudFileSystem_ && !waitingForNetworkConnection_ &&
           cloudFileSystem_->isConnected() && activeMergeCount_ == 0;
}

void ZRPersistentStoreSyncDelegate::forceSyncWithMergeOptions(std::int64_t mergeOptions) {
    if (service_ == SyncService::none || !cloudFileSystem_)
        return;
    auto options = static_cast<std::uint64_t>(mergeOptions);
    if (activeMergeCount_ > 0) {
        pendingOptions_ = options;
        return;
    }
    startMerge(options);
}

void ZRPersistentStoreSyncDelegate::startMerge(std::uint64_t options) {
    ++activeMergeCount_;
    conflictAnswerForAll_.reset();
    setConnectionState(ConnectionState::of(service_, kStatusConnecting).value);
    if (services_.setSyncState)
        services_.setSyncState(1, true);
    services_.notifications.post(std::string(t::kZRSyncActivityDidBegin));
    merger_.mergeWithOptions(options, [this, alive = alive_](Status status) {
        if (*alive)
            mergeEnded(std::move(status));
    });
}

void ZRPersistentStoreSyncDelegate::mergeEnded(Status status) {
    --activeMergeCount_;
    previousMergeEndedWithError_ = !status.ok();
    UserInfo info;
    bool retry = false;
    if (status.ok()) {
        retryCount_ = 0;
        services_.groupDefaults.setDate(t::kZRLastSync, services_.clock.now());
        setConnectionState(ConnectionState::of(service_, kStatusIdle).value);
    } else if (waitingForNetworkConnection_) {
        info[std::string(t::kErrorKey)] = status.error();
        setConnectionState(ConnectionState::of(service_, kStatusNetworkUnavailable).value);
    } else {
        info[std::string(t::kErrorKey)] = status.error();
        const bool network = isNetworkError(status.error());
        retry = !network && !(status.error().domain == kSEErrorDomain &&
                              status.error().code == kSEErrorUnsupported);
        setConnectionState(
            ConnectionState::of(service_, network ? kStatusNetworkUnavailable : kStatusIdle).value);
    }
    if (services_.setSyncState)
        services_.setSyncState(0, true);
    services_.notifications.post(std::string(t::kZRSyncActivityDidEnd), nullptr, std::move(info));

    if (pendingOptions_) {
        auto options = *pendingOptions_;
        pendingOptions_.reset();
        startMerge(options);
        return;
    }
    if (retry && !terminating_ && retryCount_ < kMaxRetries && retryTimer_ == 0) {
        ++retryCount_;
        retryTimer_ = services_.loop.runAfter(kRetrySeconds, [this, alive = alive_] {
            if (!*alive)
                return;
            retryTimer_ = 0;
            if (!terminating_ && readyToSync())
                forceSyncWithMergeOptions(kSyncMergeOptions);
        });
    }
    auto waiting = std::move(waitingForIdle_);
    waitingForIdle_.clear();
    for (auto& finished : waiting)
        finished();
}

void ZRPersistentStoreSyncDelegate::setNetworkReachable(bool reachable) {
    if (service_ == SyncService::none || !services_.backendNeedsNetwork)
        return;
    if (!reachable) {
        if (waitingForNetworkConnection_)
            return;
        waitingForNetworkConnection_ = true;
        // A running merge ends by itself (with a network error, as a rule) and leaves the state
        // to mergeEnded.
        if (activeMergeCount_ == 0)
            setConnectionState(ConnectionState::of(service_, kStatusNetworkUnavailable).value);
        return;
    }
    if (!waitingForNetworkConnection_)
        return;
    waitingForNetworkConnection_ = false;
    if (activeMergeCount_ > 0)
        return;
    setConnectionState(ConnectionState::of(service_, kStatusIdle).value);
    if (readyToSync())
        forceSyncWithMergeOptions(kSyncMergeOptions);
}

void ZRPersistentStoreSyncDelegate::waitForTerminatingMerge(std::function<void()> finished) {
    // At quit only the running merge is waited for; a queued one would start work we then drop.
    terminating_ = true;
    pendingOptions_.reset();
    if (retryTimer_ != 0) {
        services_.loop.cancel(retryTimer_);
        retryTimer_ = 0;
    }
    if (activeMergeCount_ == 0) {
        finished();
        return;
    }
    waitingForIdle_.push_back(std::move(finished));
}

void ZRPersistentStoreSyncDelegate::checkRemoteTime(Instant remoteNow) {
    if (std::fabs(remoteNow - services_.clock.now()) <= kClockToleranceSeconds)
        return;
    if (clockWarning_.shouldShow(services_.clock.now()) &&
        services_.showSystemTimesNotSynchronousAlert)
        services_.showSystemTimesNotSynchronousAlert();
}

void ZRPersistentStoreSyncDelegate::setConnectionState(std::int64_t value) {
    if (services_.standardDefaults.integerForKey(t::kZRConnectionState) != value)
        services_.standardDefaults.setInteger(t::kZRConnectionState, value);
}

}  // namespace ravelong
