#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "foundation/Clock.h"
#include "foundation/MainLoop.h"
#include "sync/SECloudFileSystem.h"
#include "sync/SyncEventLog.h"
#include "sync/SyncMerger.h"
#include "sync/SyncReplica.h"
#include "sync/engine/ChangeCapture.h"
#include "sync/engine/SyncEngineState.h"

namespace ravelong {

class ManagedObjectContext;

// The synchronisation engine of one computer, connected to its store.
//
// Every save of the main context becomes an event of this computer (ChangeCapture), applied to
// the replica and kept in the outbox of the private state folder before anything is uploaded,
// so a crash after the save loses nothing. A merge uploads the outbox, pulls the other
// computers' events in the global order (SyncEventLog), writes the records they touched into
// the store on a child context pushed into the main context (ReplicaToStore), runs the repairs
// of duplicates and of the chain, and saves through the save path. What is pulled is recorded
// as pending before the store is written, so a crash part-way is finished by the next merge;
// a failed save leaves the store file as it was.
//
// The first merge after the engine starts also compares the whole store with the replica and
// sends what differs: for a computer that never synchronised, that is its whole store (after
// taking in what the others had, so a new computer's defaults do not override them); later, it
// catches a change whose save went through just before a crash.
//
// Why the context's change sets and not SQLite's session extension: a session records rows of
// the store file by primary key, which differs on every computer, and records relationships as
// those keys; every change would need translating to uuids anyway, and the session cannot tell
// what the engine itself wrote from what the user changed. The change sets name records, know
// their relationships as records, and come with each save of the one context that writes.
//
// Main thread only; one merge at a time (the sync delegate sees to that).
class StoreSyncEngine final : public SyncMerger {
public:
    struct Services {
        MainLoop& loop;
        const Clock& clock;
        ManagedObjectContext& context;  // the main context
        std::function<Status()> save;   // the program's save path for that context
        SECloudFileSystem& cloud;
        std::filesystem::path stateFolder;  // private to this computer
        std::string deviceId;
    };

    explicit StoreSyncEngine(Services services);
    ~StoreSyncEngine() override;
    StoreSyncEngine(const StoreSyncEngine&) = delete;
    StoreSyncEngine& operator=(const StoreSyncEngine&) = delete;

    void mergeWithOptions(std::uint64_t mergeOptions, std::function<void(Status)> done) override;
    void setConflictQuestion(ConflictQuestion question) override {
        conflictQuestion_ = std::move(question);
    }
    void setRemoteTimeObserver(std::function<void(Instant)> observer) override {
        remoteTimeObserver_ = std::move(observer);
    }

    // See SyncEventLog::setCompactionThreshold.
    void setCompactionThreshold(std::size_t files) { log_.setCompactionThreshold(files); }

    // Why the engine cannot work (its state folder could not be opened or read); ok otherwise.
    const Status& stateStatus() const { return stateStatus_; }
    // The cloud files the last merge skipped, one error each.
    const std::vector<Error>& lastSkipped() const { return lastSkipped_; }
    std::size_t pendingUploads() const { return log_.pendingUploads(); }
    const SyncReplica& replica() const { return replica_; }
    Instant lastMergeEnded() const { return lastMergeEnded_; }

private:
    struct Merge;
    void saved(const ChangeSet& changes);
    void publishLocal(nlohmann::json changes);
    void upload(std::shared_ptr<Merge> merge, std::function<void(std::shared_ptr<Merge>)> next);
    void pulled(std::shared_ptr<Merge> merge, SyncEventLog::PullReport report, Status status);
    Status writePending();
    // In a first merge: asks about each property this computer and the cloud hold differently
    // and sends this computer's value where the answer keeps it.
    void askAboutConflicts(const SyncEventLog::PullReport& report);
    void finish(std::shared_ptr<Merge> merge, Status status);
    // Writes to the state folder; a failure is logged (the next start compares store and
    // replica again).
    void persist(const SyncEngineState::Commit& commit);

    Services services_;
    SyncReplica replica_;
    SyncEventLog log_;
    ChangeCapture capture_;
    std::unique_ptr<SyncEngineState> state_;
    Status stateStatus_;
    std::set<SyncReplica::RecordId> pending_;
    std::set<SyncReplica::RecordId> heldBack_;
    bool reconciledThisRun_ = false;
    ConflictQuestion conflictQuestion_;
    std::function<void(Instant)> remoteTimeObserver_;
    std::vector<Error> lastSkipped_;
    Instant lastMergeEnded_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace ravelong
