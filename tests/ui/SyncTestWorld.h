#pragma once

#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "support/ScriptedSyncMerger.h"
#include "support/SettableClock.h"
#include "support/TestSupport.h"
#include "support/VirtualMainLoop.h"
#include "sync/SyncTexts.h"

namespace ravelong::testing {

// What the synchronisation widgets are tested with: virtual time, settings in a temporary
// folder, a folder to sync with and a merge engine that finishes when told.
struct SyncTestWorld {
    SettableClock clock{800'000'000.0};
    VirtualMainLoop loop{clock};
    TemporaryDirectory settings;
    TemporaryDirectory folder;
    NotificationCenter notifications;
    UserDefaults standard{settings / "standard.json"};
    UserDefaults group{settings / "group.json"};
    ScriptedSyncMerger merger;
};

}  // namespace ravelong::testing
