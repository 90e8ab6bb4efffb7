#include "sync/engine/StoreSyncEngine.h"

#include <algorithm>

#include "core/model/UndoSuppression.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/repairs/DuplicateTaskRepairs.h"
#include "core/repairs/OriginRepairs.h"
#include "foundation/Log.h"
#include "store/ManagedObjectContext.h"
#include "sync/engine/ChainMending.h"
#include "sync/engine/InitialMergeConflicts.h"
#include "sync/engine/ReplicaToStore.h"
#include "sync/engine/SyncedRecords.h"

namespace ravelong {

namespace {

constexpr const char* kLogOperation = "Synchronisation";

// The merge wrote the replica's values into `child`, a copy of `main` made with the user's
// unsaved edits: those edits are put back, so that pushing the child does not undo them (they
// are later than anything the replica holds and go out with their save).
void keepUnsavedEdits(const ManagedObjectContext& main, ManagedObjectContext& child) {
    for (ManagedObject* edited : main.updatedObjects()) {
        if (!synced_records::isSynced(edited->entity()))
            continue;
        auto id = synced_records::recordIdOf(*edited);
        ManagedObject* copy =
            id ? synced_records::findRecord(child, edited->entity(), id->second) : nullptr;
        if (!copy)
            continue;
        for (const std::string& key : edited->changedKeys()) {
            const PropertyDescription* property = edited->entity().property(key);
            if (!property || property->kind == PropertyKind::ToMany)
                continue;
            Value value = edited->valueForKey(key);
            if (property->kind == PropertyKind::ToOne) {
                // The same record, as the child holds it.
                auto* target = std::get_if<ManagedObject*>(&value);
                if (target && *target) {
                    auto targetId = synced_records::recordIdOf(**target);
                    ManagedObject* mapped = targetId
                                                ? synced_records::findRecord(
                                                      child, (*target)->entity(), targetId->second)
                                                : nullptr;
                    if (!mapped)
                        continue;  // not in the child: the merge's value stays
                    value = Value(mapped);
                }
            }
            if (copy->valueForKey(key) != value)
                copy->setValueForKey(key, value);
        }
    }
}

}  // namespace

struct StoreSyncEngine::Merge {
    std::function<void(Status)> done;
    Status firstFailure;
    // Nothing of another computer had been taken in before this merge.
    bool initial = false;
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
    // The look-ups by name that merges make: the context builds its index of each entity's
    // names on the first one and keeps it up to date from then on, so the work is done once
    // here rather than in the first merge, whose cost should follow its events.
    for (const EntityDescription* entity : synced_records::syncedEntities())
        (void)synced_records::findRecord(services_.context, *entity, std::string());
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
    const auto& applied = replica_.appliedKeys();
    merge->initial = std::none_of(applied.begin(), applied.end(), [this](const auto& key) {
        return key.deviceId != services_.deviceId;
    });
    // A first merge of a computer holding tasks or timings may meet conflicts to ask about.
    log_.collectCloudValues(
        merge->initial && conflictQuestion_ &&
        (services_.context.registeredObjects(ZRCDTask::entityDescription()).size() > 0 ||
         services_.context.registeredObjects(ZRCDTiming::entityDescription()).size() > 0));
    if (!state_) {
        services_.loop.runOnMainThread([merge, status = stateStatus_] { merge->done(status); });
        return;
    }
    auto uploadAndPull = [this, alive = alive_, merge] {
        if (!*alive)
            return;
        upload(merge, [this, alive](std::shared_ptr<Merge> merge) {
            if (!merge->firstFailure.ok())
                return finish(merge, Status());
            log_.pull([this, alive, merge](SyncEventLog::PullReport report, Status status) {
                if (*alive)
                    pulled(merge, std::move(report), status);
            });
        });
    };
    // A back-end that keeps a picture of the cloud (the iCloud back-end's cache of its record
    // zone) brings it up to date first: without it the pull would not see what other
    // computers wrote since.
    SECloudFileSystem& cloud = services_.cloud;
    if (!cloud.respondsTo(SEOptionalOperation::primeForActivity))
        return uploadAndPull();
    cloud.primeForActivityWithCompletion(
        [this, alive = alive_, merge, uploadAndPull](Status primed) {
            if (!*alive)
                return;
            if (!primed.ok()) {
                merge->firstFailure = primed;
                return finish(merge, Status());
            }
            uploadAndPull();
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
    std::shared_ptr<bool> alive = alive_;
    lastSkipped_ = std::move(report.skipped);
    for (const Error& skipped : lastSkipped_)
        logWarning(kLogOperation, skipped.description);
    // Only a stamp ahead of our clock is taken as a disagreement: one behind it may also be a
    // file a sync tool carried late (a computer that worked offline for a while).
    if (!report.clockSkews.empty() && remoteTimeObserver_) {
        const double lead = *std::max_element(report.clockSkews.begin(), report.clockSkews.end());
        if (lead > 0)
            remoteTimeObserver_(services_.clock.now() + lead);
    }
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

    if (merge->initial && merge->firstFailure.ok() && conflictQuestion_ &&
        !report.touched.empty()) {
        askAboutConflicts(report);
        if (!*alive)
            return;
    }
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

void StoreSyncEngine::askAboutConflicts(const SyncEventLog::PullReport& report) {
    namespace conflicts = initial_merge_conflicts;
    ManagedObjectContext& local = services_.context;
    const std::vector<conflicts::Conflict> found =
        conflicts::find(replica_, report.cloudValues, local);
    if (found.empty())
        return;
    // The replica holds the cloud's side of every conflict before asking: then "use cloud"
    // needs nothing more, and the texts can show it.
    if (nlohmann::json changes = conflicts::cloudFirst(found, replica_, report.cloudValues);
        !changes.empty())
        publishLocal(std::move(changes));
    // The texts show the cloud's values on the records: a copy of the store with them written,
    // made once, for the first merge only.
    auto cloud = local.newChildContext();
    (void)replica_to_store::write(replica_, report.touched, *cloud);
    nlohmann::json kept = nlohmann::json::array();
    std::shared_ptr<bool> alive = alive_;
    for (const conflicts::Conflict& conflict : found) {
        SyncAlerts::ConflictAnswer answer =
            conflictQuestion_(conflicts::messageFor(conflict, *cloud, local));
        if (!*alive)
            return;  // the engine went away while the question was open
        if (answer.code == SyncAlerts::kUseLocal)
            kept.push_back(conflicts::keepLocal(conflict, local));
    }
    cloud.reset();
    // A key above every key seen: this computer's values win here and everywhere.
    if (!kept.empty())
        publishLocal(std::move(kept));
}

Status StoreSyncEngine::writePending() {
    std::set<SyncReplica::RecordId> ids = pending_;
    ids.insert(heldBack_.begin(), heldBack_.end());
    if (ids.empty())
        return Status();
    ManagedObjectContext& context = services_.context;
    // Without unsaved changes of its own, the main context is written directly: a failed save
    // is undone by a rollback, which then returns it to exactly the store file's state, and the
    // merge costs what the events touch rather than a copy of the whole store. Unsaved changes
    // (an edit in progress) must survive a failed merge, so then the records go through a
    // child context pushed into the main context.
    const bool hadChanges = context.hasChanges();
    std::unique_ptr<ManagedObjectContext> child;
    if (hadChanges)
        child = context.newChildContext();
    ManagedObjectContext& target = child ? *child : context;
    replica_to_store::Outcome outcome;
    {
        ScopedUndoRegistrationOff undoOff(context);
        outcome = replica_to_store::write(replica_, ids, target);
        if (child)
            keepUnsavedEdits(context, *child);
        if (outcome.written > 0) {
            // Records sound one by one can still make duplicates or a chain that needs mending.
            store_repairs::consolidateOrigins_inContext(target);
            store_repairs::fixDuplicateTaskIDs_inContext(target);
            mendChainAfterMerge(replica_, target);
        }
        if (child) {
            if (Status pushed = child->save(); !pushed.ok())
                return pushed;
        }
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
