#include "stats/CalendarDayData.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "core/calendar/DayNumbers.h"
#include "store/BackgroundReader.h"
#include "store/StoreError.h"

namespace ravelong {
namespace {

struct TaskRow {
    std::int64_t pk = 0;
    std::int64_t parent = 0;  // 0: tier 1
    bool archived = false;
    bool selected = false;
    std::string uuid;
    std::optional<Data> color;
};

Error cancelledError() {
    return Error{kRavelongErrorDomain,
                 kCalendarDayDataCancelledCode,
                 "The calendar's data were no longer wanted.",
                 {}};
}

Error readError(const SqliteStatement& statement) {
    return Error{kRavelongErrorDomain, statement.errorCode(), statement.error(), {}};
}

// Closes the snapshot however the computation ends.
class SnapshotScope {
public:
    explicit SnapshotScope(BackgroundReader& reader) : reader_(reader) {}
    ~SnapshotScope() { reader_.endSnapshot(); }
    SnapshotScope(const SnapshotScope&) = delete;
    SnapshotScope& operator=(const SnapshotScope&) = delete;

private:
    BackgroundReader& reader_;
};

Result<std::vector<TaskRow>> readTasks(SqliteDatabase& db) {
    auto statement = db.prepare(
        "SELECT pk, parentTask, isArchived, taskIsSelected, uuid, taskColor FROM "
        "ZRCDTask");
    if (!statement)
        return statement.error();
    std::vector<TaskRow> rows;
    while (statement->step()) {
        TaskRow row;
        row.pk = statement->columnInt(0);
        row.parent = statement->columnIsNull(1) ? 0 : statement->columnInt(1);
        row.archived = statement->columnInt(2) != 0;
        row.selected = statement->columnInt(3) != 0;
        const Value uuid = statement->column(4);
        if (const auto* text = std::get_if<std::string>(&uuid))
            row.uuid = *text;
        const Value color = statement->column(5);
        if (const auto* bytes = std::get_if<Data>(&color))
            row.color = *bytes;
        rows.push_back(std::move(row));
    }
    if (statement->failed())
        return readError(*statement);
    return rows;
}

// The checked tasks under the archive filter: 2 unarchived, 1 archived or with an archived child
// or grandchild, 3 all, anything else none.
std::vector<std::size_t> selectedTasks(
    const std::vector<TaskRow>& rows,
    const std::unordered_map<std::int64_t, std::vector<std::size_t>>& children,
    std::int64_t showTasks) {
    auto archivedBelow = [&](std::size_t index) {
        const auto found = children.find(rows[index].pk);
        if (found == children.end())
            return false;
        for (std::size_t child : found->second) {
            if (rows[child].archived)
                return true;
            const auto grand = children.find(rows[child].pk);
            if (grand != children.end())
                for (std::size_t grandchild : grand->second)
                    if (rows[grandchild].archived)
                        return true;
        }
        return false;
    };
    std::vector<std::size_t> result;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!rows[i].selected)
            continue;
        const bool passes = showTasks == 3   ? true
                            : showTasks == 2 ? !rows[i].archived
                            : showTasks == 1 ? rows[i].archived || archivedBelow(i)
                                             : false;
        if (passes)
            result.push_back(i);
    }
    std::sort(result.begin(), result.end(),
              [&](std::size_t a, std::size_t b) { return rows[a].uuid < rows[b].uuid; });
    return result;
}

}  // namespace

Result<CalendarDayData> computeCalendarDayData(BackgroundReader& reader,
                                               const CalendarDayRequest& request,
                                               const std::atomic<bool>& cancelled) {
    if (Status begun = reader.beginSnapshot(); !begun)
        return begun.error();
    SnapshotScope snapshot(reader);
    SqliteDatabase& db = reader.database();

    auto rows = readTasks(db);
    if (!rows)
        return rows.error();
    std::unordered_map<std::int64_t, std::vector<std::size_t>> children;
    for (std::size_t i = 0; i < rows->size(); ++i)
        if ((*rows)[i].parent != 0)
            children[(*rows)[i].parent].push_back(i);
    const std::vector<std::size_t> selected = selectedTasks(*rows, children, request.showTasks);

    // Every task whose time counts, with the selected tasks (positions in `selected`) it counts
    // for: each selected task, its children and grandchildren.
    std::unordered_map<std::int64_t, std::vector<std::size_t>> owners;
    for (std::size_t s = 0; s < selected.size(); ++s) {
        std::vector<std::int64_t> pending{(*rows)[selected[s]].pk};
        for (int tier = 0; tier < 3 && !pending.empty(); ++tier) {
            std::vector<std::int64_t> next;
            for (std::int64_t pk : pending) {
                auto& list = owners[pk];
                if (std::find(list.begin(), list.end(), s) == list.end())
                    list.push_back(s);
                if (const auto found = children.find(pk); found != children.end())
                    for (std::size_t child : found->second)
                        next.push_back((*rows)[child].pk);
            }
            pending = std::move(next);
        }
    }
    if (cancelled)
        return cancelledError();

    CalendarDayData data;
    if (owners.empty())
        return data;

    // Two index look-ups per task ("task, absDay") instead of a pass over every aggregate.
    auto span = db.prepare(
        "SELECT t.pk, (SELECT MIN(absDay) FROM ZRCDTimingSet s WHERE s.task = t.pk), (SELECT "
        "MAX(absDay) FROM ZRCDTimingSet s WHERE s.task = t.pk) FROM ZRCDTask t");
    if (!span)
        return span.error();
    std::optional<ZRDate> first;
    std::optional<ZRDate> last;
    while (span->step()) {
        if (span->columnIsNull(1) || !owners.contains(span->columnInt(0)))
            continue;
        const auto low = static_cast<ZRDate>(span->columnInt(1));
        const auto high = static_cast<ZRDate>(span->columnInt(2));
        first = first ? std::min(*first, low) : low;
        last = last ? std::max(*last, high) : high;
    }
    if (span->failed())
        return readError(*span);
    if (!first)
        return data;
    data.earliest = date_additions::zrYearMonthDayFromZRDate(*first);
    data.latest = date_additions::zrYearMonthDayFromZRDate(*last);
    data.absoluteNumberOfEarliestMonth =
        std::int64_t{data.earliest / 10000} * 12 + (data.earliest % 10000) / 100;
    if (cancelled)
        return cancelledError();

    auto perDay = db.prepare(
        "SELECT absDay, task, SUM(duration) FROM ZRCDTimingSet WHERE absDay "
        ">= ?1 AND absDay <= ?2 AND task IS NOT NULL GROUP BY absDay, task");
    if (!perDay)
        return perDay.error();
    perDay->bindInt(1, request.firstVisibleDay);
    perDay->bindInt(2, request.lastVisibleDay);
    while (perDay->step()) {
        const auto found = owners.find(perDay->columnInt(1));
        if (found == owners.end())
            continue;
        const Value sum = perDay->column(2);
        const double seconds = std::holds_alternative<double>(sum) ? std::get<double>(sum)
                               : std::holds_alternative<std::int64_t>(sum)
                                   ? static_cast<double>(std::get<std::int64_t>(sum))
                                   : 0.0;
        CalendarDay& day = data.days[date_additions::zrYearMonthDayFromZRDate(
            static_cast<ZRDate>(perDay->columnInt(0)))];
        day.seconds += seconds;
        for (std::size_t s : found->second) {
            const TaskRow& row = (*rows)[selected[s]];
            auto mark =
                std::find_if(day.tasks.begin(), day.tasks.end(),
                             [&](const CalendarTaskMark& m) { return m.taskID == row.uuid; });
            if (mark == day.tasks.end())
                mark = day.tasks.insert(
                    std::upper_bound(day.tasks.begin(), day.tasks.end(), row.uuid,
                                     [](const std::string& id, const CalendarTaskMark& m) {
                                         return id < m.taskID;
                                     }),
                    CalendarTaskMark{row.uuid, decodeTaskColor(row.color), 0.0});
            mark->seconds += seconds;
        }
    }
    if (perDay->failed())
        return readError(*perDay);
    if (cancelled)
        return cancelledError();
    return data;
}

}  // namespace ravelong
