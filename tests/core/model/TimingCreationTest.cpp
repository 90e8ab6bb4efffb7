#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/model/ZRCDOrigin.h"
#include "foundation/Uuid.h"
#include "tests/core/model/ModelTestSupport.h"

namespace ravelong {
namespace {

using model_testing::ModelTest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using TimingCreation = ModelTest;

TEST_F(TimingCreation, IncompleteOrImpossibleTimingsAreRefusedAndInsertNothing) {
    ZRCDTask* task = newTask("Task");
    const Instant nine = berlin(2024, 3, 5, 9);
    const Instant ten = berlin(2024, 3, 5, 10);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const auto create = [&](std::optional<Instant> start, std::optional<Instant> end,
                            ZRCDTask* forTask) {
        return ZRCDTiming::createCoreDataTimingWithStartDate(start, end, forTask, std::nullopt, 0,
                                                             std::nullopt, context);
    };
    EXPECT_EQ(create(nine, ten, nullptr), nullptr);
    EXPECT_EQ(create(std::nullopt, ten, task), nullptr);
    EXPECT_EQ(create(nine, std::nullopt, task), nullptr);
    EXPECT_EQ(create(ten, nine, task), nullptr);
    EXPECT_EQ(create(nan, ten, task), nullptr);
    EXPECT_EQ(create(-3600.0, kSentinelDate, task), nullptr);  // would be a running timer
    EXPECT_EQ(create(nine, nine + 20.0 * 366 * 86400, task), nullptr);
    EXPECT_EQ(ZRCDTiming::createRunningTimingNowForTask_andOrigin(nullptr, 0, context), nullptr);
    EXPECT_EQ(ZRCDTiming::createCoreDataTimingWithStartDate_andNewDayOffset(
                  nine, ten, 0, std::string("Europe/Berlin"), task, std::nullopt, std::nullopt,
                  std::int16_t{0}, 0, context),
              nullptr);  // a restored timing needs its uuid
    EXPECT_EQ(context.count<ZRCDTiming>(), 0u);
    EXPECT_EQ(numberOfSets(), 0u);

    // A start equal to the end is a (zero-length) entry, not a refusal.
    EXPECT_NE(create(nine, nine, task), nullptr);
}

TEST_F(TimingCreation, AManualEntryTakesTheUserZoneTheCutoffAndItsEndAsModified) {
    setNewDay(3);
    ZRCDTask* task = newTask("Task");
    ZRCDTiming* timing = ZRCDTiming::createCoreDataTimingWithStartDate(
        berlin(2024, 3, 5, 9), berlin(2024, 3, 5, 10), task, std::string(""), 2, std::nullopt,
        context);
    ASSERT_NE(timing, nullptr);
    EXPECT_EQ(timing->timezone(), "Europe/Berlin");
    EXPECT_EQ(timing->newDayOffset(), 3 * 3600);
    EXPECT_EQ(timing->modified(), berlin(2024, 3, 5, 10));
    EXPECT_EQ(timing->note(), std::nullopt);  // empty notes are stored as absent
    EXPECT_TRUE(isCanonicalUuid(*timing->uuid()));
    EXPECT_EQ(timing->origin()->type(), 2);
    EXPECT_EQ(timing->timingSets().size(), 1u);

    ZRCDTiming* named = ZRCDTiming::createCoreDataTimingWithStartDate(
        berlin(2024, 3, 5, 11), berlin(2024, 3, 5, 12), task, std::string("Call"), 0,
        std::string("C0000000-0000-4000-8000-000000000003"), context);
    EXPECT_EQ(named->note(), "Call");
    EXPECT_EQ(named->uuid(), "C0000000-0000-4000-8000-000000000003");
    EXPECT_EQ(
        ZRCDTiming::getCoreDataTimingWithUUID("C0000000-0000-4000-8000-000000000003", context),
        named);
}

TEST_F(TimingCreation, ARestoredTimingKeepsItsZoneAndCutoffAndTakesTheGivenOrigin) {
    ZRCDTask* task = newTask("Task");
    ZRCDOrigin* foreign = ZRCDOrigin::createCoreDataOriginIfNecessaryWithDevice(
        std::string("Laptop"), 100.0, std::string("ffeeddccbbaa"), std::string("Bob"), 100.0, 501,
        3, context);
    ZRCDTiming* restored = ZRCDTiming::createCoreDataTimingWithStartDate_andNewDayOffset(
        berlin(2024, 3, 5, 9), berlin(2024, 3, 5, 10), 7200, std::string("America/New_York"), task,
        std::string("From a backup"), std::string("D0000000-0000-4000-8000-000000000004"), foreign,
        7, context);
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(restored->timezone(), "America/New_York");
    EXPECT_EQ(restored->newDayOffset(), 7200);
    EXPECT_EQ(restored->billing(), 7);
    EXPECT_EQ(restored->origin(), foreign);
    EXPECT_EQ(restored->modified(), berlin(2024, 3, 5, 10));
    // 03:00 to 04:00 in New York with a 02:00 cut-off: 5 March there.
    EXPECT_EQ(restored->absDay(), dayNumber(2024, 3, 5));

    // No zone: the user's; an unknown cut-off (-1): today's, so the timing still counts on a day;
    // an origin given as a number: this device's origin of that type.
    setNewDay(5);
    ZRCDTiming* bare = ZRCDTiming::createCoreDataTimingWithStartDate_andNewDayOffset(
        berlin(2024, 3, 5, 11), berlin(2024, 3, 5, 12), -1, std::nullopt, task, std::nullopt,
        std::string("D0000000-0000-4000-8000-000000000005"), std::int16_t{2}, 0, context);
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->timezone(), "Europe/Berlin");
    EXPECT_EQ(bare->newDayOffset(), 5 * 3600);
    EXPECT_EQ(bare->origin()->udid(), model_testing::kTestUDID);
    EXPECT_EQ(bare->origin()->type(), 2);
    EXPECT_EQ(bare->timingSets().size(), 1u);
}

TEST_F(TimingCreation, AnOlderBackupsMaxDateGivesTheCutoffInItsFixedOffsetZone) {
    ZRCDTask* task = newTask("Task");
    const Instant start = instantFromUnixTime(1330851600);  // 2012-03-04 09:00 GMT
    // The timing's last day ended on 5 March 04:00 in GMT+0100 (03:00 GMT): cut-off 4 hours.
    const Instant maxDate = instantFromUnixTime(1330916400);
    ZRCDTiming* timing = ZRCDTiming::createCoreDataTimingWithStartDate_andMaxDate(
        start, start + 3600, maxDate, 3600, task, std::nullopt,
        std::string("E0000000-0000-4000-8000-000000000006"), std::int16_t{0}, 0, context);
    ASSERT_NE(timing, nullptr);
    EXPECT_EQ(timing->timezone(), "GMT+0100");
    EXPECT_EQ(timing->newDayOffset(), 4 * 3600);
    EXPECT_EQ(timing->absDay(), 15403);  // 4 March 2012

    // The "no maxDate" value and an absent one give cut-off 0; offset -1 is GMT.
    ZRCDTiming* none = ZRCDTiming::createCoreDataTimingWithStartDate_andMaxDate(
        start, start + 60, ZRCDTiming::kNoMaxDate, -1, task, std::nullopt,
        std::string("E0000000-0000-4000-8000-000000000007"), std::int16_t{0}, 0, context);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->newDayOffset(), 0);
    EXPECT_EQ(none->timezone(), "GMT");
    ZRCDTiming* absent = ZRCDTiming::createCoreDataTimingWithStartDate_andMaxDate(
        start, start + 60, std::nullopt, -18000, task, std::nullopt,
        std::string("E0000000-0000-4000-8000-000000000008"), std::int16_t{0}, 0, context);
    ASSERT_NE(absent, nullptr);
    EXPECT_EQ(absent->newDayOffset(), 0);
    EXPECT_EQ(absent->timezone(), "GMT-0500");
}

TEST_F(TimingCreation, TheUserScriptHearsOfAStartAFifthOfASecondLater) {
    ZRCDTask* task = newTask("Scripted");
    ZRCDTiming* timing = ZRCDTiming::createRunningTimingNowForTask_andOrigin(task, 0, context);
    const std::string uuid = *timing->uuid();
    loop.advance(0.19);
    EXPECT_THAT(script.calls(), IsEmpty());
    // The call carries the uuid as it was when the timer started.
    timing->setUuid(std::string("F0000000-0000-4000-8000-000000000009"));
    loop.advance(0.01);
    EXPECT_THAT(script.calls(),
                ElementsAre(RecordingUserScript::Call{std::string(kTimerStartedForTiming), uuid}));

    RecordingUserScript absent(false);
    ScopedUserScript noScript(absent);
    ZRCDTiming::createRunningTimingNowForTask_andOrigin(task, 0, context);
    loop.advance(1.0);
    EXPECT_THAT(absent.calls(), IsEmpty());
    EXPECT_EQ(script.calls().size(), 1u);
}

}  // namespace
}  // namespace ravelong
