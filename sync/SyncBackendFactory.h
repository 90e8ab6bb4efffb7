#pragma once

#include <functional>
#include <memory>

#include "foundation/Error.h"
#include "sync/SECloudFileSystem.h"
#include "sync/SyncStatusDisplay.h"

namespace ravelong {

// A sign-in to a service's account that the user (or a newer sign-in) broke off.
inline constexpr int kSEErrorLinkCancelled = 2101;

// One service the program can synchronise with, as SyncSetup sees it: where its settings are,
// how to make its back-end and what leaving it forgets. SyncSetup holds one per service it
// offers; a service without one reads as none. Main thread only.
class SyncBackendFactory {
public:
    virtual ~SyncBackendFactory() = default;

    virtual SyncService service() const = 0;
    // Whether the settings name a place to synchronise with (a folder, a linked account). When
    // they do not, `whyNotConfigured` says what the user has to do.
    virtual bool isConfigured() const = 0;
    virtual Error whyNotConfigured() const = 0;
    // A back-end for the settings as they are; nullptr while not configured.
    virtual std::unique_ptr<SECloudFileSystem> makeCloudFileSystem() = 0;
    // Whether the back-end is reached over the network (the driver then waits for it).
    virtual bool needsNetwork() const = 0;

    // The first connection of a new choice succeeded: settings that were only proposed are
    // kept now.
    virtual void keepChoice() {}
    // The user left the service: settings that belong to the choice are dropped. An account's
    // link stays until it is unlinked.
    virtual void forget() {}
    // The back-end became the driver's; `remoteChanges` asks for a merge when the back-end
    // learns of changes made elsewhere. The back-end lives until forget() or the next installed().
    virtual void installed(SECloudFileSystem& cloud, std::function<void()> remoteChanges) {
        (void)cloud;
        (void)remoteChanges;
    }
};

}  // namespace ravelong
