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

ZRCDPreferences* preferences(ManagedObjectContext& context, const std::string& uuid, int newDay) {
    auto* record = context.insertNewObject<ZRCDPreferences>();
    record->setUuid(uuid);
    record->setNewDay(newDay);
    return record;
}

TEST_F(PreferencesRepairs, ALoneRecordTakesTheFixedUUID) {
    EXPECT_FALSE(store_repairs::fixPreferences_inContext(context));
    ZRCDPreferences* record = preferences(context, "OLD", 4);
    EXPECT_TRUE(store_repairs::fixPreferences_inContext(context));
    EXPECT_EQ(record->uuid(), "PREFERENCES");
    EXPECT_FALSE(store_repairs::fixPreferences_inContext(context));
}

TEST_F(PreferencesRepairs, TheOtherRecordSurvivesBesideAFreshOne) {
    ZRCDPreferences* fresh = preferences(context, "PREFERENCES", 0);
    ZRCDPreferences* kept = preferences(context, "B-OLD", 5);
    ZRCDPreferences* dropped = preferences(context, "C-OLD", 6);
    EXPECT_TRUE(store_repairs::fixPreferences_inContext(context));
    EXPECT_TRUE(fresh->isDeleted());
    EXPECT_TRUE(dropped->isDeleted());
    EXPECT_EQ(kept->uuid(), "PREFERENCES");
    EXPECT_EQ(ZRCDPreferences::getPreferences_inContext(context)->newDay(), 5);
}

TEST_F(PreferencesRepairs, WithoutAFixedOneTheSmallestUUIDSurvives) {
    ZRCDPreferences* later = preferences(context, "Z", 1);
    ZRCDPreferences* first = preferences(context, "A", 2);
    EXPECT_TRUE(store_repairs::fixPreferences_inContext(context));
    EXPECT_TRUE(later->isDeleted());
    EXPECT_EQ(first->uuid(), "PREFERENCES");
}

TEST_F(PreferencesRepairs, TwoFixedRecordsAreLeftForTheSyncToJoin) {
    ZRCDPreferences* a = preferences(context, "PREFERENCES", 1);
    ZRCDPreferences* b = preferences(context, "PREFERENCES", 2);
    ZRCDPreferences* c = preferences(context, "OTHER", 3);
    EXPECT_FALSE(store_repairs::fixPreferences_inContext(context));
    EXPECT_FALSE(a->isDeleted() || b->isDeleted() || c->isDeleted());
}

}  // namespace
}  // namespace ravelong
