#include "sync/engine/SyncTestWorld.h"

#include <chrono>
#include <thread>

namespace ravelong::sync_testing {

namespace fs = std::filesystem;

SyncTestWorld::SyncTestWorld() : cloudFolder(directory / "cloud") {
    fs::create_directories(cloudFolder);
}

bool SyncTestWorld::runUntil(const std::function<bool()>& done) {
    loop.runPending();
    if (!repliesFromOtherThreads || done())
        return done();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (loop.runPending() > 0) {
            if (done())
                return true;
            continue;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        // A client's retry waits in virtual time.
        loop.advance(0.5);
        if (done())
            return true;
    }
    return done();
}

}  // namespace ravelong::sync_testing
