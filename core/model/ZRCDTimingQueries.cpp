#include <algorithm>

#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/services/DeviceIdentity.h"
#include "foundation/Clock.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {

namespace {

// Running timings and uuids are looked up on every start, stop and tick; the context's hash
// index on the attribute answers without visiting the other timings.
std::vector<ZRCDTiming*> runningTimings(const ManagedObjectContext& context) {
    return context.objectsWithValue<ZRCDTiming>(ZRCDTiming::kEndDate, Value(kSentinelDate));
}

template <class Key>
void sortBy(std::vector<ZRCDTiming*>& timings, Key key, bool descending) {
    std::stable_sort(timings.begin(), timings.end(), [&](const ZRCDTiming* a, const ZRCDTiming* b) {
        return descending ? key(*b) < key(*a) : key(*a) < key(*b);
    });
}

Instant modifiedOf(const ZRCDTiming& t) {
    return t.modified().value_or(-1e300);
}

Instant startOf(const ZRCDTiming& t) {
    return t.startDate().value_or(-1e300);
}

}  // namespace

bool ZRCDTiming::timingWithUUIDExists(std::string_view uuid, const ManagedObjectContext& context) {
    return getCoreDataTimingWithUUID(uuid, context) != nullptr;
}

ZRCDTiming* ZRCDTiming::getCoreDataTimingWithUUID(std::string_view uuid,
                                                  const ManagedObjectContext& context) {
    return context.firstObjectWithValue<ZRCDTiming>(kUuid, Value(std::string(uuid)));
}

std::vector<ZRCDTiming*> ZRCDTiming::getAllTimings_inContext(const ManagedObjectContext& context) {
    return context.fetchAll<ZRCDTiming>();
}

std::size_t ZRCDTiming::numberOfTimings_inContext(const ManagedObjectContext& context) {
    return context.count<ZRCDTiming>();
}

std::vector<ZRCDTiming*> ZRCDTiming::getAllUnarchivedTimings_inContext(
    const ManagedObjectContext& context) {
    FetchRequest<ZRCDTiming> request;
    request.predicate = [](const ZRCDTiming& t) { return t.task() && !t.task()->isArchived(); };
    return context.fetch(request);
}

std::vector<ZRCDTiming*> ZRCDTiming::sortedTimings(const ManagedObjectContext& context) {
    const auto udid = DeviceIdentity::current().deviceUDID();
    FetchRequest<ZRCDTiming> request;
    request.predicate = [&](const ZRCDTiming& t) {
        return t.origin() && t.origin()->udid() == udid && t.origin()->type() == kOriginTypeUser;
    };
    std::vector<ZRCDTiming*> timings = context.fetch(request);
    sortBy(timings, startOf, false);
    return timings;
}

std::vector<ZRCDTiming*> ZRCDTiming::getRunningTimings_inContext(
    const ManagedObjectContext& context) {
    std::vector<ZRCDTiming*> timings = runningTimings(context);
    // The index has no order; the earliest start first keeps lists and menus stable.
    sortBy(timings, startOf, false);
    return timings;
}

std::size_t ZRCDTiming::numberOfRunningTimings_inContext(const ManagedObjectContext& context) {
    return runningTimings(context).size();
}

bool ZRCDTiming::aTimerIsRunning_inContext(const ManagedObjectContext& context) {
    return context.firstObjectWithValue<ZRCDTiming>(kEndDate, Value(kSentinelDate)) != nullptr;
}

std::vector<ZRCDTiming*> ZRCDTiming::getRunningTimingsSortedByLastModified_inContext(
    const ManagedObjectContext& context) {
    std::vector<ZRCDTiming*> timings = runningTimings(context);
    sortBy(timings, modifiedOf, true);
    return timings;
}

ZRCDTiming* ZRCDTiming::getLastModifiedTiming_inContext(const ManagedObjectContext& context) {
    ZRCDTiming* latest = nullptr;
    for (ZRCDTiming* timing : context.fetchAll<ZRCDTiming>()) {
        if (!latest || modifiedOf(*timing) > modifiedOf(*latest))
            latest = timing;
    }
    return latest;
}

ZRCDTiming* ZRCDTiming::getLastModifiedRunningTiming_inContext(
    const ManagedObjectContext& context) {
    std::vector<ZRCDTiming*> timings = getRunningTimingsSortedByLastModified_inContext(context);
    return timings.empty() ? nullptr : timings.front();
}

std::optional<Instant> ZRCDTiming::startDateOfLastModifiedRunningTiming_inContext(
    const ManagedObjectContext& context) {
    ZRCDTiming* timing = getLastModifiedRunningTiming_inContext(context);
    return timing ? timing->startDate() : std::nullopt;
}

std::vector<ZRCDTiming*> ZRCDTiming::getAllTimingsWithStartDatesBetween(
    Instant start, Instant end, bool includeArchivedTimings, const ManagedObjectContext& context) {
    FetchRequest<ZRCDTiming> request;
    request.predicate = [&](const ZRCDTiming& t) {
        if (!t.startDate() || *t.startDate() < start || *t.startDate() > end)
            return false;
        return includeArchivedTimings || (t.task() && !t.task()->isArchived());
    };
    std::vector<ZRCDTiming*> timings = context.fetch(request);
    sortBy(timings, startOf, false);
    return timings;
}

std::vector<ZRCDTiming*> ZRCDTiming::getRecentlyEndedTimingsSortedByLastEndTime_inContext(
    const ManagedObjectContext& context) {
    const Instant now = Clock::current().now();
    FetchRequest<ZRCDTiming> request;
    request.predicate = [&](const ZRCDTiming& t) {
        return t.endDate() && *t.endDate() <= now && *t.endDate() > now - 3600.0;
    };
    request.sortDescriptors.push_back([](const ZRCDTiming& a, const ZRCDTiming& b) {
        const Instant x = *a.endDate();
        const Instant y = *b.endDate();
        return y < x ? -1 : (x < y ? 1 : 0);
    });
    request.fetchLimit = 10;
    return context.fetch(request);
}

}  // namespace ravelong
