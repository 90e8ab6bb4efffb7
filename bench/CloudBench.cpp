// Figures of the Dropbox back-end and of the CloudKit web services database against the
// in-process fake servers, which add 20 ms to every request as a stand-in for the distance to the
// real services: a first sync's worth of small event files uploaded, and the listing of a folder
// of 10,000 files.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "bench/BenchSuite.h"
#include "foundation/EventLoop.h"
#include "sync/cloudkit/CloudKitWebServicesDatabase.h"
#include "sync/cloudkit/FakeCloudKitServer.h"
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

// The CloudKit upload as the back-end makes it: one file-node record with the file as its asset
// per file, saved in batches of 30, several batches in flight at once.
int cloudKitUpload(EventLoop& loop) {
    testing::FakeCloudKitServer server;
    server.latencySeconds = 0.020;
    server.acceptWebAuthToken("bench-web-token");
    FixedWebToken token;
    DBHttpTransport transport(loop);
    CloudKitWebServicesDatabase database(transport, token, server.config());

    fs::path folder =
        fs::temp_directory_path() / ("ravelong-cloudkit-bench-" + std::to_string(::getpid()));
    std::vector<fs::path> files = writeEventFiles(folder, 1000);
    std::vector<std::vector<CKRecord>> batches;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (i % 30 == 0)
            batches.emplace_back();
        CKRecord r;
        r.recordType = "FileNode";
        r.recordID = {files[i].filename().string(), {}};
        r.setField("name", files[i].filename().string());
        r.setField("size", static_cast<std::int64_t>(fs::file_size(files[i])));
        r.setField("parent", CKReference{{"events-data", {}}, CKReference::Action::none});
        r.setField("contents", CKAsset{files[i]});
        batches.back().push_back(std::move(r));
    }
    constexpr std::size_t inFlight = 4;
    std::size_t next = 0, running = 0, saved = 0;
    std::string failure;
    std::function<void()> startMore = [&] {
        while (running < inFlight && next < batches.size() && failure.empty()) {
            ++running;
            database.modifyRecords(batches[next++], {}, [&](auto records, auto, CKError e) {
                --running;
                saved += records.size();
                if (!e.ok() && failure.empty())
                    failure = e.description;
                startMore();
                if (running == 0)
                    loop.quit();
            });
        }
    };
    double seconds = secondsFor([&] {
        startMore();
        loop.run();
    });
    fs::remove_all(folder);
    if (!failure.empty() || saved != 1000 || server.recordCount() != 1000) {
        std::cerr << "CloudKit upload failed: " << failure << " (" << server.recordCount()
                  << " records arrived)\n";
        return 1;
    }
    printFigure("cloudkit_upload_1000_files_s", seconds, "s");
    return 0;
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
    return cloudKitUpload(loop);
}

}  // namespace

RAVELONG_BENCH_SUITE("cloud", cloudSuite);

}  // namespace ravelong::bench
