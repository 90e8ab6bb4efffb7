// The in-place upgrade of a heavy user's version 14 store (200,000 timings, 2,000 tasks, their
// day aggregates) to the current version, timed as the launch experiences it: opening the file.
#include <cmath>
#include <cstdio>
#include <iostream>
#include <random>
#include <string>
#include <system_error>

#include "app/RavelongMigrations.h"
#include "app/StoreLayouts.h"
#include "bench/BenchSuite.h"
#include "bench/HeavyUserGenerator.h"
#include "core/model/RavelongModel.h"
#include "store/PersistentStore.h"
#include "store/SqliteDatabase.h"

namespace ravelong::bench {

namespace {

constexpr int kTimings = 200000;
constexpr int kTasks = 2000;
constexpr int kDays = 3650;
constexpr std::int64_t kNoMaxDate = 63082281600;  // 4000-01-01 as seconds since 2001

Status run(SqliteDatabase& db, const std::string& sql) {
    return db.execute(sql);
}

std::string uuidFor(std::uint64_t a, std::uint64_t b) {
    char text[40];
    std::snprintf(text, sizeof text, "%08llX-%04llX-4%03llX-8%03llX-%012llX",
                  static_cast<unsigned long long>(a & 0xffffffff),
                  static_cast<unsigned long long>((a >> 32) & 0xffff),
                  static_cast<unsigned long long>(b & 0xfff),
                  static_cast<unsigned long long>((b >> 12) & 0xfff),
                  static_cast<unsigned long long>((b >> 24) & 0xffffffffffffULL));
    return text;
}

// Writes a version 14 file directly in that version's layout: offsets of three zones, day
// cut-offs 0 and 4 hours (as maxDate), some timings without maxDate, notes, links to tasks,
// origins and the day aggregates of their days.
Status writeVersion14File(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    auto opened = SqliteDatabase::open(path, SqliteDatabase::Mode::ReadWrite);
    if (!opened)
        return opened.error();
    SqliteDatabase& db = *opened.value();
    const store_layouts::StoreLayout& layout = store_layouts::layoutOfVersion13Or14(14);
    for (const char* pragma : {"PRAGMA synchronous = OFF", "PRAGMA journal_mode = DELETE", "BEGIN"})
        if (Status s = run(db, pragma); !s)
            return s;
    for (const std::string& sql : store_layouts::createStatements(layout))
        if (Status s = run(db, sql); !s)
            return s;
    if (Status s =
            run(db, "INSERT INTO Z_METADATA VALUES ('storeUUID', '" + uuidFor(14, 14) + "')");
        !s)
        return s;

    std::mt19937_64 random(20140502);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<std::uint64_t>(n)); };
    const std::int64_t offsets[] = {3600, -18000, 19800};
    const char* notes[] = {"Call with the client", "Review", "Émail follow-up ✓", "Travel"};

    if (Status s = run(db,
                       "INSERT INTO ZRCDOrigin (pk, device, udid, deviceNameChanged, user, uid, "
                       "userNameChanged, type) VALUES (1, 'Laptop', 'a4c3f0e2b811', 4e8, 'Alex', "
                       "501, 4e8, 0), (2, 'Desktop', '0c9d8e7f6a5b', 4e8, 'Alex', 501, 4e8, 0), "
                       "(3, 'Laptop', 'a4c3f0e2b811', 4e8, 'Alex', 501, 4e8, 2)");
        !s)
        return s;
    auto task = db.prepare(
        "INSERT INTO ZRCDTask (pk, createdDay, date, updatedDate, isArchived, "
        "isVisibleDuringSearch, isVisibleInDataSelection, isVisibleInMenuBar, taskColor, "
        "taskName, uuid, rounding, parentTask, nextTask) VALUES (?, 20150101, 4.5e8, 7.5e8, ?, 0, "
        "1, 1, x'336699', ?, ?, -1, ?, ?)");
    if (!task)
        return task.error();
    for (int pk = 1; pk <= kTasks; ++pk) {
        task->bindInt(1, pk);
        task->bindInt(2, pick(10) == 0);
        task->bind(3, Value("Task " + std::to_string(pk)));
        task->bind(4, Value(uuidFor(1, static_cast<std::uint64_t>(pk))));
        task->bind(5, pk > 100 ? Value(std::int64_t{1 + (pk - 1) % 100}) : Value());
        task->bind(6, pk < kTasks ? Value(std::int64_t{pk + 1}) : Value());
        if (Status s = task->run(); !s)
            return s;
    }

    auto timing = db.prepare(
        "INSERT INTO ZRCDTiming (pk, endDate, maxDate, note, startDate, timezoneOffset, uuid, "
        "origin, task, firstTimingSet) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    auto set = db.prepare(
        "INSERT INTO ZRCDTimingSet (pk, absDay, day, duration, roundedDuration, cachedRounding, "
        "running, task) VALUES (?, ?, 0, ?, -1, -1, 0, ?)");
    auto link = db.prepare("INSERT INTO ZRCDTiming_timingSets (owner, member) VALUES (?, ?)");
    if (!timing || !set || !link)
        return Error{kRavelongErrorDomain, 1, "Cannot prepare the benchmark inserts", ""};
    const int perDay = kTimings / kDays + 1;
    std::int64_t setPk = 0;
    for (int pk = 1; pk <= kTimings; ++pk) {
        const int day = 5000 + (pk - 1) / perDay;  // days since 2001
        const std::int64_t offset = offsets[(day / 700) % 3];
        const int cutoffHours = (day / 1000) % 2 == 0 ? 0 : 4;
        const double start = static_cast<double>(day) * 86400 - static_cast<double>(offset) +
                             8 * 3600 + pick(36000) + 0.5;
        const double end = start + 600 + pick(7200);
        const int taskPk = 101 + pick(kTasks - 100);
        timing->bindInt(1, pk);
        timing->bind(2, Value(end));
        if (pick(20) == 0) {
            timing->bind(3, Value(static_cast<double>(kNoMaxDate)));
        } else {
            timing->bind(3, Value(static_cast<double>(day + 1) * 86400 -
                                  static_cast<double>(offset) + cutoffHours * 3600));
        }
        timing->bind(4, pick(5) == 0 ? Value(std::string(notes[pick(4)])) : Value());
        timing->bind(5, Value(start));
        timing->bindInt(6, offset);
        timing->bind(7, Value(uuidFor(2, static_cast<std::uint64_t>(pk))));
        timing->bindInt(8, 1 + pick(3));
        timing->bindInt(9, taskPk);
        set->bindInt(1, ++setPk);
        set->bindInt(2, 11323 + day);
        set->bind(3, Value(end - start));
        set->bindInt(4, taskPk);
        if (Status s = set->run(); !s)
            return s;
        timing->bindInt(10, setPk);
        if (Status s = timing->run(); !s)
            return s;
        link->bindInt(1, pk);
        link->bindInt(2, setPk);
        if (Status s = link->run(); !s)
            return s;
    }
    if (Status s = run(db,
                       "INSERT INTO ZRCDPreferences (pk, allowMultipleTimers, newDay, uuid) "
                       "VALUES (1, 0, 4, 'PREFERENCES')");
        !s)
        return s;
    if (Status s = run(db, "PRAGMA user_version = 14"); !s)
        return s;
    return run(db, "COMMIT");
}

int runMigrationSuite() {
    const std::filesystem::path folder = benchDataDirectory();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::filesystem::path original = folder / "version14-200k.sqlite";
    if (!std::filesystem::exists(original)) {
        Status written = writeVersion14File(original);
        if (!written) {
            std::filesystem::remove(original, ec);
            std::cerr << "cannot write the version 14 store: " << written.error().description
                      << '\n';
            return 1;
        }
    }

    const std::filesystem::path working = folder / "version14-200k-upgrading.sqlite";
    std::vector<double> seconds;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::filesystem::remove(working, ec);
        std::filesystem::copy_file(original, working, ec);
        if (ec) {
            std::cerr << "cannot copy the version 14 store: " << ec.message() << '\n';
            return 1;
        }
        Status opened = Status::success();
        seconds.push_back(secondsFor([&] {
            auto store = PersistentStore::open(working, ravelongModel(), ravelongStoreOptions());
            if (!store)
                opened = store.error();
        }));
        if (!opened) {
            std::cerr << opened.error().description << ": " << opened.error().failureReason << '\n';
            return 1;
        }
    }
    printFigure("migrate_v14_200k_s", median(seconds), "s");
    std::filesystem::remove(working, ec);
    std::filesystem::remove(working.string() + ".lock", ec);
    return 0;
}

}  // namespace

RAVELONG_BENCH_SUITE("migration", runMigrationSuite);

}  // namespace ravelong::bench
