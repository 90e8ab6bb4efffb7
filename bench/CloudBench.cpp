// Figures of the Dropbox back-end and of the CloudKit web services database against the
// in-process fake servers, which add 20 ms to every request as a stand-in for the distance to the
// real services: a first sync's worth of small event files uploaded, the listing of a folder of
// 10,000 files, and the change detection a merge starts with over an events folder of 10,000
// files (zipped, as the program keeps them).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "bench/BenchSuite.h"
#include "foundation/EventLoop.h"
#include "sync/SEZipCloudFileSystem.h"
#include "sync/SyncEventLog.h"
#include "sync/cloudkit/CloudKitWebServicesDatabase.h"
#include "sync/cloudkit/FakeCloudKitServer.h"
#include "sync/cloudkit/SECloudKitFileSystem.h"
#include "sync/dropbox/FakeDropboxServer.h"
#include "sync/dropbox/SEDropboxV2CloudFileSystem.h"

namespace ravelong::bench {

namespace {

namespace fs = std::filesystem;

class FixedToken final : public DBAccessTokenSource {
public:
    std::optional<std::string> accessToken() const override { return "fake-token"; }
};

// Runs an operation on a real event loop until its completion quits the loop.
Status runToCompletion(EventLoop& loop,
                       const std::function<void(SECloudFileSystem::Completion)>& start) {
    Status result;
    start([&](Status status) {
        result = status;
        loop.quit();
    });
    loop.run();
    return result;
}

class FixedWebToken final : public DBSecretStore {
public:
    std::optional<std::string> load() const override { return "bench-web-token"; }
    Status save(const std::string&) override { return Status(); }
    Status erase() override { return Status(); }
};

// Writes the small event files of a first sync into a fresh folder.
std::vector<fs::path> writeEventFiles(const fs::path& folder, int count) {
    fs::create_directories(folder);
    std::vector<fs::path> files;
    for (int i = 0; i < count; ++i) {
        char name[33];
        std::snprintf(name, sizeof name, "%08x%024d", i * 2654435761u, i);
        files.push_back(folder / name);
        std::ofstream(files.back())
            << R"({"kind":"insert","entity":"ZRCDTiming","values":{"start":)"
            << 600000000 + i * 3600 << R"(,"note":"event )" << i << "\"}}";
    }
    return files;
}

// The CloudKit upload through the iCloud back-end on the web services database: a first sync's
// files saved as file-node records with their assets, in the back-end's batches of 30.
int cloudKitUpload(EventLoop& loop) {
    testing::FakeCloudKitServer server;
    server.latencySeconds = 0.020;
    server.acceptWebAuthToken("bench-web-token");
    FixedWebToken token;
    HttpTransport transport(loop, CloudKitWebServicesDatabase::kConnectionsPerHost);
    auto database =
        std::make_shared<CloudKitWebServicesDatabase>(transport, token, server.config());

    fs::path folder =
        fs::temp_directory_path() / ("ravelong-cloudkit-bench-" + std::to_string(::getpid()));
    std::vector<fs::path> files = writeEventFiles(folder / "files", 1000);
    std::vector<std::string> paths;
    for (const auto& file : files)
        paths.push_back("events/data/" + file.filename().string());
    // The back-end keeps its cache of the zone under $XDG_CACHE_HOME: keep it out of the user's.
    const char* cacheHome = std::getenv("XDG_CACHE_HOME");
    std::optional<std::string> savedCacheHome = cacheHome ? std::optional(cacheHome) : std::nullopt;
    ::setenv("XDG_CACHE_HOME", (folder / "cache").c_str(), 1);
    auto icloud = SECloudKitFileSystem::withPrivateDatabase(
        loop, [database](CloudKitDatabase::Scope) { return database; }, server.containerIdentifier,
        2);
    Status ready = runToCompletion(loop, [&](auto done) { icloud->connect(done); });
    if (ready.ok())
        ready = runToCompletion(
            loop, [&](auto done) { icloud->createDirectoryAtPath("events/data", done); });
    Status uploaded = ready;
    double seconds = 0;
    if (ready.ok())
        seconds = secondsFor([&] {
            uploaded = runToCompletion(
                loop, [&](auto done) { icloud->uploadLocalFiles(files, paths, done); });
        });
    icloud.reset();
    if (savedCacheHome)
        ::setenv("XDG_CACHE_HOME", savedCacheHome->c_str(), 1);
    else
        ::unsetenv("XDG_CACHE_HOME");
    fs::remove_all(folder);
    std::size_t stored = server.recordCount(SECloudKitFileSystem::zoneNameForSchema(2));
    if (!uploaded.ok() || stored < 1000) {
        std::cerr << "CloudKit upload failed: "
                  << (uploaded.ok() ? "" : uploaded.error().description) << " (" << stored
                  << " records in the zone)\n";
        return 1;
    }
    printFigure("cloudkit_upload_1000_files_s", seconds, "s");
    return 0;
}

// Another computer has written 10,000 events, all taken in already, and one more since: the pull
// that every merge begins with lists the events folder, picks out the new file, downloads and
// applies it.
bool listChanges(EventLoop& loop, testing::FakeDropboxServer& server, DBClientsManager& clients) {
    auto inner = std::make_unique<SEDropboxV2CloudFileSystem>(loop, clients);
    inner->setRelativePathToRootInDropbox("Changes");
    inner->partitionDataFilesBetweenSubdirectories = true;
    SEZipCloudFileSystem zipped(std::move(inner));
    std::set<std::string> seen;
    for (std::uint64_t i = 1; i <= 10000; ++i) {
        std::string name = sync_event_file::fileNameFor({i, "other-computer"});
        server.addFile("/Changes/events/" + name + ".synczip", "PK");
        seen.insert(name);
    }
    fs::path scratch =
        fs::temp_directory_path() / ("ravelong-changes-bench-" + std::to_string(::getpid()));
    fs::create_directories(scratch);
    SyncEvent fresh{{10001, "other-computer"},
                    nlohmann::json::array({{{"entity", "ZRCDTask"},
                                            {"uuid", "8d7f0e4c-0000-4000-8000-000000000001"},
                                            {"set", {{"taskName", "New task"}}}}})};
    const std::string freshName = sync_event_file::fileNameFor(fresh.key);
    std::ofstream(scratch / freshName, std::ios::binary) << sync_event_file::encode(fresh);
    Status uploaded = runToCompletion(loop, [&](auto done) {
        zipped.uploadLocalFile(scratch / freshName, "events/" + freshName, done);
    });
    if (!uploaded.ok()) {
        std::cerr << "could not place the new event: " << uploaded.error().description << "\n";
        fs::remove_all(scratch);
        return false;
    }

    SyncReplica replica("this-computer");
    SyncEventLog log(zipped, replica, scratch);
    log.restoreSeenNames(seen);
    SyncEventLog::PullReport report;
    Status pulled;
    // The processor time of the whole process (the fake server's threads too), beside the wall
    // time: on a busy machine the two tell waiting for the network from work.
    const std::clock_t cpuBefore = std::clock();
    double seconds = secondsFor([&] {
        pulled = runToCompletion(loop, [&](auto done) {
            log.pull([&, done](SyncEventLog::PullReport r, Status s) {
                report = std::move(r);
                done(s);
            });
        });
    });
    const double cpuSeconds = static_cast<double>(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    fs::remove_all(scratch);
    if (!pulled.ok() || report.applied != 1 || !report.skipped.empty()) {
        std::cerr << "the pull found " << report.applied << " new events, skipped "
                  << report.skipped.size() << ": "
                  << (pulled.ok() ? "" : pulled.error().description) << "\n";
        return false;
    }
    printFigure("list_changes_10000_ms", seconds * 1000, "ms");
    printFigure("list_changes_10000_cpu_ms", cpuSeconds * 1000, "ms");
    return true;
}

int cloudSuite() {
    EventLoop loop;
    testing::FakeDropboxServer server;
    server.latencySeconds = 0.020;
    FixedToken token;
    DBClientsManager clients(loop, token, server.clientOptions());
    SEDropboxV2CloudFileSystem dropbox(loop, clients);
    dropbox.setRelativePathToRootInDropbox("Sync");
    dropbox.partitionDataFilesBetweenSubdirectories = true;

    fs::path folder =
        fs::temp_directory_path() / ("ravelong-cloud-bench-" + std::to_string(::getpid()));
    std::vector<fs::path> locals = writeEventFiles(folder, 1000);
    std::vector<std::string> paths;
    for (const auto& local : locals)
        paths.push_back("events/data/" + local.filename().string());

    Status uploaded;
    double seconds = secondsFor([&] {
        uploaded = runToCompletion(
            loop, [&](auto done) { dropbox.uploadLocalFiles(locals, paths, done); });
    });
    fs::remove_all(folder);
    if (!uploaded.ok() || server.fileCount() != 1000) {
        std::cerr << "upload failed: " << (uploaded.ok() ? "" : uploaded.error().description)
                  << " (" << server.fileCount() << " files arrived)\n";
        return 1;
    }
    printFigure("dropbox_upload_1000_files_s", seconds, "s");

    for (int i = 0; i < 10000; ++i)
        server.addFile("/Sync/big/f" + std::to_string(i) + ".json", "x");
    std::size_t listed = 0;
    double listSeconds = secondsFor([&] {
        Status status = runToCompletion(loop, [&](auto done) {
            dropbox.contentsOfDirectoryAtPath("big", [&, done](auto items, Status s) {
                listed = items ? items->size() : 0;
                done(s);
            });
        });
        (void)status;
    });
    if (listed != 10000) {
        std::cerr << "listing returned " << listed << " entries\n";
        return 1;
    }
    printFigure("dropbox_list_10000_files_ms", listSeconds * 1000, "ms");
    if (!listChanges(loop, server, clients))
        return 1;
    return cloudKitUpload(loop);
}

}  // namespace

RAVELONG_BENCH_SUITE("cloud", cloudSuite);

}  // namespace ravelong::bench
