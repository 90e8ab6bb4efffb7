#include "sync/SyncEventLog.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

#include "foundation/Clock.h"
#include "foundation/Uuid.h"

namespace ravelong {

namespace fs = std::filesystem;

namespace {

// Files staged for upload live in the private scratch folder only until the upload copies them:
// the outbox in the engine's state is what survives a crash, so they need no flushing to disk.
Status writeScratchFile(const fs::path& file, std::string_view bytes) {
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        return makeSEError(kSEErrorUnknown, "Cannot write " + file.string() + ".");
    return Status();
}

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
        if (auto written = writeScratchFile(locals.back(),
                                            sync_event_file::encode(event, Clock::current().now()));
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
    readBaselines([this, completion = std::move(completion)](PullReport fromBaselines) mutable {
        pullEvents([this, fromBaselines = std::move(fromBaselines),
                    completion = std::move(completion)](PullReport report, Status status) mutable {
            report.touched.insert(fromBaselines.touched.begin(), fromBaselines.touched.end());
            report.skipped.insert(report.skipped.begin(), fromBaselines.skipped.begin(),
                                  fromBaselines.skipped.end());
            if (!status.ok())
                return completion(std::move(report), status);
            // Acknowledging and compacting are housekeeping: a failure is tried again by the
            // next pull and does not fail this one.
            acknowledge([this, report = std::move(report),
                         completion = std::move(completion)]() mutable {
                compact([report = std::move(report), completion = std::move(completion)]() mutable {
                    completion(std::move(report), Status());
                });
            });
        });
    });
}

void SyncEventLog::fetchFiles(const std::string& directory, std::vector<std::string> names,
                              std::function<void(std::vector<Fetched>)> done) {
    auto batch = std::make_shared<Downloads>();
    batch->folder = scratch_ / ("down-" + makeUuid());
    for (auto& name : names) {
        batch->paths.push_back(directory + "/" + name);
        // Each file gets a folder of its own: an unwrapped archive lands under the name it was
        // uploaded with, which for a sync tool's conflict copy is the original's name.
        batch->locals.push_back(batch->folder / std::to_string(batch->locals.size()) / name);
        std::error_code ec;
        fs::create_directories(batch->locals.back().parent_path(), ec);
        batch->fetched.push_back(Fetched{std::move(name), Status(), std::nullopt});
    }
    batch->done = std::move(done);
    downloadNext(batch, 0);
}

// One file at a time, so that a damaged archive costs only itself: a batch stops at its first
// failure and would hold back every file after it on every pull.
void SyncEventLog::downloadNext(std::shared_ptr<Downloads> batch, std::size_t i) {
    if (i < batch->paths.size()) {
        cloud_.downloadFromPath(batch->paths[i], batch->locals[i], [this, batch, i](Status status) {
            Fetched& fetched = batch->fetched[i];
            fetched.status = status;
            if (status.ok()) {
                std::error_code listError;
                for (fs::directory_iterator it(batch->locals[i].parent_path(), listError), end;
                     !listError && it != end; it.increment(listError))
                    fetched.bytes = readAll(it->path());
            }
            downloadNext(batch, i + 1);
        });
        return;
    }
    std::error_code ec;
    fs::remove_all(batch->folder, ec);
    auto done = std::move(batch->done);
    done(std::move(batch->fetched));
}

void SyncEventLog::pullEvents(std::function<void(PullReport, Status)> completion) {
    cloud_.contentsOfDirectoryAtPath(
        kEventsDirectory,
        [this, completion = std::move(completion)](std::optional<std::vector<SECloudItem>> items,
                                                   Status listed) mutable {
            if (!listed.ok()) {
                // No events folder yet: nobody has published anything.
                if (listed.error().code == kSEErrorNoDirectory) {
                    listedEvents_.clear();
                    return completion(PullReport{}, Status());
                }
                return completion(PullReport{}, listed);
            }
            std::optional<std::pair<double, double>> appearedBetween;
            const double listedAt = Clock::current().now();
            if (lastListingAt_ && listedAt >= *lastListingAt_ &&
                listedAt - *lastListingAt_ <= kFreshListingSeconds)
                appearedBetween = std::pair(*lastListingAt_, listedAt);
            lastListingAt_ = listedAt;
            listedEvents_.clear();
            std::vector<std::string> names;
            for (const auto& item : *items) {
                if (item.isDirectory)
                    continue;
                listedEvents_.push_back(item.name);
                if (!seenNames_.contains(item.name))
                    names.push_back(item.name);
            }
            fetchFiles(kEventsDirectory, std::move(names),
                       [this, appearedBetween,
                        completion = std::move(completion)](std::vector<Fetched> fetched) mutable {
                           applyEvents(std::move(fetched), appearedBetween, std::move(completion));
                       });
        });
}

void SyncEventLog::applyEvents(std::vector<Fetched> fetched,
                               std::optional<std::pair<double, double>> appearedBetween,
                               std::function<void(PullReport, Status)> completion) {
    PullReport report;
    Status downloaded;
    std::vector<std::pair<SyncEvent, std::string>> events;
    for (Fetched& file : fetched) {
        const std::string& name = file.name;
        if (!file.status.ok()) {
            // A hostile or damaged archive stays so: report it once. Anything else (a file
            // still arriving, a dropped mount) is tried again on the next pull.
            if (file.status.error().code == kSEErrorDamagedFile) {
                seenNames_.insert(name);
                report.skipped.push_back(file.status.error());
            } else {
                downloaded = file.status;
            }
            continue;
        }
        if (!file.bytes)
            continue;
        seenNames_.insert(name);
        auto decoded = sync_event_file::decodeFile(*file.bytes, name);
        if (!decoded.ok()) {
            report.skipped.push_back(decoded.error());
            continue;
        }
        if (appearedBetween && decoded->publishedAt) {
            const auto [from, to] = *appearedBetween;
            const double stamp = *decoded->publishedAt;
            report.clockSkews.push_back(stamp - std::clamp(stamp, from, to));
        }
        events.emplace_back(std::move(decoded->event), name);
    }
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
        if (collectCloudValues_) {
            // In key order, so the last value set is the latest.
            for (const auto& change : event.changes) {
                if (!change.contains("set"))
                    continue;
                auto& values = report.cloudValues[{change["entity"].get<std::string>(),
                                                   change["uuid"].get<std::string>()}];
                for (const auto& [property, value] : change["set"].items())
                    values[property] = value;
            }
        }
    }
    completion(std::move(report), downloaded);
}

void SyncEventLog::readBaselines(std::function<void(PullReport)> next) {
    cloud_.contentsOfDirectoryAtPath(
        kBaselinesDirectory, [this, next = std::move(next)](
                                 std::optional<std::vector<SECloudItem>> items, Status listed) {
            // No baselines yet, or the cloud is away (the events' listing says so).
            if (!listed.ok() || !items)
                return next(PullReport{});
            listedBaselines_.clear();
            std::vector<std::string> names;
            for (const auto& item : *items) {
                if (item.isDirectory)
                    continue;
                listedBaselines_.push_back(item.name);
                if (!seenNames_.contains(item.name))
                    names.push_back(item.name);
            }
            fetchFiles(kBaselinesDirectory, std::move(names),
                       [this, next](std::vector<Fetched> fetched) {
                           PullReport report;
                           for (Fetched& file : fetched) {
                               if (file.status.ok() && file.bytes)
                                   takeInBaseline(file.name, *file.bytes, report);
                               else if (!file.status.ok() &&
                                        file.status.error().code == kSEErrorDamagedFile) {
                                   seenNames_.insert(file.name);
                                   report.skipped.push_back(file.status.error());
                               }
                           }
                           next(std::move(report));
                       });
        });
}

void SyncEventLog::takeInBaseline(const std::string& name, const std::string& bytes,
                                  PullReport& report) {
    seenNames_.insert(name);
    auto unpacked = sync_event_file::unpack(sync_event_file::kBaselineMagic, bytes, name);
    if (!unpacked.ok()) {
        report.skipped.push_back(unpacked.error());
        return;
    }
    // Every record is checked before any is taken in: a damaged baseline changes nothing.
    const nlohmann::json& payload = *unpacked;
    auto records = payload.find("records");
    std::vector<std::pair<SyncReplica::RecordId, SyncReplica::Record>> read;
    bool sound = records != payload.end() && records->is_array();
    for (std::size_t i = 0; sound && i < records->size(); ++i) {
        const nlohmann::json& entry = (*records)[i];
        sound = entry.is_array() && entry.size() == 3 && entry[0].is_string() &&
                entry[1].is_string() && !entry[1].get<std::string>().empty();
        auto record = sound ? SyncReplica::recordFromJson(entry[2]) : std::nullopt;
        sound = sound && record.has_value();
        if (sound)
            read.emplace_back(
                SyncReplica::RecordId{entry[0].get<std::string>(), entry[1].get<std::string>()},
                std::move(*record));
    }
    if (!sound) {
        report.skipped.push_back(makeSEError(
            kSEErrorDamagedFile, "The baseline " + name + " was skipped: a record is malformed."));
        return;
    }
    for (const auto& [id, record] : read) {
        if (replica_.mergeRecord(id, record))
            report.touched.insert(id);
        if (collectCloudValues_ && !record.isDeleted()) {
            auto& values = report.cloudValues[id];
            for (const auto& [property, held] : record.properties)
                values[property] = held.value;
        }
    }
    // Taken in like an event of its writer: this computer now holds another's work.
    auto device = payload.find("device");
    auto lamport = payload.find("lamport");
    if (device != payload.end() && device->is_string() && lamport != payload.end() &&
        lamport->is_number_unsigned())
        replica_.restoreApplied({lamport->get<std::uint64_t>(), device->get<std::string>()});
}

std::set<SyncOrderingKey> SyncEventLog::appliedOfListed() const {
    std::set<SyncOrderingKey> keys;
    for (const std::string& name : listedEvents_) {
        auto key = sync_event_file::keyOfFileName(name);
        if (key && replica_.hasApplied(*key))
            keys.insert(std::move(*key));
    }
    return keys;
}

void SyncEventLog::acknowledge(std::function<void()> next) {
    std::set<SyncOrderingKey> keys = appliedOfListed();
    if (lastAcknowledged_ && *lastAcknowledged_ == keys)
        return next();
    nlohmann::json applied = nlohmann::json::array();
    for (const auto& key : keys)
        applied.push_back(nlohmann::json::array({key.lamport, key.deviceId}));
    const nlohmann::json payload = {{"device", replica_.deviceId()}, {"applied", applied}};
    const std::string name = replica_.deviceId() + kAcknowledgementExtension;
    const fs::path local = scratch_ / ("ack-" + makeUuid()) / name;
    if (auto written = writeScratchFile(
            local, sync_event_file::pack(sync_event_file::kAcknowledgementMagic, payload));
        !written.ok())
        return next();
    cloud_.createDirectoryAtPath(
        kDevicesDirectory, [this, local, name, keys, next = std::move(next)](Status created) {
            if (!created.ok()) {
                std::error_code ec;
                fs::remove_all(local.parent_path(), ec);
                return next();
            }
            cloud_.uploadLocalFile(local, std::string(kDevicesDirectory) + "/" + name,
                                   [this, local, keys, next](Status uploaded) {
                                       std::error_code ec;
                                       fs::remove_all(local.parent_path(), ec);
                                       if (uploaded.ok())
                                           lastAcknowledged_ = keys;
                                       next();
                                   });
        });
}

void SyncEventLog::compact(std::function<void()> next) {
    std::set<SyncOrderingKey> covered = appliedOfListed();
    if (covered.size() < compactionThreshold_)
        return next();
    cloud_.contentsOfDirectoryAtPath(
        kDevicesDirectory,
        [this, covered, next = std::move(next)](std::optional<std::vector<SECloudItem>> items,
                                                Status listed) mutable {
            if (!listed.ok() || !items)
                return next();
            // Every computer that wrote an event must have said what it applied.
            const std::string extension = kAcknowledgementExtension;
            std::set<std::string> acknowledging;
            std::vector<std::string> names;
            for (const auto& item : *items) {
                const std::string& name = item.name;
                if (item.isDirectory || name.size() <= extension.size() ||
                    name.substr(name.size() - extension.size()) != extension)
                    continue;
                std::string device = name.substr(0, name.size() - extension.size());
                acknowledging.insert(device);
                if (device != replica_.deviceId())
                    names.push_back(name);
            }
            for (const std::string& event : listedEvents_) {
                auto key = sync_event_file::keyOfFileName(event);
                if (key && key->deviceId != replica_.deviceId() &&
                    !acknowledging.contains(key->deviceId))
                    return next();
            }
            fetchFiles(
                kDevicesDirectory, std::move(names),
                [this, covered = std::move(covered),
                 next = std::move(next)](std::vector<Fetched> fetched) mutable {
                    for (const Fetched& file : fetched) {
                        std::set<SyncOrderingKey> applied;
                        auto payload =
                            file.bytes
                                ? sync_event_file::unpack(sync_event_file::kAcknowledgementMagic,
                                                          *file.bytes, file.name)
                                : Result<nlohmann::json>(
                                      file.status.ok() ? makeSEError(kSEErrorDamagedFile, "empty")
                                                       : file.status.error());
                        // An acknowledgement that cannot be read acknowledges nothing.
                        if (payload.ok() && payload->contains("applied") &&
                            (*payload)["applied"].is_array()) {
                            for (const auto& entry : (*payload)["applied"]) {
                                if (entry.is_array() && entry.size() == 2 &&
                                    entry[0].is_number_unsigned() && entry[1].is_string())
                                    applied.insert({entry[0].get<std::uint64_t>(),
                                                    entry[1].get<std::string>()});
                            }
                        }
                        std::erase_if(covered,
                                      [&](const auto& key) { return !applied.contains(key); });
                    }
                    if (covered.size() < compactionThreshold_)
                        return next();
                    writeBaseline(std::move(covered), std::move(next));
                });
        });
}

void SyncEventLog::writeBaseline(std::set<SyncOrderingKey> covered, std::function<void()> next) {
    const SyncOrderingKey key = replica_.nextKey();
    nlohmann::json records = nlohmann::json::array();
    for (const auto& [id, record] : replica_.records())
        records.push_back(
            nlohmann::json::array({id.first, id.second, SyncReplica::recordToJson(record)}));
    const nlohmann::json payload = {
        {"device", key.deviceId}, {"lamport", key.lamport}, {"records", std::move(records)}};
    const std::string name = sync_event_file::fileNameFor(key, kBaselineExtension);
    const fs::path local = scratch_ / ("base-" + makeUuid()) / name;
    if (auto written = writeScratchFile(
            local, sync_event_file::pack(sync_event_file::kBaselineMagic, payload));
        !written.ok())
        return next();
    auto cleanUp = [local] {
        std::error_code ec;
        fs::remove_all(local.parent_path(), ec);
    };
    cloud_.createDirectoryAtPath(
        kBaselinesDirectory, [this, local, name, cleanUp, covered = std::move(covered),
                              next = std::move(next)](Status created) {
            if (!created.ok()) {
                cleanUp();
                return next();
            }
            cloud_.uploadLocalFile(
                local, std::string(kBaselinesDirectory) + "/" + name,
                [this, name, cleanUp, covered, next](Status uploaded) {
                    cleanUp();
                    if (!uploaded.ok())
                        return next();
                    seenNames_.insert(name);
                    // The baseline holds what the files held: they go, and so do this computer's
                    // older baselines (the new one holds everything they held).
                    std::vector<std::string> removed;
                    for (const std::string& event : listedEvents_) {
                        auto key = sync_event_file::keyOfFileName(event);
                        if (key && covered.contains(*key))
                            removed.push_back(std::string(kEventsDirectory) + "/" + event);
                    }
                    for (const std::string& baseline : listedBaselines_) {
                        auto key = sync_event_file::keyOfFileName(baseline, kBaselineExtension);
                        if (key && key->deviceId == replica_.deviceId() && baseline != name)
                            removed.push_back(std::string(kBaselinesDirectory) + "/" + baseline);
                    }
                    cloud_.removeItemsAtPaths(removed, [next](Status) { next(); });
                });
        });
}

}  // namespace ravelong
