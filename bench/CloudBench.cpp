// Figures of the Dropbox back-end against the in-process fake server, which adds 20 ms to every
// request as a stand-in for the distance to the real service: a first sync's worth of small event
// files uploaded in one batch, and the listing of a folder of 10,000 files.
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
    fs::create_directories(folder);
    std::vector<fs::path> locals;
    std::vector<std::string> paths;
    for (int i = 0; i < 1000; ++i) {
        char name[33];
        std::snprintf(name, sizeof name, "%08x%024d", i * 2654435761u, i);
        locals.push_back(folder / name);
        std::ofstream(locals.back())
            << R"({"kind":"insert","entity":"ZRCDTiming","values":{"start":)"
            << 600000000 + i * 3600 << R"(,"note":"event )" << i << "\"}}";
        paths.push_back(std::string("events/data/") + name);
    }

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
    return 0;
}

}  // namespace

RAVELONG_BENCH_SUITE("cloud", cloudSuite);

}  // namespace ravelong::bench
