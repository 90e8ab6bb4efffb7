#pragma once

#include "store/ManagedObjectModel.h"

namespace ravelong {

// The model of the Ravelong store: tasks, timings, day aggregates (timing sets), origins and
// the two preference records. Version 15 is the current shape of the file.
const ManagedObjectModel& ravelongModel();

}  // namespace ravelong
