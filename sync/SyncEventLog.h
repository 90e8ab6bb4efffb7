#pragma once

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
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
    // A baseline: every record of one computer's replica, which replaces the event files that
    // every computer has applied. "<lamport, 20 digits>-<device id>.baseline".
    static constexpr const char* kBaselinesDirectory = "baselines";
    static constexpr const char* kBaselineExtension = ".baseline";
    // "<device id>.ack": the event files present that the device has applied.
    static constexpr const char* kDevicesDirectory = "devices";
    static constexpr const char* kAcknowledgementExtension = ".ack";
    static constexpr std::size_t kDefaultCompactionThreshold = 500;

    struct PullReport {
        std::set<SyncReplica::RecordId> touched;  // records changed by newly applied events
        std::size_t applied = 0;
        std::vector<Error> skipped;  // one per unusable file, with its name in the description
        // For each file that appeared since a listing made at most kFreshListingSeconds before
        // this one, by how much its publication stamp lies outside the time it can have been
        // published in by our clock (between the two listings): positive when ahead of our
        // clock, negative when behind (a sync tool may also just have carried it late), zero
        // when the clocks can agree.
        std::vector<double> clockSkews;
        // With collectCloudValues(): for each property the pulled events set, the value of the
        // latest of them (deletions aside), whatever this computer's own events hold.
        std::map<SyncReplica::RecordId, std::map<std::string, nlohmann::json>> cloudValues;
    };
    static constexpr double kFreshListingSeconds = 300.0;

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
    // Once this many event files are applied by every computer that wrote one, a pull writes a
    // baseline in their place.
    void setCompactionThreshold(std::size_t files) {
        compactionThreshold_ = std::max<std::size_t>(files, 1);
    }
    // Whether pulls report the values the events set (costly: for a first merge only).
    void collectCloudValues(bool collect) { collectCloudValues_ = collect; }

    std::size_t pendingUploads() const { return unsent_.size(); }

private:
    struct Fetched {
        std::string name;
        Status status;
        std::optional<std::string> bytes;  // the file as it landed
    };
    struct Downloads {
        std::filesystem::path folder;
        std::vector<std::string> paths;
        std::vector<std::filesystem::path> locals;
        std::vector<Fetched> fetched;
        std::function<void(std::vector<Fetched>)> done;
    };
    void fetchFiles(const std::string& directory, std::vector<std::string> names,
                    std::function<void(std::vector<Fetched>)> done);
    void downloadNext(std::shared_ptr<Downloads> batch, std::size_t i);
    void pullEvents(std::function<void(PullReport, Status)> completion);
    void applyEvents(std::vector<Fetched> fetched,
                     std::optional<std::pair<double, double>> appearedBetween,
                     std::function<void(PullReport, Status)> completion);
    void readBaselines(std::function<void(PullReport)> next);
    void takeInBaseline(const std::string& name, const std::string& bytes, PullReport& report);
    // The keys of the listed event files this computer has applied.
    std::set<SyncOrderingKey> appliedOfListed() const;
    void acknowledge(std::function<void()> next);
    void compact(std::function<void()> next);
    void writeBaseline(std::set<SyncOrderingKey> covered, std::function<void()> next);

    SECloudFileSystem& cloud_;
    SyncReplica& replica_;
    std::filesystem::path scratch_;
    std::vector<SyncEvent> unsent_;
    std::set<std::string> seenNames_;
    std::optional<double> lastListingAt_;                      // our clock, this run only
    std::vector<std::string> listedEvents_, listedBaselines_;  // by the last pull
    std::optional<std::set<SyncOrderingKey>> lastAcknowledged_;
    std::size_t compactionThreshold_ = kDefaultCompactionThreshold;
    bool collectCloudValues_ = false;
};

}  // namespace ravelong
