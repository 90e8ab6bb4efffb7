#pragma once

#include <set>
#include <vector>

#include "store/ChangeSet.h"

namespace ravelong {

class ZRCDTask;

// What a save of the main context changed, in the terms of the interface: the change sets of
// tasks and one flag per kind of refresh. Filled when a save is processed
// (processInsertedObjects), turned into further flags (calculateUpdates_inContext) and emptied
// when the notifications have been posted.
// (Filled in by the save path work; this is the outline the delegate builds against.)
class AppChangeTracker {
public:
    void reset();
};

}  // namespace ravelong
