#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/model/ModelDefaultsKeys.h"
#include "core/model/ZRCDOrigin.h"
#include "tests/core/model/ModelTestSupport.h"

namespace ravelong {
namespace {

using model_testing::kTestUDID;
using model_testing::kTestUID;
using model_testing::ModelTest;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

using Origins = ModelTest;

ZRCDOrigin* makeOrigin(ManagedObjectContext& context, const char* device, Instant deviceChanged,
                       const char* user, Instant userChanged) {
    auto* origin = context.insertNewObject<ZRCDOrigin>();
    origin->setUdid(std::string(kTestUDID));
    origin->setUid(static_cast<std::int32_t>(kTestUID));
    origin->setType(0);
    origin->setDevice(std::string(device));
    origin->setDeviceNameChanged(deviceChanged);
    origin->setUser(std::string(user));
    origin->setUserNameChanged(userChanged);
    return origin;
}

TEST_F(Origins, ThisDevicesOriginIsMadeOnceWithTheSystemOrTheChosenNames) {
    ZRCDOrigin* origin = ZRCDOrigin::createOrGetOriginForThisDeviceAndThisUserWithType(0, context);
    EXPECT_EQ(origin->udid(), kTestUDID);
    EXPECT_EQ(origin->uid(), 1000);
    EXPECT_EQ(origin->device(), "Analytical Engine");
    EXPECT_EQ(origin->user(), "Ada Lovelace");
    EXPECT_EQ(origin->deviceNameChanged(), clock.now());
    EXPECT_EQ(origin->userNameChanged(), clock.now());
    EXPECT_EQ(origin->uuid(), "0a1b2c3d4e5f//1000//0");
    EXPECT_EQ(ZRCDOrigin::createOrGetOriginForThisDeviceAndThisUserWithType(0, context), origin);

    // Names chosen in the settings win; an empty one means the system's.
    defaults.setString(kZRDeviceName, "Desk");
    defaults.setString(kZRUserName, "");
    ZRCDOrigin* csv = ZRCDOrigin::createOrGetOriginForThisDeviceAndThisUserWithType(2, context);
    EXPECT_NE(csv, origin);
    EXPECT_EQ(csv->device(), "Desk");
    EXPECT_EQ(csv->user(), "Ada Lovelace");
    EXPECT_EQ(ZRCDOrigin::getAllOriginsForThisDeviceAndThisUser_inContext(context).size(), 2u);
}

TEST_F(Origins, DuplicatesAreMergedIntoTheFirstWithTheLatestNamesAndKeepTheirRecords) {
    ZRCDOrigin* first = makeOrigin(context, "Old desk", 100.0, "Ada", 500.0);
    ZRCDOrigin* second = makeOrigin(context, "New desk", 300.0, "A. L.", 200.0);
    ZRCDOrigin* third = makeOrigin(context, "Older desk", 50.0, "Countess", 600.0);
    auto* task = context.insertNewObject<ZRCDTask>();
    auto* timing = context.insertNewObject<ZRCDTiming>();
    timing->setOrigin(second);
    task->addOriginsObject(third);

    ZRCDOrigin* survivor =
        ZRCDOrigin::createOrGetOriginForThisDeviceAndThisUserWithType(0, context);
    EXPECT_EQ(survivor, first);
    EXPECT_EQ(survivor->device(), "New desk");
    EXPECT_EQ(survivor->deviceNameChanged(), 300.0);
    EXPECT_EQ(survivor->user(), "Countess");
    EXPECT_EQ(survivor->userNameChanged(), 600.0);
    EXPECT_TRUE(second->isDeleted());
    EXPECT_TRUE(third->isDeleted());
    // Nothing loses its origin with the duplicates.
    EXPECT_EQ(timing->origin(), first);
    EXPECT_THAT(task->origins().toVector(), ElementsAre(first));
    EXPECT_THAT(ZRCDOrigin::getAllOrigins_inContext(context), ElementsAre(first));
}

TEST_F(Origins, AnOriginUuidIsResolvedOrFallsBackToThisDevice) {
    ZRCDOrigin* foreign = ZRCDOrigin::createCoreDataOriginIfNecessaryWithDevice(
        std::string("Laptop"), 10.0, std::string("ffeeddccbbaa"), std::string("Bob"), 20.0, 501, 3,
        context);
    EXPECT_EQ(foreign->device(), "Laptop");
    EXPECT_EQ(foreign->userNameChanged(), 20.0);
    EXPECT_EQ(ZRCDOrigin::createCoreDataOriginIfNecessaryWithDevice(
                  std::string("Renamed"), 30.0, std::string("ffeeddccbbaa"), std::string("Bob"),
                  30.0, 501, 3, context),
              foreign);
    EXPECT_EQ(ZRCDOrigin::getOriginForUUID("ffeeddccbbaa//501//3", context), foreign);

    ZRCDOrigin* unknown = ZRCDOrigin::getOriginForUUID("999999999999//7//2", context);
    EXPECT_EQ(unknown->udid(), kTestUDID);
    EXPECT_EQ(unknown->type(), 2);
    ZRCDOrigin* malformed = ZRCDOrigin::getOriginForUUID("not an origin", context);
    EXPECT_EQ(malformed->udid(), kTestUDID);
    EXPECT_EQ(malformed->type(), 0);

    // An origin without udid writes it as empty text and reads back as itself.
    ZRCDOrigin* anonymous = ZRCDOrigin::createCoreDataOriginIfNecessaryWithDevice(
        std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, 0, 1, context);
    EXPECT_EQ(anonymous->uuid(), "//0//1");
    EXPECT_EQ(ZRCDOrigin::getOriginForUUID(anonymous->uuid(), context), anonymous);
    EXPECT_THAT(ZRCDOrigin::getAllOriginsForThisDevice_inContext(context),
                UnorderedElementsAre(unknown, malformed));
}

}  // namespace
}  // namespace ravelong
