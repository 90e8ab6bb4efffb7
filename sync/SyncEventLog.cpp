#include "sync/SyncEventLog.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

#include "foundation/AtomicFile.h"
#include "foundation/Uuid.h"

namespace ravelong {

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace

SyncEventLog::SyncEventLog(SECloudFileSystem& cloud, SyncReplica& replica, fs::path scratch)
    : cloud_(cloud), replica_(replica), scratch_(std::move(scratch)) {}

void SyncEventLog::publish(nlohmann::json changes, std::function<void(Status)> completion) {
    SyncEvent event{replica_.nextKey(), std::move(changes)};
    auto applied = replica_.apply(event);
    if (!applied.ok()) {
        cloud_.mainLoop().runOnMainThread(
            [completion = std::move(completion), error = applied.error()] { completion(error); });
        return;
    }
    unsent_.push_back(std::move(event));
    retryUploads(std::move(completion));
}

void SyncEventLog::retryUploads(std::function<void(Status)> completion) {
    fs::path folder = scratch_ / ("up-" + makeUuid());
    std::vector<fs::path> locals;
    std::vector<std::string> paths;
    for (const auto& event : unsent_) {
        std::string name = sync_event_file::fileNameFor(event.key);
        locals.push_back(folder / name);
        paths.push_back(std::string(kEventsDirectory) + "/" + name);
        if (auto written = writeFileAtomically(locals.back(), sync_event_file::encode(event));
            !written.ok()) {
            cloud_.mainLoop().runOnMainThread(
                [completion = std::move(completion), written] { completion(written); });
            return;
        }
    }
    std::size_t count = unsent_.size();
    cloud_.createDirectoryAtPath(
        kEventsDirectory, [this, folder, locals, paths, count,
                           completion = std::move(completion)](Status created) mutable {
            if (!created.ok()) {
                std::error_code ec;
                fs::remove_all(folder, ec);
                return completion(created);
            }
            cloud_.uploadLocalFiles(
                locals, paths,
                [this, folder, count, paths, completion = std::move(completion)](Status status) {
                    std::error_code ec;
                    fs::remove_all(folder, ec);
                    if (status.ok()) {
                        unsent_.erase(unsent_.begin(), unsent_.begin() + static_cast<long>(count));
                        for (const auto& path : paths)
                            seenNames_.insert(path.substr(path.rfind('/') + 1));
                    }
                    completion(status);
                });
        });
}

void SyncEventLog::pull(std::function<void(PullReport, Status)> completion) {
    cloud_.contentsOfDirectoryAtPath(
        kEventsDirectory,
        [this, completion = std::move(completion)](std::optional<std::vector<SECloudItem>> items,
                                                   Status listed) mutable {
            if (!listed.ok()) {
                // No events folder yet: nobody has published anything.
                if (listed.error().code == kSEErrorNoDirectory)
                    return completion(PullReport{}, Status());
                return completion(PullReport{}, listed);
            }
            auto batch = std::make_shared<Downloads>();
            batch->folder = scratch_ / ("down-" + makeUuid());
            for (const auto& item : *items) {
                if (item.isDirectory || seenNames_.contains(item.name))
                    continue;
                batch->names.push_back(item.name);
                batch->paths.push_back(std::string(kEventsDirectory) + "/" + item.name);
                // Each file gets a folder of its own: an unwrapped archive lands under the name it
                // was uploaded with, which for a sync tool's conflict copy is the original's name.
                batch->locals.push_back(batch->folder / std::to_string(batch->locals.size()) /
                                        item.name);
                std::error_code ec;
                fs::create_directories(batch->locals.back().parent_path(), ec);
            }
            batch->completion = std::move(completion);
            downloadNext(batch);
        });
}

// One file at a time, so that a damaged archive costs only itself: a batch stops at its first
// failure and would hold back every file after it on every pull.
void SyncEventLog::downloadNext(std::shared_ptr<Downloads> batch) {
    std::size_t i = batch->statuses.size();
    if (i < batch->paths.size()) {
        cloud_.downloadFromPath(batch->paths[i], batch->locals[i], [this, batch](Status status) {
            batch->statuses.push_back(status);
            downloadNext(batch);
        });
        return;
    }
    PullReport report;
    Status downloaded;
    std::vector<std::pair<SyncEvent, std::string>> events;
    for (i = 0; i < batch->locals.size(); ++i) {
        const std::string& name = batch->names[i];
        if (!batch->statuses[i].ok()) {
            // A hostile or damaged archive stays so: report it once. Anything else (a file
            // still arriving, a dropped mount) is tried again on the next pull.
            if (batch->statuses[i].error().code == kSEErrorDamagedFile) {
                seenNames_.insert(name);
                report.skipped.push_back(batch->statuses[i].error());
            } else {
                downloaded = batch->statuses[i];
            }
            continue;
        }
        std::optional<fs::path> landed;
        std::error_code listError;
        for (fs::directory_iterator it(batch->locals[i].parent_path(), listError), end;
             !listError && it != end; it.increment(listError))
            landed = it->path();
        if (!landed)
            continue;
        seenNames_.insert(name);
        auto decoded = sync_event_file::decode(readAll(*landed), name);
        if (!decoded.ok()) {
            report.skipped.push_back(decoded.error());
            continue;
        }
        events.emplace_back(std::move(decoded.value()), name);
    }
    std::error_code ec;
    fs::remove_all(batch->folder, ec);
    std::sort(events.begin(), events.end(),
              [](const auto& a, const auto& b) { return a.first.key < b.first.key; });
    for (const auto& [event, name] : events) {
        if (replica_.hasApplied(event.key))
            continue;
        auto touched = replica_.apply(event);
        if (!touched.ok()) {
            Error error = touched.error();
            error.description = "The event file " + name + " was skipped: " + error.description;
            report.skipped.push_back(error);
            continue;
        }
        ++report.applied;
        report.touched.insert(touched->begin(), touched->end());
    }
    auto completion = std::move(batch->completion);
    completion(std::move(report), downloaded);
}

}  // namespace ravelong
