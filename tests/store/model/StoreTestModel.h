#pragma once

#include "store/ManagedObjectModel.h"
#include "tests/store/model/TestDay.h"
#include "tests/store/model/TestEntry.h"
#include "tests/store/model/TestLabel.h"
#include "tests/store/model/TestSettings.h"
#include "tests/store/model/TestTask.h"

namespace ravelong::store_testing {

// The store tests' own model (version 3, so that upgrades from 1 and 2 can be tried): tasks,
// labels, entries, days and settings, with every attribute type and every kind of relationship. It
// knows nothing of the program's records, so the store is tested on its own.
const ManagedObjectModel& storeTestModel();

}  // namespace ravelong::store_testing
