#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <set>

#include "app/DataLocations.h"
#include "app/RavelongMigrations.h"
#include "app/StoreLayouts.h"
#include "app/StoreStack.h"
#include "core/model/RavelongModel.h"
#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "store/StoreError.h"
#include "tests/app/AppTestSupport.h"

namespace ravelong {
namespace {

using app_testing::AppEnvironment;
using app_testing::Row;

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr Instant kNoMaxDate = 63082281600.0;  // 4000-01-01 00:00:00 UTC

// The zone name a fixed offset must come out as: "GMT", "GMT+0100", "GMT-0530", "GMT+010101".
std::string expectedZoneName(std::int64_t offset) {
    if (offset == 0 || offset == -1)
        return "GMT";
    const std::int64_t magnitude = std::llabs(offset);
    char text[32];
    std::snprintf(text, sizeof text, "GMT%c%02lld%02lld", offset < 0 ? '-' : '+',
                  static_cast<long long>(magnitude / 3600),
                  static_cast<long long>(magnitude / 60 % 60));
    std::string name = text;
    if (magnitude % 60 != 0) {
        std::snprintf(text, sizeof text, "%02lld", static_cast<long long>(magnitude % 60));
        name += text;
    }
    return name;
}

// Local midnight, in a fixed offset, of the day `daysAfter2001` days after 2001-01-01.
Instant midnightInOffset(std::int64_t daysAfter2001, std::int64_t offset) {
    return static_cast<double>(daysAfter2001 * kSecondsPerDay - offset);
}

std::string taskUuid(std::int64_t pk) {
    return "00000000-0000-4000-8000-00000000000" + std::to_string(pk);
}

struct ExpectedTiming {
    std::string uuid;
    std::optional<Instant> start;
    std::optional<Instant> end;
    std::optional<std::string> note;
    std::string timezone;
    std::int32_t newDayOffset = 0;
    std::int64_t taskPk = 0;
    std::int64_t originPk = 0;
    std::int64_t firstTimingSetPk = 0;
    std::set<std::int64_t> timingSetPks;
};

// A version 14 file as the program wrote it: three origins, a small task tree, day aggregates,
// the preferences record, and generated timings over every kind of offset, cut-off and maxDate,
// with notes, running timers and links; plus the two timings whose conversion is spelled out:
//   pk 1: offset +1 h, maxDate 2014-05-02 04:00 +01:00  -> "GMT+0100", newDayOffset 14400
//   pk 2: maxDate 4000-01-01 (none)                     -> newDayOffset 0
class Version14File {
public:
    static constexpr int kTasks = 5;
    static constexpr int kTimingSets = 300;

    Version14File(const std::filesystem::path& path, int generatedTimings, int version = 14)
        : db_(app_testing::createFileOfLayout(path,
                                              store_layouts::layoutOfVersion13Or14(version))) {
        app_testing::execute(*db_, "BEGIN");
        insertOthers();
        insertTiming({"1B4E28BA-2FA1-41D2-883F-0016D3CCA427",
                      420681600.0,
                      420692000.0,
                      "Edge: one hour east",
                      "GMT+0100",
                      14400,
                      2,
                      1,
                      1,
                      {1}},
                     Value(std::int64_t{3600}), Value(420692400.0));
        insertTiming({"2C5F39CB-3AB2-42E3-994A-1127E4DDB538",
                      420681600.0,
                      420685200.0,
                      std::nullopt,
                      "GMT-0500",
                      0,
                      3,
                      2,
                      2,
                      {2, 3}},
                     Value(std::int64_t{-18000}), Value(kNoMaxDate));
        generate(generatedTimings);
        app_testing::execute(*db_, "COMMIT");
        db_.reset();
    }

    const std::vector<ExpectedTiming>& timings() const { return timings_; }
    // Rows of the tables other than the timings, which the upgrade must carry unchanged.
    static std::string otherTables(const std::filesystem::path& path) {
        auto db = app_testing::openRaw(path);
        std::string dump;
        for (const char* table :
             {"ZRCDTask", "ZRCDTask_origins", "ZRCDTiming_timingSets", "ZRCDTimingSet",
              "ZRCDOrigin", "ZRCDPreferences", "ZRCDExportPreferences", "Z_METADATA"}) {
            auto rows = db->prepare(std::string("SELECT * FROM ") + table + " ORDER BY 1, 2");
            if (!rows)
                throw std::runtime_error(rows.error().description);
            dump += std::string(table) + "\n";
            while (rows->step()) {
                for (int i = 0; i < rows->columnCount(); ++i) {
                    const Value v = rows->column(i);
                    if (auto n = std::get_if<std::int64_t>(&v))
                        dump += std::to_string(*n);
                    else if (auto d = std::get_if<double>(&v))
                        dump += std::to_string(*d);
                    else if (auto s = std::get_if<std::string>(&v))
                        dump += "'" + *s + "'";
                    else if (auto b = std::get_if<Data>(&v))
                        dump += "blob" + std::to_string(b->size());
                    else
                        dump += "null";
                    dump += "|";
                }
                dump += "\n";
            }
        }
        return dump;
    }

private:
    void insertOthers() {
        auto origin = [&](std::int64_t pk, const char* device, const char* udid, std::int64_t uid,
                          std::int64_t type) {
            app_testing::insertRow(*db_, "ZRCDOrigin",
                                   {{"pk", Value(pk)},
                                    {"device", Value(std::string(device))},
                                    {"udid", Value(std::string(udid))},
                                    {"deviceNameChanged", Value(400000000.0 + pk)},
                                    {"user", Value(std::string("Ada"))},
                                    {"uid", Value(uid)},
                                    {"userNameChanged", Value(400000000.5)},
                                    {"type", Value(type)}});
        };
        origin(1, "Analytical Engine", "0a1b2c3d4e5f", 1000, 0);
        origin(2, "Difference Engine", "ffeeddccbbaa", 501, 0);
        origin(3, "Analytical Engine", "0a1b2c3d4e5f", 1000, 2);
        for (std::int64_t pk = 1; pk <= kTasks; ++pk) {
            Row row = {{"pk", Value(pk)},
                       {"createdDay", Value(std::int64_t{20120101} + pk)},
                       {"date", Value(350000000.0 + pk)},
                       {"updatedDate", Value(360000000.25)},
                       {"isArchived", Value(std::int64_t{pk == 5})},
                       {"isVisibleInMenuBar", Value(std::int64_t{1})},
                       {"taskColor", Value(Data{0x10, 0x20, 0x30, 0x00})},
                       {"taskDescription",
                        Value(std::string("Beschreibung \xE2\x80\x94 ") + std::to_string(pk))},
                       {"taskName", Value("Task " + std::to_string(pk))},
                       {"uuid", Value(taskUuid(pk))},
                       {"rounding", Value(std::int64_t{pk == 1 ? 115 : -1})}};
            if (pk == 2 || pk == 3)
                row.push_back({"parentTask", Value(std::int64_t{1})});
            if (pk < kTasks)
                row.push_back({"nextTask", Value(pk + 1)});
            app_testing::insertRow(*db_, "ZRCDTask", row);
            app_testing::insertRow(*db_, "ZRCDTask_origins",
                                   {{"owner", Value(pk)}, {"member", Value(1 + pk % 3)}});
        }
        for (std::int64_t pk = 1; pk <= kTimingSets; ++pk) {
            app_testing::insertRow(*db_, "ZRCDTimingSet",
                                   {{"pk", Value(pk)},
                                    {"absDay", Value(std::int64_t{15000} + pk)},
                                    {"day", Value(std::int64_t{20110101} + pk)},
                                    {"duration", Value(1800.5 * static_cast<double>(pk))},
                                    {"roundedDuration", Value(-1.0)},
                                    {"cachedRounding", Value(std::int64_t{-1})},
                                    {"running", Value(std::int64_t{0})},
                                    {"task", Value(std::int64_t{2} + pk % 4)}});
        }
        app_testing::insertRow(*db_, "ZRCDPreferences",
                               {{"pk", Value(std::int64_t{1})},
                                {"allowMultipleTimers", Value(std::int64_t{1})},
                                {"newDay", Value(std::int64_t{4})},
                                {"uuid", Value(std::string("PREFERENCES"))}});
        app_testing::insertRow(*db_, "ZRCDExportPreferences",
                               {{"pk", Value(std::int64_t{1})},
                                {"csvDelimiter", Value(std::int64_t{2})},
                                {"uuid", Value(std::string("EXPORTPREFERENCES"))}});
    }

    void insertTiming(const ExpectedTiming& expected, const Value& offset, const Value& maxDate) {
        const std::int64_t pk = static_cast<std::int64_t>(timings_.size()) + 1;
        Row row = {{"pk", Value(pk)},
                   {"endDate", value_conversion::toValue(expected.end)},
                   {"maxDate", maxDate},
                   {"note", value_conversion::toValue(expected.note)},
                   {"startDate", value_conversion::toValue(expected.start)},
                   {"timezoneOffset", offset},
                   {"uuid", Value(expected.uuid)},
                   {"origin", Value(expected.originPk)},
                   {"task", Value(expected.taskPk)},
                   {"firstTimingSet", Value(expected.firstTimingSetPk)}};
        app_testing::insertRow(*db_, "ZRCDTiming", row);
        for (std::int64_t set : expected.timingSetPks) {
            app_testing::insertRow(*db_, "ZRCDTiming_timingSets",
                                   {{"owner", Value(pk)}, {"member", Value(set)}});
        }
        timings_.push_back(expected);
    }

    void generate(int count) {
        std::mt19937_64 random(20140502);
        auto pick = [&](std::int64_t n) {
            return static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(n));
        };
        const std::int64_t offsets[] = {-1,    0,      3600,  7200,   -18000, 19800,
                                        20700, -12600, 50400, -36000, 3661,   -43200};
        const double cutoffs[] = {0.0, 14400.0, 82800.0, 1800.0, 14400.75, 3599.5};
        const char* notes[] = {"Meeting", "", "Café \"Zürich\" — Ümläute", "line\nbreak",
                               "'quoted'"};
        for (int i = 0; i < count; ++i) {
            const std::int64_t offset = offsets[pick(std::size(offsets))];
            const std::int64_t effective = offset == -1 ? 0 : offset;
            const std::int64_t day = 3000 + pick(4000);
            ExpectedTiming t;
            char uuid[48];
            std::snprintf(uuid, sizeof uuid, "5A1E%04X-0000-4000-8000-%012X", i,
                          static_cast<unsigned>(i * 7919));
            t.uuid = uuid;
            t.start = midnightInOffset(day, effective) + static_cast<double>(pick(80000)) + 0.25;
            t.end = pick(50) == 0 ? 0.0 : *t.start + static_cast<double>(pick(20000));
            if (pick(10) < 3)
                t.note = notes[pick(std::size(notes))];
            t.timezone = expectedZoneName(offset);
            t.taskPk = 2 + pick(4);
            t.originPk = 1 + pick(3);
            t.firstTimingSetPk = 1 + pick(kTimingSets);
            t.timingSetPks = {t.firstTimingSetPk, 1 + pick(kTimingSets)};
            Value maxDate;
            const std::int64_t kind = pick(7);
            if (kind == 0) {
                t.newDayOffset = 0;  // absent
            } else if (kind == 1) {
                maxDate = kNoMaxDate;
                t.newDayOffset = 0;
            } else {
                const double cutoff = cutoffs[pick(std::size(cutoffs))];
                maxDate = midnightInOffset(day + 1, effective) + cutoff;
                t.newDayOffset = static_cast<std::int32_t>(cutoff);
            }
            // Offsets stored as REAL by some writers read the same.
            const Value storedOffset =
                pick(5) == 0 ? Value(static_cast<double>(offset)) : Value(offset);
            insertTiming(t, storedOffset, maxDate);
        }
    }

    std::unique_ptr<SqliteDatabase> db_;
    std::vector<ExpectedTiming> timings_;
};

class Migration : public ::testing::Test {
protected:
    AppEnvironment environment;
    DataLocations locations = DataLocations::inDataFolder(environment.folder());

    std::filesystem::path storeFile() {
        std::filesystem::create_directories(locations.groupApplicationFilesDirectory());
        return locations.storeURL();
    }
};

void expectTimingsConverted(ManagedObjectContext& context,
                            const std::vector<ExpectedTiming>& expected) {
    std::map<std::string, ZRCDTiming*> byUuid;
    for (ZRCDTiming* timing : context.fetchAll<ZRCDTiming>())
        byUuid[timing->uuid().value_or("")] = timing;
    ASSERT_EQ(byUuid.size(), expected.size());
    for (const ExpectedTiming& e : expected) {
        SCOPED_TRACE(e.uuid);
        ZRCDTiming* timing = byUuid[e.uuid];
        ASSERT_NE(timing, nullptr);
        EXPECT_EQ(timing->startDate(), e.start);
        EXPECT_EQ(timing->endDate(), e.end);
        EXPECT_EQ(timing->note(), e.note);
        EXPECT_EQ(timing->timezone(), e.timezone);
        EXPECT_EQ(timing->newDayOffset(), e.newDayOffset);
        EXPECT_EQ(timing->billing(), 0);
        EXPECT_EQ(timing->modified(), e.end);
        ASSERT_NE(timing->task(), nullptr);
        EXPECT_EQ(timing->task()->uuid(), taskUuid(e.taskPk));
        ASSERT_NE(timing->origin(), nullptr);
        EXPECT_EQ(timing->origin()->objectID().primaryKey, e.originPk);
        ASSERT_NE(timing->firstTimingSet(), nullptr);
        EXPECT_EQ(timing->firstTimingSet()->objectID().primaryKey, e.firstTimingSetPk);
        std::set<std::int64_t> sets;
        for (ZRCDTimingSet* set : timing->timingSets())
            sets.insert(set->objectID().primaryKey);
        EXPECT_EQ(sets, e.timingSetPks);
    }
}

TEST_F(Migration, AVersion14StoreIsUpgradedInPlaceWithEveryFieldConverted) {
    const Version14File file(storeFile(), 3000);
    const std::string othersBefore = Version14File::otherTables(locations.storeURL());
    {
        StoreStack stack(locations);
        auto context = stack.managedObjectContext();
        ASSERT_TRUE(context.ok()) << context.error().description;
        EXPECT_TRUE(environment.alerts().shownAlerts().empty());
        expectTimingsConverted(**context, file.timings());  // the two spelled-out ones too
        EXPECT_EQ((*context)->count<ZRCDTask>(), 5u);
        EXPECT_EQ((*context)->count<ZRCDTimingSet>(), 300u);
    }
    EXPECT_EQ(Version14File::otherTables(locations.storeURL()), othersBefore);
    auto db = app_testing::openRaw(locations.storeURL());
    EXPECT_EQ(app_testing::queryInt(*db, "PRAGMA user_version"), 15);
    EXPECT_FALSE(std::filesystem::exists(locations.storeURL().string() + ".upgrading"));
}

TEST_F(Migration, AnUpgradedFileHasExactlyTheShapeOfANewOne) {
    { const Version14File file(storeFile(), 20); }
    {
        auto upgraded =
            PersistentStore::open(locations.storeURL(), ravelongModel(), ravelongStoreOptions());
        ASSERT_TRUE(upgraded.ok()) << upgraded.error().failureReason;
    }
    const std::filesystem::path fresh = environment.folder() / "fresh.sqlite";
    { ASSERT_TRUE(PersistentStore::open(fresh, ravelongModel(), ravelongStoreOptions()).ok()); }
    EXPECT_EQ(app_testing::schemaOf(locations.storeURL()), app_testing::schemaOf(fresh));
}

TEST_F(Migration, AVersion13StoreIsUpgradedTheSameWay) {
    const Version14File file(storeFile(), 50, 13);
    StoreStack stack(locations);
    auto context = stack.managedObjectContext();
    ASSERT_TRUE(context.ok()) << context.error().description;
    expectTimingsConverted(**context, file.timings());
}

TEST_F(Migration, ABadTimingStopsTheUpgradeAndLeavesTheFileByteIdentical) {
    struct Damage {
        const char* name;
        const char* sql;
        const char* reasonPart;
    };
    const Damage damages[] = {
        {"text offset", "UPDATE ZRCDTiming SET timezoneOffset = 'CET' WHERE pk = 1500",
         "timezoneOffset that is not a number"},
        {"text start", "UPDATE ZRCDTiming SET startDate = 'yesterday' WHERE pk = 1500",
         "startDate that is not a number"},
        {"offset of two days", "UPDATE ZRCDTiming SET timezoneOffset = 172800 WHERE pk = 1500",
         "time zone offset of 172800 seconds"},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        std::filesystem::remove_all(locations.groupApplicationFilesDirectory());
        const Version14File file(storeFile(), 3000);
        app_testing::execute(*app_testing::openRaw(locations.storeURL()), damage.sql);
        const std::string before = app_testing::readFile(locations.storeURL());
        const std::size_t first = environment.alerts().shownAlerts().size();
        {
            StoreStack stack(locations);
            auto context = stack.managedObjectContext();
            ASSERT_FALSE(context.ok());
            EXPECT_EQ(context.error().domain, "YOUR_ERROR_DOMAIN");
            EXPECT_EQ(context.error().code, 9999);
        }
        const std::vector<Alert> shown(environment.alerts().shownAlerts().begin() + first,
                                       environment.alerts().shownAlerts().end());
        ASSERT_EQ(shown.size(), 2u);
        EXPECT_EQ(shown[0].messageText, "The data file could not be upgraded.");
        EXPECT_NE(shown[0].informativeText.find(file.timings()[1499].uuid), std::string::npos)
            << shown[0].informativeText;
        EXPECT_NE(shown[0].informativeText.find(damage.reasonPart), std::string::npos)
            << shown[0].informativeText;
        EXPECT_EQ(shown[1].messageText, "Failed to initialize the store");
        EXPECT_EQ(shown[1].informativeText, "There was an error building up the data file.");
        EXPECT_EQ(app_testing::readFile(locations.storeURL()), before);
        EXPECT_FALSE(std::filesystem::exists(locations.storeURL().string() + ".upgrading"));
    }
}

TEST_F(Migration, ADiskFullHalfWayLeavesTheOldFileByteIdenticalAndStillUpgradable) {
    const Version14File file(storeFile(), 3000);
    const std::string before = app_testing::readFile(locations.storeURL());

    // The copy may grow by two pages only: the disk fills while the timings are rewritten.
    StoreOptions tight;
    MigrationStep real = upgradeFromVersion13Or14(14);
    tight.migrations.push_back(
        {14, 15, real.name, [real](SqliteDatabase& db) -> Status {
             auto pages = db.queryInt("PRAGMA page_count");
             if (!pages)
                 return pages.error();
             if (Status s = db.execute("PRAGMA max_page_count = " + std::to_string(*pages + 2)); !s)
                 return s;
             return real.apply(db);
         }});
    {
        auto failed = PersistentStore::open(locations.storeURL(), ravelongModel(), tight);
        ASSERT_FALSE(failed.ok());
        EXPECT_EQ(failed.error().domain, kStoreErrorDomain);
        EXPECT_EQ(failed.error().code, static_cast<int>(StoreErrorCode::MigrationFailed));
        EXPECT_NE(failed.error().failureReason.find("full"), std::string::npos)
            << failed.error().failureReason;
    }
    EXPECT_EQ(app_testing::readFile(locations.storeURL()), before);
    EXPECT_FALSE(std::filesystem::exists(locations.storeURL().string() + ".upgrading"));

    StoreStack stack(locations);
    auto context = stack.managedObjectContext();
    ASSERT_TRUE(context.ok());
    expectTimingsConverted(**context, file.timings());
}

}  // namespace
}  // namespace ravelong
