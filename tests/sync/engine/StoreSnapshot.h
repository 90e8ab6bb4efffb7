#pragma once

#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "store/ManagedObjectContext.h"

namespace ravelong::sync_testing {

// A store's content in comparable form.
struct StoreSnapshot {
    // uuid -> name, parent uuid, next task uuid, archived
    std::map<std::string, std::tuple<std::string, std::string, std::string, bool>> tasks;
    // uuid -> start, end, task uuid, note
    std::map<std::string, std::tuple<double, double, std::string, std::string>> timings;
    // (task uuid, absDay) -> duration, as stored
    std::map<std::pair<std::string, int>, double> aggregates;
    // the same, computed afresh from the timings
    std::map<std::pair<std::string, int>, double> rebuiltAggregates;
    std::vector<std::string> chain;  // task uuids from the head along nextTask

    static StoreSnapshot of(const ManagedObjectContext& context);
};

}  // namespace ravelong::sync_testing
