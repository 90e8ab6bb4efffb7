#pragma once

#include "store/ManagedObjectModel.h"

namespace ravelong {

// The model of the stores written by versions up to 1.2.4: tasks, timed entries and their old
// identifiers. Its version (1) is unrelated to the versions of the current model, so neither
// model can open the other's files: each sees a version it does not know and leaves the file
// alone.
const ManagedObjectModel& ravelongV1Model();

inline constexpr int kRavelongV1ModelVersion = 1;

}  // namespace ravelong
