#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "sync/SECloudFileSystem.h"
#include "sync/SyncReplica.h"

namespace ravelong {

// This computer's side of the shared event log in a cloud folder: it publishes the events of
// this computer as immutable files under "events/" and pulls the files of the others, applying
// them to the replica in the global order. Files that cannot be used (damaged, truncated,
// foreign, of a newer version, malformed) are skipped and reported once each; the event log goes
// on with the rest. Copies a sync tool made of an event file are read like the file itself:
// the event inside carries its own key, so a copy of an event already applied changes nothing.
//
// `scratch` is a private local folder for transfers. Main thread only; one operation at a time.
class SyncEventLog {
public:
    static constexpr const char* kEventsDirectory = "events";

    struct PullReport {
        std::set<SyncReplica::RecordId> touched;  // records changed by newly applied events
        std::size_t applied = 0;
        std::vector<Error> skipped;  // one per unusable file, with its name in the description
    };

    SyncEventLog(SECloudFileSystem& cloud, SyncReplica& replica, std::filesystem::path scratch);

    // Makes an event of `changes` with this computer's next key, applies it here and uploads it.
    // On failure the event stays applied here and is uploaded again by the next publish or
    // retryUploads().
    void publish(nlohmann::json changes, std::function<void(Status)> completion);
    void retryUploads(std::function<void(Status)> completion);
    // Queues an event already applied to the replica (kept by the caller across restarts) for
    // the next upload.
    void enqueue(SyncEvent event) { unsent_.push_back(std::move(event)); }
    const std::vector<SyncEvent>& unsent() const { return unsent_; }

    // The names of the files already read or written (so that a restart does not read them
    // again); the caller keeps them across restarts.
    const std::set<std::string>& seenNames() const { return seenNames_; }
    void restoreSeenNames(std::set<std::string> names) { seenNames_ = std::move(names); }

    void pull(std::function<void(PullReport, Status)> completion);

    std::size_t pendingUploads() const { return unsent_.size(); }

private:
    struct Downloads {
        std::filesystem::path folder;
        std::vector<std::string> names, paths;
        std::vector<std::filesystem::path> locals;
        std::vector<Status> statuses;
        std::function<void(PullReport, Status)> completion;
    };
    void downloadNext(std::shared_ptr<Downloads> batch);

    SECloudFileSystem& cloud_;
    SyncReplica& replica_;
    std::filesystem::path scratch_;
    std::vector<SyncEvent> unsent_;
    std::set<std::string> seenNames_;
};

}  // namespace ravelong
