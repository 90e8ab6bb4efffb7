#include "app/ZRCDTimingV13OrV14ToV15MigrationPolicy.h"

#include <algorithm>
#include <cmath>

#include "core/calendar/DayBounds.h"
#include "core/calendar/InstantSeconds.h"
#include "core/calendar/TimeZones.h"
#include "store/StoreError.h"

namespace ravelong {

namespace {

Error failure(std::string description) {
    return storeError(StoreErrorCode::MigrationFailed, std::move(description));
}

// The source columns the conversion reads, in SELECT order after pk.
enum SourceField {
    kEndDate,
    kMaxDate,
    kNote,
    kStartDate,
    kTimezoneOffset,
    kUuid,
    kOrigin,
    kTask,
    kFirstTimingSet,
    kSourceFieldCount
};
constexpr const char* kSourceNames[kSourceFieldCount] = {
    "endDate", "maxDate", "note", "startDate",     "timezoneOffset",
    "uuid",    "origin",  "task", "firstTimingSet"};

// Where each destination column's value comes from.
enum class Target {
    Billing,
    EndDate,
    Note,
    StartDate,
    Timezone,
    NewDayOffset,
    Uuid,
    Modified,
    Origin,
    Task,
    FirstTimingSet
};

std::optional<Target> targetNamed(const std::string& name) {
    static const std::pair<const char*, Target> targets[] = {
        {"billing", Target::Billing},
        {"endDate", Target::EndDate},
        {"note", Target::Note},
        {"startDate", Target::StartDate},
        {"timezone", Target::Timezone},
        {"newDayOffset", Target::NewDayOffset},
        {"uuid", Target::Uuid},
        {"modified", Target::Modified},
        {"origin", Target::Origin},
        {"task", Target::Task},
        {"firstTimingSet", Target::FirstTimingSet}};
    for (const auto& [targetName, target] : targets) {
        if (name == targetName)
            return target;
    }
    return std::nullopt;
}

// Text, not a number, in a date or offset column is damage: copying it would read as the date
// 2001-01-01 (a running timer) or as GMT.
bool isNumber(const Value& value) {
    return std::holds_alternative<std::int64_t>(value) || std::holds_alternative<double>(value);
}

std::optional<Instant> dateFrom(const Value& value) {
    if (isAbsent(value))
        return std::nullopt;
    return value_conversion::fromValue<double>(value);
}

std::string describeTiming(const Value& uuid, std::int64_t pk) {
    if (const auto* text = std::get_if<std::string>(&uuid); text && !text->empty())
        return "The timing " + *text;
    return "The timing without uuid (record " + std::to_string(pk) + ")";
}

}  // namespace

Result<ZRCDTimingV13OrV14ToV15MigrationPolicy::DestinationFields>
ZRCDTimingV13OrV14ToV15MigrationPolicy::createDestinationInstanceForSourceInstance(
    const SourceTiming& source) {
    const std::int64_t offset = source.timezoneOffset == -1 ? 0 : source.timezoneOffset;
    if (offset > zones::kMaxFixedOffset || offset < -zones::kMaxFixedOffset) {
        return failure("has a time zone offset of " + std::to_string(source.timezoneOffset) +
                       " seconds, which no time zone has.");
    }
    DestinationFields fields;
    fields.billing = 0;
    fields.modified = source.endDate;
    fields.timezone = zones::fixedOffsetTimeZoneName(static_cast<std::int32_t>(offset));
    // A maxDate the calendar cannot place (millions of years away) says nothing about the cut-off.
    if (source.maxDate && *source.maxDate != kNoMaxDate &&
        instant_seconds::isUsable(*source.maxDate)) {
        const Instant midnight = date_additions::beginningOfDayIgnoringZRNewDayUsingTimezoneOffset(
            *source.maxDate, static_cast<std::int32_t>(offset));
        fields.newDayOffset = static_cast<std::int32_t>(std::trunc(*source.maxDate - midnight));
    }
    return fields;
}

Status ZRCDTimingV13OrV14ToV15MigrationPolicy::migrateTimings(
    SqliteDatabase& db, const std::string& sourceTable,
    const std::vector<std::string>& sourceColumns, const store_layouts::TableLayout& destination) {
    // A column the old file lacks reads as NULL, as a missing value would.
    std::string select = "SELECT pk";
    for (const char* name : kSourceNames) {
        const bool present =
            std::find(sourceColumns.begin(), sourceColumns.end(), name) != sourceColumns.end();
        select += std::string(", ") + (present ? sqlQuoted(name) : "NULL");
    }
    auto rows = db.prepare(select + " FROM " + sqlQuoted(sourceTable) + " ORDER BY pk");
    if (!rows)
        return failure(rows.error().description);

    std::vector<Target> targets;
    std::string names = "pk";
    std::string marks = "?";
    for (const auto& column : destination.columns) {
        auto target = targetNamed(column.name);
        if (!target)
            return failure("The timing column " + column.name + " has no conversion.");
        targets.push_back(*target);
        names += ", " + sqlQuoted(column.name);
        marks += ", ?";
    }
    auto insert = db.prepare("INSERT INTO " + sqlQuoted(destination.name) + " (" + names +
                             ") VALUES (" + marks + ")");
    if (!insert)
        return failure(insert.error().description);

    Value values[kSourceFieldCount];
    while (rows->step()) {
        const std::int64_t pk = rows->columnInt(0);
        for (int field = 0; field < kSourceFieldCount; ++field)
            values[field] = rows->column(field + 1);
        for (int field : {kEndDate, kMaxDate, kStartDate, kTimezoneOffset}) {
            if (!isAbsent(values[field]) && !isNumber(values[field])) {
                return failure(describeTiming(values[kUuid], pk) + " has a " + kSourceNames[field] +
                               " that is not a number.");
            }
        }
        SourceTiming source;
        source.endDate = dateFrom(values[kEndDate]);
        source.maxDate = dateFrom(values[kMaxDate]);
        source.startDate = dateFrom(values[kStartDate]);
        // Offsets were whole seconds in 32 bits; a fraction can only be rounding noise.
        const double offset = value_conversion::fromValue<double>(values[kTimezoneOffset]);
        source.timezoneOffset = std::fabs(offset) < 1e12 ? static_cast<std::int64_t>(offset)
                                                         : static_cast<std::int64_t>(1e12);
        auto converted = createDestinationInstanceForSourceInstance(source);
        if (!converted)
            return failure(describeTiming(values[kUuid], pk) + " " + converted.error().description);

        insert->bindInt(1, pk);
        for (std::size_t i = 0; i < targets.size(); ++i) {
            const int position = static_cast<int>(i) + 2;
            switch (targets[i]) {
                case Target::Billing:
                    insert->bindInt(position, converted->billing);
                    break;
                case Target::EndDate:
                    insert->bind(position, values[kEndDate]);
                    break;
                case Target::Note:
                    insert->bind(position, values[kNote]);
                    break;
                case Target::StartDate:
                    insert->bind(position, values[kStartDate]);
                    break;
                case Target::Timezone:
                    insert->bind(position, Value(converted->timezone));
                    break;
                case Target::NewDayOffset:
                    insert->bindInt(position, converted->newDayOffset);
                    break;
                case Target::Uuid:
                    insert->bind(position, values[kUuid]);
                    break;
                case Target::Modified:
                    insert->bind(position, value_conversion::toValue(converted->modified));
                    break;
                case Target::Origin:
                    insert->bind(position, values[kOrigin]);
                    break;
                case Target::Task:
                    insert->bind(position, values[kTask]);
                    break;
                case Target::FirstTimingSet:
                    insert->bind(position, values[kFirstTimingSet]);
                    break;
            }
        }
        if (Status written = insert->run(); !written) {
            return failure(describeTiming(values[kUuid], pk) +
                           " could not be written: " + written.error().description);
        }
    }
    if (rows->failed())
        return failure("The timings could not be read: " + rows->error());
    return Status::success();
}

}  // namespace ravelong
