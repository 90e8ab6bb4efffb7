#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/StoreLayouts.h"
#include "core/model/RavelongModel.h"
#include "store/PersistentStore.h"
#include "support/TestSupport.h"
#include "tests/app/AppTestSupport.h"

namespace ravelong {
namespace {

// The indexes of a store file as SQLite keeps them: name and defining statement, by name.
std::vector<std::string> indexesOf(const std::filesystem::path& path) {
    auto db = app_testing::openRaw(path);
    auto rows = db->prepare(
        "SELECT name, sql FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL "
        "ORDER BY name");
    if (!rows)
        throw std::runtime_error(rows.error().description);
    std::vector<std::string> result;
    while (rows->step()) {
        result.push_back(std::get<std::string>(rows->column(0)) + ": " +
                         std::get<std::string>(rows->column(1)));
    }
    return result;
}

// Every store file made so far has exactly these indexes; a file the program makes now must
// have them too, or the files of earlier builds would differ from new ones without an upgrade.
const std::vector<std::string> kIndexesOfEveryStore = {
    R"(ZRCDTask_origins_member: CREATE INDEX "ZRCDTask_origins_member" ON "ZRCDTask_origins" (member))",
    R"(ZRCDTask_parentTask: CREATE INDEX "ZRCDTask_parentTask" ON "ZRCDTask" ("parentTask"))",
    R"(ZRCDTask_uuid: CREATE INDEX "ZRCDTask_uuid" ON "ZRCDTask" ("uuid"))",
    R"(ZRCDTimingSet_absDay_task: CREATE INDEX "ZRCDTimingSet_absDay_task" ON "ZRCDTimingSet" ("absDay", "task"))",
    R"(ZRCDTimingSet_task_absDay: CREATE INDEX "ZRCDTimingSet_task_absDay" ON "ZRCDTimingSet" ("task", "absDay"))",
    R"(ZRCDTiming_endDate: CREATE INDEX "ZRCDTiming_endDate" ON "ZRCDTiming" ("endDate"))",
    R"(ZRCDTiming_origin: CREATE INDEX "ZRCDTiming_origin" ON "ZRCDTiming" ("origin"))",
    R"(ZRCDTiming_task_startDate: CREATE INDEX "ZRCDTiming_task_startDate" ON "ZRCDTiming" ("task", "startDate"))",
    R"(ZRCDTiming_timingSets_member: CREATE INDEX "ZRCDTiming_timingSets_member" ON "ZRCDTiming_timingSets" (member))",
    R"(ZRCDTiming_uuid: CREATE INDEX "ZRCDTiming_uuid" ON "ZRCDTiming" ("uuid"))",
};

TEST(StoreIndexes, ANewStoreAndEveryLayoutOfTheUpgradesHaveExactlyTheseIndexes) {
    testing::TemporaryDirectory folder;
    { ASSERT_TRUE(PersistentStore::open(folder / "new.sqlite", ravelongModel()).ok()); }
    EXPECT_EQ(indexesOf(folder / "new.sqlite"), kIndexesOfEveryStore);
    for (const store_layouts::StoreLayout* layout :
         {&store_layouts::layoutOfVersion13Or14(13), &store_layouts::layoutOfVersion13Or14(14),
          &store_layouts::layoutOfVersion15()}) {
        SCOPED_TRACE(layout->version);
        const std::filesystem::path path =
            folder / ("layout" + std::to_string(layout->version) + ".sqlite");
        app_testing::createFileOfLayout(path, *layout);
        EXPECT_EQ(indexesOf(path), kIndexesOfEveryStore);
    }
}

}  // namespace
}  // namespace ravelong
