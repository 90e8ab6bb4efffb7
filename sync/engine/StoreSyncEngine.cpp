#include "sync/engine/StoreSyncEngine.h"

#include "core/model/UndoSuppression.h"
#include "core/repairs/DuplicateTaskRepairs.h"
#include "core/repairs/OriginRepairs.h"
#include "foundation/Log.h"
#include "store/ManagedObjectContext.h"
#include "sync/engine/ChainMending.h"
#include "sync/engine/ReplicaToStore.h"

namespace ravelong {

namespace {

constexpr const char* kLogOperation = "Synchronisation";

}  // namespace

struct StoreSyncEngine::Merge {
    std::function<void(Status)> done;
    Status firstFailure;
};

StoreSyncEngine::StoreSyncEngine(Services services)
    : services_(std::move(services)),
      replica_(services_.deviceId),
      log_(services_.cloud, replica_, services_.stateFolder / "transfers"),
      capture_(replica_) {
    auto opened = SyncEngineState::open(services_.stateFolder);
    if (!opened.ok()) {
        stateStatus_ = opened.error();
        logError(kLogOperation, stateStatus_.error().description);
        return;
    }
    auto loaded = opened.value()->load(replica_);
    if (!loaded.ok()) {
        stateStatus_ = loaded.error();
        logError(kLogOperation, stateStatus_.error().description);
        return;
    }
    state_ = std::move(opened.value());
    for (SyncEvent& event : loaded->outbox)
        log_.enqueue(std::move(event));
    log_.restoreSeenNames(std::move(loaded->seenNames));
    pending_ = std::move(loaded->pending);
    heldBack_ = std::move(loaded->heldBack);
    capture_.learn(services_.context);
    services_.context.setDidSaveHandler([this](const ChangeSet& changes) { saved(changes); });
}

StoreSyncEngine::~StoreSyncEngine() {
    *alive_ = false;
    if (state_)
        services_.context.setDidSaveHandler({});
}

void StoreSyncEngine::persist(const SyncEngineState::Commit& commit) {
    if (Status written = state_->commit(replica_, commit); !written.ok())
        logError(kLogOperation,
                 "The synchronisation state could not be saved: " + written.error().description);
}

void StoreSyncEngine::saved(const ChangeSet& changes) {
    nlohmann::json captured = capture_.changesOf(changes, services_.context);
    if (!captured.empty())
        publishLocal(std::move(captured));
}

void StoreSyncEngine::publishLocal(nlohmann::json changes) {
    SyncEvent event{replica_.nextKey(), std::move(changes)};
    auto touched = replica_.apply(event);
    if (!touched.ok()) {
        logError(kLogOperation, touched.error().description);
        return;
    }
    SyncEngineState::Commit commit;
    commit.records = std::move(touched.value());
    commit.outboxAdded.push_back(event);
    log_.enqueue(std::move(event));
    persist(commit);
}

void StoreSyncEngine::mergeWithOptions(std::uint64_t, std::function<void(Status)> done) {
    auto merge = std::make_shared<Merge>();
    merge->done = std::move(done);
    if (!state_) {
        services_.loop.runOnMainThread([merge, status = stateStatus_] { merge->done(status); });
        return;
    }
    upload(merge, [this, alive = alive_](std::shared_ptr<Merge> merge) {
        if (!merge->firstFailure.ok())
            return finish(merge, Status());
        log_.pull([this, alive, merge](SyncEventLog::PullReport report, Status status) {
            if (*alive)
                pulled(merge, std::move(report), status);
        });
    });
}

void StoreSyncEngine::upload(std::shared_ptr<Merge> merge,
                             std::function<void(std::shared_ptr<Merge>)> next) {
    std::vector<SyncOrderingKey> sending;
    for (const SyncEvent& event : log_.unsent())
        sending.push_back(event.key);
    log_.retryUploads([this, alive = alive_, merge, sending = std::move(sending),
                       next = std::move(next)](Status status) {
        if (!*alive)
            return;
        if (!status.ok()) {
            if (merge->firstFailure.ok())
                merge->firstFailure = status;
            return next(merge);
        }
        SyncEngineState::Commit commit;
        commit.outboxRemoved = sending;
        commit.seenNames = &log_.seenNames();
        persist(commit);
        next(merge);
    });
}

void StoreSyncEngine::pulled(std::shared_ptr<Merge> merge, SyncEventLog::PullReport report,
                             Status status) {
    lastSkipped_ = std::move(report.skipped);
    for (const Error& skipped : lastSkipped_)
        logWarning(kLogOperation, skipped.description);
    if (!status.ok())
        merge->firstFailure = status;
    // Recorded as pending before the store is touched: a crash from here on is finished by the
    // next merge, which writes the same records again.
    pending_.insert(report.touched.begin(), report.touched.end());
    SyncEngineState::Commit commit;
    commit.records = report.touched;
    commit.seenNames = &log_.seenNames();
    commit.pending = pending_;
    persist(commit);

    if (Status written = writePending(); !written.ok() && merge->firstFailure.ok())
        merge->firstFailure = written;
    if (!reconciledThisRun_ && merge->firstFailure.ok()) {
        reconciledThisRun_ = true;
        std::set<SyncReplica::RecordId> awaited = pending_;
        awaited.insert(heldBack_.begin(), heldBack_.end());
        nlohmann::json differences = capture_.differences(services_.context, awaited);
        if (!differences.empty())
            publishLocal(std::move(differences));
    }
    // What the repairs and the first comparison produced goes out with this merge.
    if (log_.pendingUploads() == 0 || !merge->firstFailure.ok())
        return finish(merge, Status());
    upload(merge, [this](std::shared_ptr<Merge> merge) { finish(merge, Status()); });
}

Status StoreSyncEngine::writePending() {
    std::set<SyncReplica::RecordId> ids = pending_;
    ids.insert(heldBack_.begin(), heldBack_.end());
    if (ids.empty())
        return Status();
    ManagedObjectContext& context = services_.context;
    const bool hadChanges = context.hasChanges();
    auto child = context.newChildContext();
    replica_to_store::Outcome outcome = replica_to_store::write(replica_, ids, *child);
    if (outcome.written > 0) {
        // Records sound one by one can still make duplicates or a chain that needs mending.
        store_repairs::consolidateOrigins_inContext(*child);
        store_repairs::fixDuplicateTaskIDs_inContext(*child);
        mendChainAfterMerge(replica_, *child);
    }
    {
        ScopedUndoRegistrationOff undoOff(context);
        if (Status pushed = child->save(); !pushed.ok())
            return pushed;
    }
    child.reset();
    if (Status written = services_.save(); !written.ok()) {
        // The store file is as it was; the records stay pending for the next merge.
        if (!hadChanges)
            context.rollback();
        return written;
    }
    pending_.clear();
    heldBack_ = std::move(outcome.heldBack);
    SyncEngineState::Commit commit;
    commit.pending = pending_;
    commit.heldBack = heldBack_;
    persist(commit);
    return Status();
}

void StoreSyncEngine::finish(std::shared_ptr<Merge> merge, Status) {
    lastMergeEnded_ = services_.clock.now();
    Status status = merge->firstFailure;
    services_.loop.runOnMainThread([merge, status] { merge->done(status); });
}

}  // namespace ravelong
