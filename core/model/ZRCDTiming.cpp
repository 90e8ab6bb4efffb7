#include "core/model/ZRCDTiming.h"

#include <algorithm>
#include <cmath>

#include "core/calendar/DayBounds.h"
#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTimingSet.h"
#include "foundation/Clock.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {

namespace {

// The fields whose setting re-runs the day assignment.
bool isDayRelevant(int propertyIndex) {
    switch (propertyIndex) {
        case ZRCDTiming::kStartDate:
        case ZRCDTiming::kEndDate:
        case ZRCDTiming::kTask:
        case ZRCDTiming::kTimezone:
        case ZRCDTiming::kNewDayOffset:
        case ZRCDTiming::kUuid:
            return true;
        default:
            return false;
    }
}

}  // namespace

EntityDescription& ZRCDTiming::entityDescription() {
    static EntityDescription description = [] {
        EntityDescription built =
            EntityBuilder<ZRCDTiming>("ZRCDTiming")
                .attribute<&ZRCDTiming::billing_>("billing", AttributeType::Int16)
                .attribute<&ZRCDTiming::endDate_>("endDate", AttributeType::Date)
                .attribute<&ZRCDTiming::note_>("note", AttributeType::String)
                .attribute<&ZRCDTiming::startDate_>("startDate", AttributeType::Date)
                .attribute<&ZRCDTiming::timezone_>("timezone", AttributeType::String)
                .attribute<&ZRCDTiming::newDayOffset_>("newDayOffset", AttributeType::Int32)
                .attribute<&ZRCDTiming::uuid_>("uuid", AttributeType::String)
                .attribute<&ZRCDTiming::modified_>("modified", AttributeType::Date)
                .toOne<&ZRCDTiming::origin_>("origin", "ZRCDOrigin", "timings", true)
                .toOne<&ZRCDTiming::task_>("task", "ZRCDTask", "timings", true)
                .toMany<&ZRCDTiming::timingSets_>("timingSets", "ZRCDTimingSet", "timings", true)
                .toOne<&ZRCDTiming::firstTimingSet_>("firstTimingSet", "ZRCDTimingSet",
                                                     "firstTimings", true)
                // By uuid; a task's timings in time order; the timings ending in a range (the
                // lists of a day or week); the timings of an origin.
                .index({"uuid"})
                .index({"task", "startDate"})
                .index({"endDate"})
                .index({"origin"})
                .build();
        // Installed with the entity, so that every context (main, children, background
        // readers) keeps the day aggregates in step with the timings.
        built.didSetHook = [](ManagedObject& object, int propertyIndex) {
            if (isDayRelevant(propertyIndex))
                static_cast<ZRCDTiming&>(object).processTimingSet();
        };
        return built;
    }();
    return description;
}

void ZRCDTiming::setBilling(std::int16_t value) {
    setAttribute(kBilling, value_conversion::toValue(value));
}
void ZRCDTiming::setEndDate(std::optional<Instant> value) {
    setAttribute(kEndDate, value_conversion::toValue(value));
}
void ZRCDTiming::setNote(std::optional<std::string> value) {
    setAttribute(kNote, value_conversion::toValue(value));
}
void ZRCDTiming::setStartDate(std::optional<Instant> value) {
    setAttribute(kStartDate, value_conversion::toValue(value));
}
void ZRCDTiming::setTimezone(std::optional<std::string> value) {
    setAttribute(kTimezone, value_conversion::toValue(value));
}
void ZRCDTiming::setNewDayOffset(std::int32_t value) {
    setAttribute(kNewDayOffset, value_conversion::toValue(value));
}
void ZRCDTiming::setUuid(std::optional<std::string> value) {
    setAttribute(kUuid, value_conversion::toValue(value));
}
void ZRCDTiming::setModified(std::optional<Instant> value) {
    setAttribute(kModified, value_conversion::toValue(value));
}
void ZRCDTiming::setOrigin(ZRCDOrigin* value) {
    setToOne(kOrigin, value);
}
void ZRCDTiming::setTask(ZRCDTask* value) {
    setToOne(kTask, value);
}
void ZRCDTiming::addTimingSetsObject(ZRCDTimingSet* value) {
    addToMany(kTimingSets, value);
}
void ZRCDTiming::removeTimingSetsObject(ZRCDTimingSet* value) {
    removeFromMany(kTimingSets, value);
}
void ZRCDTiming::setFirstTimingSet(ZRCDTimingSet* value) {
    setToOne(kFirstTimingSet, value);
}

// --- Computed values ----------------------------------------------------------------------

bool ZRCDTiming::running() const {
    return endDate_ && *endDate_ == kSentinelDate;
}

std::optional<Instant> ZRCDTiming::currentEndDate() const {
    if (running())
        return Clock::current().now();
    return endDate_;
}

double ZRCDTiming::duration() const {
    if (!startDate_ || !endDate_)
        return 0.0;
    if (running())
        return std::max(0.0, Clock::current().now() - *startDate_);
    return *endDate_ - *startDate_;
}

ZRDate ZRCDTiming::absDay() const {
    if (timingSets_.empty() || !firstTimingSet_)
        return 0;
    return firstTimingSet_->absDay();
}

std::int32_t ZRCDTiming::effectiveNewDayOffset() const {
    if (newDayOffset_ < 0 || newDayOffset_ >= kSecondsPerDay)
        return 0;
    return newDayOffset_;
}

double ZRCDTiming::getDurationWithinZRDate(ZRDate day) const {
    const std::optional<Instant> end = currentEndDate();
    if (!startDate_ || !end || !timezone_)
        return 0.0;
    const std::int32_t offset = effectiveNewDayOffset();
    const Instant dayStart = date_additions::beginningOfDayForZRDate(day, *timezone_, offset);
    const Instant dayEnd = date_additions::endOfDayForZRDate(day, *timezone_, offset);
    const double overlap = std::min(*end, dayEnd) - std::max(*startDate_, dayStart);
    return overlap > 0.0 ? overlap : 0.0;
}

// --- Day assignment ----------------------------------------------------------------------

void ZRCDTiming::processTimingSet() {
    ManagedObjectContext* context = managedObjectContext();
    if (!context || isDeleted())
        return;
    if (!task_) {
        // Taken away from its task: the task's aggregates must stop counting it.
        leaveTimingSets(*context);
        return;
    }
    if (!startDate_ || !endDate_ || !timezone_ || !uuid_ || newDayOffset_ == -1)
        return;
    task_->setUpdatedDate(Clock::current().now());
    ZRCDTimingSet::assignTimingSetsToTiming(this, true, *context);
}

void ZRCDTiming::leaveTimingSets(ManagedObjectContext& context) {
    if (timingSets_.empty() && !firstTimingSet_)
        return;
    std::vector<ZRCDTimingSet*> sets = timingSets().toVector();
    setFirstTimingSet(nullptr);
    for (ZRCDTimingSet* set : sets) {
        removeTimingSetsObject(set);
        if (set->timings().empty()) {
            context.deleteObject(set);
        } else {
            set->recalculateDuration();
        }
    }
}

}  // namespace ravelong
