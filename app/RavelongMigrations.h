#pragma once

#include "store/PersistentStore.h"

namespace ravelong {

// The upgrade of a version 13 or 14 file to version 15: the timings are rebuilt by
// ZRCDTimingV13OrV14ToV15MigrationPolicy, every other table keeps its rows as they are.
MigrationStep upgradeFromVersion13Or14(int fromVersion);

// The options with which the program opens its store: every upgrade it knows, and the task
// totals that reports over all days read.
StoreOptions ravelongStoreOptions();

}  // namespace ravelong
