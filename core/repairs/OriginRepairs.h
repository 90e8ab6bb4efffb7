#pragma once

namespace ravelong {

class ManagedObjectContext;

// Repair of the origins (ZRCDOrigin) after merges of stores. Returns whether it changed anything,
// saves nothing, and is meant to run with undo registration off. Main thread only.
namespace store_repairs {

// Merges every group of origins with equal udid, uid and type into one: the survivor is the
// member with the latest names (the largest sum of userNameChanged and deviceNameChanged, an
// absent date counting as the reference date; the first met wins a tie). The tasks and timings
// of the other members are given the survivor, then the others are deleted.
bool consolidateOrigins_inContext(ManagedObjectContext& context);

}  // namespace store_repairs
}  // namespace ravelong
