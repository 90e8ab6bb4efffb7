#include "sync/engine/SyncDeviceId.h"

#include <fstream>

#include "foundation/AtomicFile.h"
#include "foundation/Log.h"
#include "foundation/Uuid.h"

namespace ravelong {

std::string syncDeviceIdIn(const std::filesystem::path& stateFolder) {
    const std::filesystem::path file = stateFolder / "device-id";
    std::ifstream in(file);
    std::string stored;
    if (in && std::getline(in, stored) && isCanonicalUuid(stored))
        return stored;
    std::string fresh = makeUuid();
    if (Status written = writeFileAtomically(file, fresh + "\n"); !written.ok())
        logError("sync device id", written.error().description);
    return fresh;
}

}  // namespace ravelong
