#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/calendar/CalendarTypes.h"
#include "foundation/Error.h"
#include "foundation/Instant.h"

namespace ravelong {

class SqliteDatabase;

// The store file read straight from SQLite, for commands that only look: a read-only connection
// that asks only for the rows a command needs, takes no lock of the writer's and builds no
// object graph, so it answers in milliseconds beside a running Ravelong (WAL readers never
// wait for the writer). open() gives nothing when the store cannot be read this way (no file
// yet, a file of another model version that wants migrating first); the command then opens the
// store the slow, thorough way.
class StoreReader {
public:
    struct Task {
        std::int64_t pk = 0;
        std::string uuid;
        std::string name;
        bool archived = false;
        std::int64_t parent = 0;  // 0: a top-level task
        std::int16_t rounding = 0;
        std::vector<std::string> path;  // the names from the top-level task down (at most 3)
    };
    struct Timing {
        std::string uuid;
        std::int64_t task = 0;  // the task's pk, 0 without a task
        Instant start = 0.0;
        Instant end = 0.0;  // kSentinelDate while running
        std::string note;
        std::string timeZone;
        std::int32_t newDayOffset = 0;
        bool running() const { return end == kSentinelDate; }
    };

    ~StoreReader();
    StoreReader(StoreReader&&) noexcept;

    static std::optional<StoreReader> open(const std::filesystem::path& storeFile);

    // Every task in the order of the display chain (every subtask after its parent); tasks a
    // damaged chain misses follow by pk.
    Result<std::vector<Task>> tasksInTreeOrder();
    // One task by pk, with its path; nothing when there is none.
    Result<std::optional<Task>> task(std::int64_t pk);
    // The running timings, the last modified first.
    Result<std::vector<Timing>> runningTimings();
    // The timings that overlap [from, to), running ones included, by start.
    Result<std::vector<Timing>> timingsBetween(Instant from, Instant to);
    // The preferences' day cut-off hour (0 without preferences).
    Result<int> newDayHour();
    // The day aggregates over days first...last summed per task: the plain durations (running
    // timers left out), the cached rounded ones, and whether every set's cache was made with
    // one rounding code. Tasks without aggregates there are missing.
    struct AggregateSums {
        std::int64_t task = 0;
        std::optional<std::int16_t> cachedRounding;  // the code of every set's rounded cache
        double duration = 0.0;
        double roundedDuration = 0.0;
    };
    Result<std::vector<AggregateSums>> aggregateSums(ZRDate first, ZRDate last);

private:
    explicit StoreReader(std::unique_ptr<SqliteDatabase> db);
    Error readError(const std::string& what) const;
    // The sums from the store's task totals, when it keeps them and they hold just the days
    // first...last; nothing otherwise.
    std::optional<std::vector<AggregateSums>> sumsFromTaskTotals(ZRDate first, ZRDate last);

    std::unique_ptr<SqliteDatabase> db_;
};

}  // namespace ravelong
