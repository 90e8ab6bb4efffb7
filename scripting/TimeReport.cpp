#include "scripting/TimeReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <unordered_map>

#include "core/calendar/CivilDays.h"
#include "core/calendar/DayBounds.h"
#include "core/calendar/DayNumbers.h"
#include "core/calendar/PeriodDays.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/totals/RoundingRule.h"
#include "core/totals/TaskTotals.h"
#include "foundation/Clock.h"
#include "scripting/StoreReader.h"

namespace ravelong::time_report {

namespace {

std::string dayText(ZRDate day) {
    const YearMonthDay ymd = civil::civilFromDays(day);
    char text[32];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02d", static_cast<long long>(ymd.year),
                  ymd.month, ymd.day);
    return text;
}

std::string hoursAndMinutes(double seconds) {
    const long minutes = std::lround(seconds / 60.0);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", minutes / 60, minutes % 60);
    return text;
}

std::string joined(const std::vector<std::string>& path) {
    std::string text;
    for (const std::string& name : path)
        text += (text.empty() ? "" : " / ") + name;
    return text;
}

// The tasks in the order of the display chain, which lists every subtask after its parent;
// tasks the chain misses (a damaged chain) follow in store order.
std::vector<ZRCDTask*> inTreeOrder(const ManagedObjectContext& context) {
    std::vector<ZRCDTask*> all = ZRCDTask::getAllTasks_inContext(context);
    std::vector<ZRCDTask*> ordered;
    ordered.reserve(all.size());
    ZRCDTask* head = nullptr;
    for (ZRCDTask* task : all) {
        if (!task->prevTask())
            head = task;
    }
    for (ZRCDTask* task = head; task && ordered.size() < all.size(); task = task->nextTask())
        ordered.push_back(task);
    if (ordered.size() < all.size()) {
        for (ZRCDTask* task : all) {
            if (std::find(ordered.begin(), ordered.end(), task) == ordered.end())
                ordered.push_back(task);
        }
    }
    return ordered;
}

}  // namespace

std::optional<ZRDateRange> namedPeriod(std::string_view name, int hourCutoff) {
    using date_additions::StandardPeriod;
    if (name == "day" || name == "today")
        return date_additions::standardPeriodDays(StandardPeriod::today, hourCutoff);
    if (name == "week")
        return date_additions::standardPeriodDays(StandardPeriod::thisWeek, hourCutoff);
    if (name == "month")
        return date_additions::standardPeriodDays(StandardPeriod::thisMonth, hourCutoff);
    if (name == "year")
        return date_additions::standardPeriodDays(StandardPeriod::thisYear, hourCutoff);
    if (name == "all")
        return kAllDays;
    return std::nullopt;
}

std::optional<ZRDate> dayFromText(std::string_view text) {
    int year = 0, month = 0, day = 0;
    char tail = 0;
    const std::string copy(text);
    if (copy.size() != 10 ||
        std::sscanf(copy.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &tail) != 3)
        return std::nullopt;
    if (year < 1 || month < 1 || month > 12 || day < 1)
        return std::nullopt;
    const ZRDate number = static_cast<ZRDate>(civil::daysFromCivil(year, month, day));
    // Rejects 2023-02-29 and the like: the day must come back as written.
    const YearMonthDay back = civil::civilFromDays(number);
    if (back.year != year || back.month != month || back.day != day)
        return std::nullopt;
    return number;
}

std::vector<Row> build(const ManagedObjectContext& context, ZRDateRange days,
                       bool includeArchived) {
    std::vector<Row> rows;
    for (const ZRCDTask* task : inTreeOrder(context)) {
        if (task->isArchived() && !includeArchived)
            continue;
        const double seconds = task_totals::getTimeBetweenStartZRDate(*task, days.first, days.last,
                                                                      !includeArchived, false);
        if (seconds <= 0.0)
            continue;
        std::vector<std::string> path = task->taskNameArray();
        if (path.empty())
            path.push_back(task->taskName().value_or(""));
        rows.push_back(
            Row{task->uuid().value_or(""), std::move(path), task->isArchived(), seconds});
    }
    return rows;
}

namespace {

// A running timer's time inside days first...last up to now, each day's part counted only
// beyond 5 seconds, as the day aggregates count a running timer.
double runningPart(const StoreReader::Timing& timing, ZRDate first, ZRDate last, Instant now) {
    if (timing.timeZone.empty())
        return 0.0;
    constexpr std::int32_t kSecondsPerDay = 86400;
    constexpr double kMinimumCountedSeconds = 5.0;
    const std::int32_t offset =
        timing.newDayOffset < 0 || timing.newDayOffset >= kSecondsPerDay ? 0 : timing.newDayOffset;
    const std::int64_t startDay =
        date_additions::zrDateWithTimeZoneName(timing.start, timing.timeZone, offset, false);
    const std::int64_t nowDay =
        date_additions::zrDateWithTimeZoneName(now, timing.timeZone, offset, true);
    const std::int64_t to = std::min<std::int64_t>(last, nowDay);
    const std::int64_t from =
        std::max<std::int64_t>({first, startDay, to - ZRCDTimingSet::kMaxDaysPerTiming});
    double total = 0.0;
    for (std::int64_t day = from; day <= to; ++day) {
        const auto date = static_cast<ZRDate>(day);
        const Instant dayStart =
            date_additions::beginningOfDayForZRDate(date, timing.timeZone, offset);
        const Instant dayEnd = date_additions::endOfDayForZRDate(date, timing.timeZone, offset);
        const double inDay = std::min(now, dayEnd) - std::max(timing.start, dayStart);
        if (inDay > kMinimumCountedSeconds)
            total += inDay;
    }
    return total;
}

}  // namespace

Result<std::optional<std::vector<Row>>> buildFromStore(StoreReader& reader, ZRDateRange days,
                                                       bool includeArchived) {
    auto tasks = reader.tasksInTreeOrder();
    auto sums = reader.aggregateSums(days.first, days.last);
    auto running = reader.runningTimings();
    if (!tasks || !sums || !running)
        return !tasks ? tasks.error() : !sums ? sums.error() : running.error();
    std::unordered_map<std::int64_t, const StoreReader::Task*> byPk;
    for (const StoreReader::Task& task : tasks.value())
        byPk[task.pk] = &task;

    // As the totals read a set: rounded by its task's effective rule (its own code, else the
    // nearest ancestor's) from the set's cache when that rule rounds, else plain.
    const auto effectiveRounding = [&](std::int64_t pk) {
        const StoreReader::Task* task = byPk.count(pk) ? byPk.at(pk) : nullptr;
        for (int depth = 0; task && depth < 4; ++depth) {
            if (task->rounding >= 0)
                return task->rounding;
            task = task->parent != 0 && byPk.count(task->parent) ? byPk.at(task->parent) : nullptr;
        }
        return std::int16_t{0};
    };
    std::unordered_map<std::int64_t, double> own;
    for (const StoreReader::AggregateSums& sum : sums.value()) {
        const std::int16_t code = effectiveRounding(sum.task);
        if (!rounding_rule::roundsDurations(code)) {
            own[sum.task] += sum.duration;
        } else if (sum.cachedRounding == code) {
            own[sum.task] += sum.roundedDuration;
        } else {
            return std::optional<std::vector<Row>>();  // a stale cache
        }
    }
    const Instant now = Clock::current().now();
    for (const StoreReader::Timing& timing : running.value())
        own[timing.task] += runningPart(timing, days.first, days.last, now);
    std::unordered_map<std::int64_t, std::vector<const StoreReader::Task*>> children;
    for (const StoreReader::Task& task : tasks.value()) {
        if (task.parent != 0)
            children[task.parent].push_back(&task);
    }
    const auto ownOf = [&](const StoreReader::Task& task) {
        const auto found = own.find(task.pk);
        return found == own.end() ? 0.0 : found->second;
    };
    static const std::vector<const StoreReader::Task*> kNone;
    const auto childrenOf =
        [&](const StoreReader::Task& task) -> const std::vector<const StoreReader::Task*>& {
        const auto found = children.find(task.pk);
        return found == children.end() ? kNone : found->second;
    };
    // As the totals count a task: its own aggregates when it has no subtasks, else those of its
    // children without subtasks and of its grandchildren; archived ones left out unless asked.
    const bool excluding = !includeArchived;
    std::vector<Row> rows;
    for (const StoreReader::Task& task : tasks.value()) {
        if (task.archived && excluding)
            continue;
        double seconds = 0.0;
        const auto& direct = childrenOf(task);
        if (direct.empty())
            seconds = ownOf(task);
        for (const StoreReader::Task* child : direct) {
            if (excluding && child->archived)
                continue;
            const auto& grandchildren = childrenOf(*child);
            if (grandchildren.empty())
                seconds += ownOf(*child);
            for (const StoreReader::Task* grandchild : grandchildren) {
                if (!(excluding && grandchild->archived))
                    seconds += ownOf(*grandchild);
            }
        }
        if (seconds <= 0.0)
            continue;
        std::vector<std::string> path = task.path;
        if (path.empty())
            path.push_back(task.name);
        rows.push_back(Row{task.uuid, std::move(path), task.archived, seconds});
    }
    return std::optional<std::vector<Row>>(std::move(rows));
}

std::string csvField(const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos)
        return field;
    std::string quoted = "\"";
    for (const char c : field) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::optional<Format> formatFromText(std::string_view text) {
    if (text == "text")
        return Format::text;
    if (text == "csv")
        return Format::csv;
    if (text == "json")
        return Format::json;
    return std::nullopt;
}

void write(std::ostream& out, const std::vector<Row>& rows, ZRDateRange days, Format format) {
    double total = 0.0;
    for (const Row& row : rows) {
        if (row.path.size() <= 1)
            total += row.seconds;
    }
    switch (format) {
        case Format::text: {
            out << dayText(days.first) << " – " << dayText(days.last) << "\n";
            std::size_t width = 5;
            for (const Row& row : rows)
                width = std::max(width, 2 * (row.path.size() - 1) + row.path.back().size());
            for (const Row& row : rows) {
                const std::string name =
                    std::string(2 * (row.path.size() - 1), ' ') + row.path.back();
                out << name << std::string(width + 2 - name.size(), ' ')
                    << hoursAndMinutes(row.seconds) << "\n";
            }
            out << "Total" << std::string(width + 2 - 5, ' ') << hoursAndMinutes(total) << "\n";
            break;
        }
        case Format::csv:
            out << "uuid,task,tier,seconds,hours\r\n";
            for (const Row& row : rows) {
                char hours[32];
                std::snprintf(hours, sizeof hours, "%.2f", row.seconds / 3600.0);
                out << csvField(row.uuid) << "," << csvField(joined(row.path)) << ","
                    << row.path.size() << "," << std::llround(row.seconds) << "," << hours
                    << "\r\n";
            }
            break;
        case Format::json: {
            nlohmann::json tasks = nlohmann::json::array();
            for (const Row& row : rows)
                tasks.push_back({{"uuid", row.uuid}, {"path", row.path}, {"seconds", row.seconds}});
            const nlohmann::json document{{"first", dayText(days.first)},
                                          {"last", dayText(days.last)},
                                          {"total_seconds", total},
                                          {"tasks", tasks}};
            out << document.dump(2) << "\n";
            break;
        }
    }
}

}  // namespace ravelong::time_report
