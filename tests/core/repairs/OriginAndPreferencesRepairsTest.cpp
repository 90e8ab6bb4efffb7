#include <gtest/gtest.h>

#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDPreferences.h"
#include "core/repairs/OriginRepairs.h"
#include "core/repairs/PreferencesRepairs.h"
#include "tests/core/model/ModelTestSupport.h"

namespace ravelong {
namespace {

using model_testing::ModelTest;

using OriginRepairs = ModelTest;

ZRCDOrigin* origin(ManagedObjectContext& context, const std::string& udid, std::int16_t type,
                   std::optional<Instant> userChanged, std::optional<Instant> deviceChanged) {
    auto* o = context.insertNewObject<ZRCDOrigin>();
    o->setUdid(udid);
    o->setUid(501);
    o->setType(type);
    o->setUserNameChanged(userChanged);
    o->setDeviceNameChanged(deviceChanged);
    return o;
}

TEST_F(OriginRepairs, EqualOriginsBecomeTheOneWithTheLatestNames) {
    ZRCDOrigin* older = origin(context, "aaaaaaaaaaaa", 0, 100, 100);
    ZRCDOrigin* newer = origin(context, "aaaaaaaaaaaa", 0, 50, 300);  // sum 350 beats 200
    ZRCDOrigin* otherType = origin(context, "aaaaaaaaaaaa", 2, 900, 900);
    ZRCDTask* task = newTask("Design");
    task->addOriginsObject(older);
    ZRCDTiming* timing = stoppedTiming(task, berlin(2024, 3, 4, 9), berlin(2024, 3, 4, 10));
    timing->setOrigin(older);

    EXPECT_TRUE(store_repairs::consolidateOrigins_inContext(context));
    EXPECT_TRUE(older->isDeleted());
    EXPECT_FALSE(newer->isDeleted());
    EXPECT_FALSE(otherType->isDeleted());
    EXPECT_EQ(timing->origin(), newer);
    EXPECT_TRUE(task->origins().contains(newer));
    EXPECT_FALSE(task->origins().contains(older));

    EXPECT_FALSE(store_repairs::consolidateOrigins_inContext(context));
}

TEST_F(OriginRepairs, OnATieTheFirstMetSurvivesAndMissingDatesCountAsZero) {
    ZRCDOrigin* first = origin(context, "bbbbbbbbbbbb", 0, std::nullopt, 10);
    ZRCDOrigin* second = origin(context, "bbbbbbbbbbbb", 0, 10, std::nullopt);
    EXPECT_TRUE(store_repairs::consolidateOrigins_inContext(context));
    EXPECT_FALSE(first->isDeleted());
    EXPECT_TRUE(second->isDeleted());
}

using PreferencesRepairs = ModelTest;

// Records as (uuid, cut-off); what is left after the repair, in the order they were made.
TEST_F(PreferencesRepairs, OneRecordSurvivesUnderTheFixedUUIDUnlessTwoHaveItAlready) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, int>> records;
        bool repaired;
        std::vector<std::pair<std::string, int>> left;
    };
    const Case cases[] = {
        {"none", {}, false, {}},
        {"a lone record", {{"OLD", 4}}, true, {{"PREFERENCES", 4}}},
        {"the other beside a fresh one",
         {{"PREFERENCES", 0}, {"B-OLD", 5}, {"C-OLD", 6}},
         true,
         {{"PREFERENCES", 5}}},
        {"without a fixed one, the smallest", {{"Z", 1}, {"A", 2}}, true, {{"PREFERENCES", 2}}},
        {"two fixed ones are for the sync to join",
         {{"PREFERENCES", 1}, {"PREFERENCES", 2}, {"OTHER", 3}},
         false,
         {{"PREFERENCES", 1}, {"PREFERENCES", 2}, {"OTHER", 3}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ManagedObjectContext scratch{ravelongModel()};
        std::vector<ZRCDPreferences*> made;
        for (const auto& [uuid, newDay] : c.records) {
            made.push_back(scratch.insertNewObject<ZRCDPreferences>());
            made.back()->setUuid(uuid);
            made.back()->setNewDay(newDay);
        }
        EXPECT_EQ(store_repairs::fixPreferences_inContext(scratch), c.repaired);
        std::vector<std::pair<std::string, int>> left;
        for (ZRCDPreferences* record : made) {
            if (!record->isDeleted())
                left.emplace_back(record->uuid().value_or("?"), record->newDay());
        }
        EXPECT_EQ(left, c.left);
        if (left.size() == 1) {
            ZRCDPreferences* found = ZRCDPreferences::getPreferences_inContext(scratch);
            ASSERT_NE(found, nullptr);
            EXPECT_EQ(found->newDay(), left[0].second);
        }
        EXPECT_FALSE(store_repairs::fixPreferences_inContext(scratch));
    }
}

}  // namespace
}  // namespace ravelong
