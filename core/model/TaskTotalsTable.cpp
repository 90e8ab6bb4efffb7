#include "core/model/TaskTotalsTable.h"

#include <string>

namespace ravelong::task_totals_table {

namespace {

// What one aggregate `row` (NEW or OLD) adds, as the columns of the table: the scan that reads
// the aggregates directly takes a day of either number type and reads the other columns as
// numbers, NULL as 0.
struct Contribution {
    std::string counts, task, code, uncached, duration, rounded;
};

Contribution of(const std::string& row) {
    const auto micros = [&](const std::string& column) {
        return "CAST(round(coalesce(CAST(" + row + "." + column +
               " AS REAL), 0) * 1000000) AS INTEGER)";
    };
    return {row + ".task IS NOT NULL AND typeof(" + row + ".absDay) IN ('integer', 'real')",
            "CAST(" + row + ".task AS INTEGER)",
            "coalesce(CAST(" + row + ".cachedRounding AS INTEGER), 0)",
            "coalesce(CAST(" + row + ".roundedDuration AS REAL), 0) < 0",
            micros("duration"),
            micros("roundedDuration")};
}

std::string added(const Contribution& c) {
    return std::string("INSERT INTO ") + kName +
           " (task, cachedRounding, sets, uncached, duration, roundedDuration) SELECT " + c.task +
           ", " + c.code + ", 1, " + c.uncached + ", " + c.duration + ", " + c.rounded + " WHERE " +
           c.counts +
           " ON CONFLICT (task, cachedRounding) DO UPDATE SET sets = sets + 1, uncached = "
           "uncached + excluded.uncached, duration = duration + excluded.duration, "
           "roundedDuration = roundedDuration + excluded.roundedDuration;";
}

std::string taken(const Contribution& c) {
    return std::string("UPDATE ") + kName + " SET sets = sets - 1, uncached = uncached - (" +
           c.uncached + "), duration = duration - " + c.duration +
           ", roundedDuration = roundedDuration - " + c.rounded + " WHERE " + c.counts +
           " AND task = " + c.task + " AND cachedRounding = " + c.code + ";";
}

}  // namespace

DerivedTable definition() {
    const std::string table = kName;
    const Contribution fresh = of("NEW"), gone = of("OLD");
    DerivedTable derived;
    derived.name = table;
    derived.source = "ZRCDTimingSet";
    derived.triggers = {table + "_insert", table + "_update", table + "_delete"};
    derived.create = {
        "CREATE TABLE " + table +
            " (task INTEGER NOT NULL, cachedRounding INTEGER NOT NULL, sets INTEGER NOT NULL, "
            "uncached INTEGER NOT NULL, duration INTEGER NOT NULL, roundedDuration INTEGER NOT "
            "NULL, PRIMARY KEY (task, cachedRounding)) WITHOUT ROWID",
        "CREATE TRIGGER " + derived.triggers[0] + " AFTER INSERT ON ZRCDTimingSet BEGIN " +
            added(fresh) + " END",
        "CREATE TRIGGER " + derived.triggers[1] +
            " AFTER UPDATE OF absDay, task, duration, roundedDuration, cachedRounding ON "
            "ZRCDTimingSet BEGIN " +
            taken(gone) + " " + added(fresh) + " END",
        "CREATE TRIGGER " + derived.triggers[2] + " AFTER DELETE ON ZRCDTimingSet BEGIN " +
            taken(gone) + " END",
    };
    const Contribution row = of("ZRCDTimingSet");
    derived.fill = "INSERT INTO " + table +
                   " (task, cachedRounding, sets, uncached, duration, roundedDuration) SELECT " +
                   row.task + ", " + row.code + ", count(*), sum(" + row.uncached + "), sum(" +
                   row.duration + "), sum(" + row.rounded + ") FROM ZRCDTimingSet WHERE " +
                   row.counts + " GROUP BY 1, 2";
    return derived;
}

}  // namespace ravelong::task_totals_table
