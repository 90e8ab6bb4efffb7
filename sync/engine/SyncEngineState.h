#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "foundation/Error.h"
#include "sync/SyncReplica.h"

namespace ravelong {

class SqliteDatabase;

// What the engine keeps between runs, in one SQLite file of its private folder: the replica
// (every record with its values and ordering keys, and the keys of the events applied), the
// outbox (this computer's events not yet uploaded), the names of the cloud files already read,
// the records pulled but not yet written into the store, and those held back for a missing
// parent. Each commit is one transaction, so a crash leaves the state of the commit before or
// after, never a mixture.
class SyncEngineState {
public:
    struct Loaded {
        std::vector<SyncEvent> outbox;
        std::set<std::string> seenNames;
        std::set<SyncReplica::RecordId> pending;
        std::set<SyncReplica::RecordId> heldBack;
    };

    // What one commit writes. The replica's applied keys and the seen names are written where
    // they are new.
    struct Commit {
        std::set<SyncReplica::RecordId> records;
        std::vector<SyncEvent> outboxAdded;
        std::vector<SyncOrderingKey> outboxRemoved;
        const std::set<std::string>* seenNames = nullptr;
        std::optional<std::set<SyncReplica::RecordId>> pending;
        std::optional<std::set<SyncReplica::RecordId>> heldBack;
    };

    static constexpr const char* kFileName = "sync-state.sqlite";

    // Opens (or makes) the state in `folder`; a file that is not a state of this program, or of a
    // newer one, is refused.
    static Result<std::unique_ptr<SyncEngineState>> open(const std::filesystem::path& folder);
    ~SyncEngineState();

    // Reads the state into `replica` (which must be empty).
    Result<Loaded> load(SyncReplica& replica);
    Status commit(const SyncReplica& replica, const Commit& commit);

private:
    explicit SyncEngineState(std::unique_ptr<SqliteDatabase> db);

    std::unique_ptr<SqliteDatabase> db_;
    std::set<SyncOrderingKey> savedApplied_;
    std::set<std::string> savedSeen_;
};

}  // namespace ravelong
