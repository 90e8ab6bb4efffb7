#include "sync/engine/SyncTestWorld.h"

namespace ravelong::sync_testing {

namespace fs = std::filesystem;

SyncTestWorld::SyncTestWorld() : cloudFolder(directory / "cloud") {
    fs::create_directories(cloudFolder);
}

}  // namespace ravelong::sync_testing
