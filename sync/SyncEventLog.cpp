#include "sync/SyncEventLog.h"

#include <algorithm>
#include <fstream>
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
            fs::path folder = scratch_ / ("down-" + makeUuid());
            std::vector<std::string> paths;
            std::vector<fs::path> locals;
            std::vector<std::string> names;
            for (const auto& item : *items) {
                if (item.isDirectory || seenNames_.contains(item.name))
                    continue;
                names.push_back(item.name);
                paths.push_back(std::string(kEventsDirectory) + "/" + item.name);
                // Each file gets a folder of its own: an unwrapped archive lands under the name it
                // was uploaded with, which for a sync tool's conflict copy is the original's name.
                locals.push_back(folder / std::to_string(locals.size()) / item.name);
                std::error_code ec;
                fs::create_directories(locals.back().parent_path(), ec);
            }
            std::error_code ec;
            fs::create_directories(folder, ec);
            cloud_.downloadFromPaths(
                paths, locals,
                [this, folder, names, locals,
                 completion = std::move(completion)](Status downloaded) mutable {
                    PullReport report;
                    std::vector<std::pair<SyncEvent, std::string>> events;
                    for (std::size_t i = 0; i < locals.size(); ++i) {
                        std::optional<fs::path> landed;
                        std::error_code listError;
                        for (fs::directory_iterator it(locals[i].parent_path(), listError), end;
                             !listError && it != end; it.increment(listError))
                            landed = it->path();
                        if (!landed)
                            continue;  // not downloaded: tried again on the next pull
                        seenNames_.insert(names[i]);
                        auto decoded = sync_event_file::decode(readAll(*landed), names[i]);
                        if (!decoded.ok()) {
                            report.skipped.push_back(decoded.error());
                            continue;
                        }
                        events.emplace_back(std::move(decoded.value()), names[i]);
                    }
                    std::error_code ec;
                    fs::remove_all(folder, ec);
                    std::sort(events.begin(), events.end(), [](const auto& a, const auto& b) {
                        return a.first.key < b.first.key;
                    });
                    for (const auto& [event, name] : events) {
                        if (replica_.hasApplied(event.key))
                            continue;
                        auto touched = replica_.apply(event);
                        if (!touched.ok()) {
                            Error error = touched.error();
                            error.description =
                                "The event file " + name + " was skipped: " + error.description;
                            report.skipped.push_back(error);
                            continue;
                        }
                        ++report.applied;
                        report.touched.insert(touched->begin(), touched->end());
                    }
                    completion(std::move(report), downloaded);
                });
        });
}

}  // namespace ravelong
