#include "scripting/StoreReader.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <unordered_map>
#include <unordered_set>

#include "core/model/RavelongModel.h"
#include "core/model/TaskTotalsTable.h"
#include "core/model/ZRCDPreferences.h"
#include "store/ManagedObjectModel.h"
#include "store/SqliteDatabase.h"

namespace ravelong {

namespace {

std::string textOf(const SqliteStatement& statement, int column) {
    const Value value = statement.column(column);
    const auto* text = std::get_if<std::string>(&value);
    return text ? *text : std::string();
}

double realOf(const SqliteStatement& statement, int column) {
    const Value value = statement.column(column);
    if (const auto* real = std::get_if<double>(&value))
        return *real;
    if (const auto* integer = std::get_if<std::int64_t>(&value))
        return static_cast<double>(*integer);
    return 0.0;
}

constexpr const char* kTimingColumns =
    "uuid, task, startDate, endDate, note, timezone, newDayOffset";

StoreReader::Timing timingOf(const SqliteStatement& statement) {
    StoreReader::Timing timing;
    timing.uuid = textOf(statement, 0);
    timing.task = statement.columnInt(1);
    timing.start = realOf(statement, 2);
    timing.end = realOf(statement, 3);
    timing.note = textOf(statement, 4);
    timing.timeZone = textOf(statement, 5);
    timing.newDayOffset = static_cast<std::int32_t>(statement.columnInt(6));
    return timing;
}

}  // namespace

StoreReader::StoreReader(std::unique_ptr<SqliteDatabase> db) : db_(std::move(db)) {}
StoreReader::~StoreReader() = default;
StoreReader::StoreReader(StoreReader&&) noexcept = default;

std::optional<StoreReader> StoreReader::open(const std::filesystem::path& path) {
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(path, ignored))
        return std::nullopt;
    auto db = SqliteDatabase::open(path, SqliteDatabase::Mode::ReadOnly);
    if (!db)
        return std::nullopt;
    // Only a store of this model version reads as this code expects; any other one is opened
    // the thorough way, which migrates it or says why it cannot.
    auto version = db.value()->queryInt("PRAGMA user_version");
    if (!version || version.value() != ravelongModel().version() ||
        !db.value()->tableExists("ZRCDTask") || !db.value()->tableExists("ZRCDTiming") ||
        !db.value()->tableExists("ZRCDPreferences") || !db.value()->tableExists("ZRCDTimingSet"))
        return std::nullopt;
    // Long reports read much of the file: mapped, its pages need no copying. Failing, this only
    // leaves the reads slower.
    (void)db.value()->execute("PRAGMA mmap_size = 1073741824");
    return StoreReader(std::move(db.value()));
}

Error StoreReader::readError(const std::string& what) const {
    return Error{"store reader", 1, "The store could not be read (" + what + ").",
                 db_->lastError()};
}

Result<std::vector<StoreReader::Task>> StoreReader::tasksInTreeOrder() {
    auto statement = db_->prepare(
        "SELECT pk, uuid, taskName, isArchived, parentTask, nextTask, rounding FROM ZRCDTask "
        "ORDER BY pk");
    if (!statement)
        return readError("tasks");
    std::vector<Task> all;
    std::unordered_map<std::int64_t, std::size_t> byPk;
    std::unordered_map<std::int64_t, std::int64_t> next;
    std::unordered_set<std::int64_t> hasPrevious;
    while (statement->step()) {
        Task task;
        task.pk = statement->columnInt(0);
        task.uuid = textOf(*statement, 1);
        task.name = textOf(*statement, 2);
        task.archived = statement->columnInt(3) != 0;
        task.parent = statement->columnInt(4);
        task.rounding = static_cast<std::int16_t>(statement->columnInt(6));
        const std::int64_t following = statement->columnInt(5);
        if (following != 0) {
            next[task.pk] = following;
            hasPrevious.insert(following);
        }
        byPk[task.pk] = all.size();
        all.push_back(std::move(task));
    }
    if (statement->failed())
        return readError("tasks");
    // The names from the top-level task down; three tiers at most, which also ends a parent
    // loop a damaged store might hold.
    for (Task& task : all) {
        const Task* tier = &task;
        for (int depth = 0; tier && depth < 3; ++depth) {
            task.path.insert(task.path.begin(), tier->name);
            const auto parent = byPk.find(tier->parent);
            tier = tier->parent != 0 && parent != byPk.end() ? &all[parent->second] : nullptr;
        }
    }
    // The chain's head is the task nothing points to; like the object graph's walk, the last
    // such task in pk order.
    std::int64_t head = 0;
    for (const Task& task : all) {
        if (!hasPrevious.count(task.pk))
            head = task.pk;
    }
    std::vector<Task> ordered;
    ordered.reserve(all.size());
    std::vector<bool> taken(all.size(), false);
    for (std::int64_t pk = head; pk != 0 && ordered.size() < all.size();) {
        const auto found = byPk.find(pk);
        if (found == byPk.end() || taken[found->second])
            break;
        taken[found->second] = true;
        ordered.push_back(std::move(all[found->second]));
        const auto following = next.find(pk);
        pk = following == next.end() ? 0 : following->second;
    }
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (!taken[i])
            ordered.push_back(std::move(all[i]));
    }
    return ordered;
}

Result<std::optional<StoreReader::Task>> StoreReader::task(std::int64_t pk) {
    auto statement = db_->prepare(
        "SELECT pk, uuid, taskName, isArchived, parentTask, rounding FROM ZRCDTask WHERE pk = ?1");
    if (!statement)
        return readError("a task");
    std::optional<Task> found;
    // The task, then its parent and grandparent for the path (three tiers at most).
    for (std::int64_t next = pk; next != 0 && (!found || found->path.size() < 3);) {
        statement->reset();
        statement->bindInt(1, next);
        if (!statement->step())
            break;
        const std::string name = textOf(*statement, 2);
        if (!found) {
            found = Task{};
            found->pk = statement->columnInt(0);
            found->uuid = textOf(*statement, 1);
            found->name = name;
            found->archived = statement->columnInt(3) != 0;
            found->parent = statement->columnInt(4);
            found->rounding = static_cast<std::int16_t>(statement->columnInt(5));
        }
        found->path.insert(found->path.begin(), name);
        next = statement->columnInt(4);
    }
    if (statement->failed())
        return readError("a task");
    return found;
}

Result<std::vector<StoreReader::Timing>> StoreReader::runningTimings() {
    auto statement = db_->prepare(std::string("SELECT ") + kTimingColumns +
                                  " FROM ZRCDTiming WHERE endDate = 0 ORDER BY modified DESC, pk");
    if (!statement)
        return readError("running timings");
    std::vector<Timing> timings;
    while (statement->step())
        timings.push_back(timingOf(*statement));
    if (statement->failed())
        return readError("running timings");
    return timings;
}

Result<std::vector<StoreReader::Timing>> StoreReader::timingsBetween(Instant from, Instant to) {
    // The end-date index finds the stopped timings ending after `from` and the running ones.
    auto statement = db_->prepare(std::string("SELECT ") + kTimingColumns +
                                  " FROM ZRCDTiming WHERE (endDate > ?1 OR endDate = 0) AND "
                                  "startDate < ?2 ORDER BY startDate, pk");
    if (!statement)
        return readError("timings");
    statement->bind(1, Value(from));
    statement->bind(2, Value(to));
    std::vector<Timing> timings;
    while (statement->step())
        timings.push_back(timingOf(*statement));
    if (statement->failed())
        return readError("timings");
    return timings;
}

Result<int> StoreReader::newDayHour() {
    auto statement = db_->prepare("SELECT newDay FROM ZRCDPreferences WHERE uuid = ?1 LIMIT 1");
    if (!statement)
        return readError("preferences");
    statement->bind(1, Value(std::string(kPreferencesUUID)));
    const int hour = statement->step() ? static_cast<int>(statement->columnInt(0)) : 0;
    if (statement->failed())
        return readError("preferences");
    return std::clamp(hour, 0, 23);
}

namespace {

// The day aggregates summed per task as SQLite hands over the rows. Tasks are few and their pks
// small, so a task's sums are found through a table indexed by pk; unusually large pks go
// through a map.
class AggregateSummer {
public:
    void add(std::int64_t task, double duration, double rounded, std::int16_t code) {
        Sums& sums = sumsOf(task, code);
        sums.sums.duration += duration;
        sums.sums.roundedDuration += rounded;
        // A cache holds a rounded duration only when it is not negative ("none").
        if (rounded < 0.0 || code != sums.sums.cachedRounding)
            sums.mixed = true;
    }

    std::vector<StoreReader::AggregateSums> take() {
        std::vector<StoreReader::AggregateSums> result;
        result.reserve(sums_.size());
        for (Sums& sums : sums_) {
            if (sums.mixed)
                sums.sums.cachedRounding.reset();
            result.push_back(sums.sums);
        }
        return result;
    }

    // The SQL function that feeds it: ravelong_add_aggregate(absDay, task, duration,
    // roundedDuration, cachedRounding). It takes only the sets of days first...last with a
    // task, as "absDay BETWEEN first AND last AND task IS NOT NULL" would, and reads the numbers
    // as the columns' own accessors read them.
    static void addRow(sqlite3_context* context, int, sqlite3_value** values) {
        auto* summer = static_cast<AggregateSummer*>(sqlite3_user_data(context));
        if (!summer->takesDay(values[0]) || sqlite3_value_type(values[1]) == SQLITE_NULL)
            return;
        summer->add(sqlite3_value_int64(values[1]), sqlite3_value_double(values[2]),
                    sqlite3_value_double(values[3]),
                    static_cast<std::int16_t>(sqlite3_value_int64(values[4])));
    }

    AggregateSummer(ZRDate first, ZRDate last) : first_(first), last_(last) {}

private:
    struct Sums {
        StoreReader::AggregateSums sums;
        bool mixed = false;  // caches of different codes, or sets without a cache
    };
    static constexpr std::int64_t kIndexedPks = 1 << 20;

    Sums& sumsOf(std::int64_t task, std::int16_t code) {
        std::size_t* slot = nullptr;
        if (task >= 0 && task < kIndexedPks) {
            if (static_cast<std::size_t>(task) >= slots_.size())
                slots_.resize(static_cast<std::size_t>(task) + 1, kNoSlot);
            slot = &slots_[static_cast<std::size_t>(task)];
        } else {
            slot = &largePks_.try_emplace(task, kNoSlot).first->second;
        }
        if (*slot == kNoSlot) {
            *slot = sums_.size();
            sums_.push_back(Sums{StoreReader::AggregateSums{task, code, 0.0, 0.0}});
        }
        return sums_[*slot];
    }

    bool takesDay(sqlite3_value* day) const {
        switch (sqlite3_value_type(day)) {
            case SQLITE_INTEGER: {
                const std::int64_t number = sqlite3_value_int64(day);
                return number >= first_ && number <= last_;
            }
            case SQLITE_FLOAT: {
                const double number = sqlite3_value_double(day);
                return number >= first_ && number <= last_;
            }
            default:  // NULL, and texts, which sort after every number
                return false;
        }
    }

    static constexpr std::size_t kNoSlot = static_cast<std::size_t>(-1);
    ZRDate first_;
    ZRDate last_;
    std::vector<Sums> sums_;
    std::vector<std::size_t> slots_;
    std::unordered_map<std::int64_t, std::size_t> largePks_;
};

constexpr const char* kAddAggregateFunction = "ravelong_add_aggregate";

}  // namespace

std::optional<std::vector<StoreReader::AggregateSums>> StoreReader::sumsFromTaskTotals(
    ZRDate first, ZRDate last) {
    // One read, so that the check and the totals see the same state of the file.
    if (!db_->execute("BEGIN").ok())
        return std::nullopt;
    struct EndRead {
        SqliteDatabase& db;
        ~EndRead() { (void)db.execute("COMMIT"); }
    } endRead{*db_};
    // Only the table with all its triggers is up to date: a writer that went without them
    // would have left it behind.
    if (!derived_tables::installed(*db_, task_totals_table::definition()))
        return std::nullopt;
    // The totals count every aggregate with a day: they answer for a range that holds them all.
    // (Days stored as texts sort after every number, and are outside every range.)
    for (const char* bound :
         {"SELECT min(absDay) FROM ZRCDTimingSet", "SELECT max(absDay) FROM ZRCDTimingSet"}) {
        auto statement = db_->prepare(bound);
        if (!statement || !statement->step())
            return std::nullopt;
        const Value day = statement->column(0);
        const auto* whole = std::get_if<std::int64_t>(&day);
        const auto* fraction = std::get_if<double>(&day);
        const double number = whole ? static_cast<double>(*whole) : fraction ? *fraction : 0.0;
        if (!std::holds_alternative<std::monostate>(day) &&
            (!(whole || fraction) || number < first || number > last))
            return std::nullopt;
    }
    auto rows = db_->prepare(std::string("SELECT task, cachedRounding, uncached, duration, "
                                         "roundedDuration FROM ") +
                             task_totals_table::kName + " WHERE sets > 0 ORDER BY task");
    if (!rows)
        return std::nullopt;
    std::vector<AggregateSums> sums;
    while (rows->step()) {
        const std::int64_t task = rows->columnInt(0);
        const auto code = static_cast<std::int16_t>(rows->columnInt(1));
        const bool uncached = rows->columnInt(2) > 0;
        const double duration = realOf(*rows, 3) / 1e6;
        const double rounded = realOf(*rows, 4) / 1e6;
        if (!sums.empty() && sums.back().task == task) {
            // Caches of more than one code.
            sums.back().cachedRounding.reset();
            sums.back().duration += duration;
            sums.back().roundedDuration += rounded;
        } else {
            sums.push_back(AggregateSums{task, code, duration, rounded});
        }
        if (uncached)
            sums.back().cachedRounding.reset();
    }
    if (rows->failed())
        return std::nullopt;
    return sums;
}

Result<std::vector<StoreReader::AggregateSums>> StoreReader::aggregateSums(ZRDate first,
                                                                           ZRDate last) {
    // The (absDay, task) index finds a short range. A long one is read faster straight from
    // the table than row by row through the index, and is then a whole-table read whose cost
    // is mostly per row: the sums are made inside SQLite's scan, by a function of ours the
    // query calls with each row, where stepping row by row and fetching every column through
    // the API would cost half as much again (and SQLite's GROUP BY would sort every row first).
    // The function also does the range test, cheaper there than in the query's WHERE.
    constexpr std::int64_t kIndexedDays = 400;
    const bool longRange = static_cast<std::int64_t>(last) - first > kIndexedDays;
    // Faster still, for a range that holds every day: the per-task totals the store keeps.
    if (longRange) {
        if (auto sums = sumsFromTaskTotals(first, last))
            return std::move(*sums);
    }
    AggregateSummer summer(first, last);
    sqlite3* handle = db_->handle();
    // Direct only: nothing the file holds (a view, a trigger) may call it.
    if (sqlite3_create_function_v2(
            handle, kAddAggregateFunction, 5, SQLITE_UTF8 | SQLITE_DIRECTONLY, &summer,
            &AggregateSummer::addRow, nullptr, nullptr, nullptr) != SQLITE_OK)
        return readError("day aggregates");
    struct Unregister {
        sqlite3* handle;
        ~Unregister() {
            sqlite3_create_function_v2(handle, kAddAggregateFunction, 5, SQLITE_UTF8, nullptr,
                                       nullptr, nullptr, nullptr, nullptr);
        }
    } unregister{handle};
    {
        auto statement = db_->prepare(
            // The function answers NULL, so the query gives no rows; as its condition rather
            // than as a column it is still called with every row, without a result row to make.
            std::string("SELECT 1 FROM ZRCDTimingSet WHERE ") +
            (longRange ? "" : "absDay BETWEEN ?1 AND ?2 AND ") + kAddAggregateFunction +
            "(absDay, task, duration, roundedDuration, cachedRounding)");
        if (!statement)
            return readError("day aggregates");
        if (!longRange) {
            statement->bindInt(1, first);
            statement->bindInt(2, last);
        }
        while (statement->step()) {
        }
        if (statement->failed())
            return readError("day aggregates");
    }
    return summer.take();
}

}  // namespace ravelong
