#include <cmath>

#include "core/calendar/DayBounds.h"
#include "core/calendar/TimeZones.h"
#include "core/calendar/ZRCalendar.h"
#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDPreferences.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/services/UserScript.h"
#include "foundation/Clock.h"
#include "foundation/Log.h"
#include "foundation/Uuid.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {

namespace {

// A record of another context (or a deleted one) must never be linked in: the graph would point
// across contexts. Callers only get here by mistake, so it is logged.
bool usable(const ManagedObject* object, const ManagedObjectContext& context,
            const char* operation) {
    if (object && object->managedObjectContext() == &context && !object->isDeleted())
        return true;
    if (object)
        logError(operation, "a record of another context or a deleted one was passed");
    return false;
}

bool acceptableInterval(std::optional<Instant> start, std::optional<Instant> end) {
    if (!start || !end || !std::isfinite(*start) || !std::isfinite(*end))
        return false;
    // The sentinel end would make an explicit entry a running timer.
    if (*end == kSentinelDate || *start > *end)
        return false;
    return *end - *start <= double(ZRCDTimingSet::kMaxDaysPerTiming) * kSecondsPerDay;
}

std::int32_t preferencesNewDayOffset(const ManagedObjectContext& context) {
    return ZRCDPreferences::currentNewDay_inContext(context) *
           static_cast<std::int32_t>(kSecondsPerHour);
}

std::optional<std::string> nonEmpty(const std::optional<std::string>& text) {
    if (text && !text->empty())
        return text;
    return std::nullopt;
}

ZRCDOrigin* resolveOrigin(const OriginRecordOrType& origin, ManagedObjectContext& context) {
    if (const auto* record = std::get_if<ZRCDOrigin*>(&origin)) {
        if (usable(*record, context, "createCoreDataTiming"))
            return *record;
        return ZRCDOrigin::createOrGetOriginForThisDeviceAndThisUserWithType(kOriginTypeUser,
                                                                             context);
    }
    return ZRCDOrigin::createOrGetOriginForThisDeviceAndThisUserWithType(
        std::get<std::int16_t>(origin), context);
}

ZRCDTiming* createRunningTimingNow(ZRCDTask* task, ZRCDOrigin* origin, std::int16_t originType,
                                   ManagedObjectContext& context) {
    if (!usable(task, context, "createRunningTimingNowForTask"))
        return nullptr;
    auto* timing = context.insertNewObject<ZRCDTiming>();
    timing->setOrigin(origin ? origin
                             : ZRCDOrigin::createOrGetOriginForThisDeviceAndThisUserWithType(
                                   originType, context));
    const Instant now = Clock::current().now();
    timing->setModified(now);
    // Half a second back, so that a timer started right after another stopped never starts
    // before it ends in the lists.
    timing->setStartDate(now - 0.5);
    timing->setEndDate(kSentinelDate);
    task->setUpdatedDate(now);
    timing->setTask(task);
    timing->setTimezone(ZRCalendar::zrCalendar().timeZoneName());
    timing->setNewDayOffset(preferencesNewDayOffset(context));
    // The uuid completes the day-relevant fields: its setter runs the day assignment.
    timing->setUuid(makeUuid());
    scheduleUserScriptCall(kTimerStartedForTiming, timing->uuid());
    return timing;
}

}  // namespace

ZRCDTiming* ZRCDTiming::createRunningTimingNowForTask_andOrigin(ZRCDTask* task,
                                                                std::int16_t originType,
                                                                ManagedObjectContext& context) {
    return createRunningTimingNow(task, nullptr, originType, context);
}

ZRCDTiming* ZRCDTiming::createRunningTimingNowForTask_andOriginObject(
    ZRCDTask* task, ZRCDOrigin* origin, ManagedObjectContext& context) {
    if (origin && !usable(origin, context, "createRunningTimingNowForTask"))
        return nullptr;
    return createRunningTimingNow(task, origin, kOriginTypeUser, context);
}

ZRCDTiming* ZRCDTiming::createCoreDataTimingWithStartDate(
    std::optional<Instant> startDate, std::optional<Instant> endDate, ZRCDTask* task,
    const std::optional<std::string>& notes, std::int16_t originType,
    const std::optional<std::string>& uuid, ManagedObjectContext& context) {
    if (!usable(task, context, "createCoreDataTiming") || !acceptableInterval(startDate, endDate))
        return nullptr;
    auto* timing = context.insertNewObject<ZRCDTiming>();
    timing->setOrigin(
        ZRCDOrigin::createOrGetOriginForThisDeviceAndThisUserWithType(originType, context));
    timing->setTimezone(ZRCalendar::zrCalendar().timeZoneName());
    timing->setNewDayOffset(preferencesNewDayOffset(context));
    timing->setEndDate(endDate);
    if (auto note = nonEmpty(notes))
        timing->setNote(std::move(note));
    timing->setUuid(nonEmpty(uuid) ? uuid : std::optional<std::string>(makeUuid()));
    timing->setTask(task);
    timing->setStartDate(startDate);
    timing->setModified(endDate);
    return timing;
}

ZRCDTiming* ZRCDTiming::createCoreDataTimingWithStartDate_andNewDayOffset(
    std::optional<Instant> startDate, std::optional<Instant> endDate, std::int32_t newDayOffset,
    const std::optional<std::string>& timezone, ZRCDTask* task,
    const std::optional<std::string>& notes, const std::optional<std::string>& uuid,
    OriginRecordOrType origin, std::int16_t billing, ManagedObjectContext& context) {
    if (!nonEmpty(uuid) || !usable(task, context, "createCoreDataTiming") ||
        !acceptableInterval(startDate, endDate)) {
        return nullptr;
    }
    // A cut-off that was never known (-1) or cannot be one would keep the timing out of every
    // day total; it is counted with today's cut-off instead, as a new entry would be.
    if (newDayOffset < 0 || newDayOffset >= kSecondsPerDay)
        newDayOffset = preferencesNewDayOffset(context);

    auto* timing = context.insertNewObject<ZRCDTiming>();
    timing->setStartDate(startDate);
    timing->setEndDate(endDate);
    timing->setNewDayOffset(newDayOffset);
    timing->setModified(endDate);
    timing->setTimezone(nonEmpty(timezone)
                            ? timezone
                            : std::optional<std::string>(ZRCalendar::zrCalendar().timeZoneName()));
    timing->setTask(task);
    if (auto note = nonEmpty(notes))
        timing->setNote(std::move(note));
    timing->setUuid(uuid);
    timing->setBilling(billing);
    timing->setOrigin(resolveOrigin(origin, context));
    return timing;
}

ZRCDTiming* ZRCDTiming::createCoreDataTimingWithStartDate_andMaxDate(
    std::optional<Instant> startDate, std::optional<Instant> endDate,
    std::optional<Instant> maxDate, std::int32_t timezoneOffset, ZRCDTask* task,
    const std::optional<std::string>& notes, const std::optional<std::string>& uuid,
    OriginRecordOrType origin, std::int16_t billing, ManagedObjectContext& context) {
    if (timezoneOffset == -1)
        timezoneOffset = 0;
    // No zone is a day or more away from GMT; such an offset names GMT (and is logged there).
    if (timezoneOffset > zones::kMaxFixedOffset || timezoneOffset < -zones::kMaxFixedOffset)
        timezoneOffset = 0;
    const std::string zone = zones::fixedOffsetTimeZoneName(timezoneOffset);

    // maxDate was the end of the timing's last day, so it lies at the cut-off after a local
    // midnight: 2012-03-04 04:00 in GMT+0100 gives 4 * 3600 = 14400 seconds.
    std::int32_t newDayOffset = 0;
    if (maxDate && std::isfinite(*maxDate) && *maxDate != kNoMaxDate) {
        const Instant midnight = date_additions::beginningOfDayIgnoringZRNewDayUsingTimezoneOffset(
            *maxDate, timezoneOffset);
        newDayOffset = static_cast<std::int32_t>(std::trunc(*maxDate - midnight));
    }
    return createCoreDataTimingWithStartDate_andNewDayOffset(
        startDate, endDate, newDayOffset, zone, task, notes, uuid, origin, billing, context);
}

void ZRCDTiming::deleteTimingAndUpdateTimingSets(ZRCDTiming* timing,
                                                 ManagedObjectContext& context) {
    if (!timing || timing->isDeleted() || timing->managedObjectContext() != &context)
        return;
    timing->leaveTimingSets(context);
    context.deleteObject(timing);
}

}  // namespace ravelong
