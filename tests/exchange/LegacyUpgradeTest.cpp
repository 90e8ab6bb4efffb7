#include <gtest/gtest.h>

#include "app/PreferenceKeys.h"
#include "app/legacy/CoreDataTask.h"
#include "app/legacy/CoreDataTimedEntry.h"
#include "app/legacy/CoreDataUniqueID.h"
#include "app/legacy/RavelongV1Model.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "exchange/LegacyStoreUpgrade.h"
#include "store/PersistentStore.h"
#include "tests/exchange/BackupTestSupport.h"

namespace ravelong {
namespace {

using backup_testing::BackupTest;

class LegacyUpgradeTest : public BackupTest {
protected:
    // A legacy store: "Clients" with "Acme" (old position 3) and "Beta" (position 1), each with
    // one timed entry, every record with its identifiers. `createdDay` is Acme's.
    void writeLegacyStore(std::int32_t createdDay) {
        std::filesystem::create_directories(locations.applicationFilesDirectory());
        auto store = PersistentStore::open(locations.storeURLV1(), ravelongV1Model());
        ASSERT_TRUE(store.ok());
        auto context = ManagedObjectContext::openMainContext(store.value()).value();
        int next = 1;
        auto identify = [&](CoreDataTask* task, CoreDataTimedEntry* entry, Instant date) {
            auto* uid = context->insertNewObject<CoreDataUniqueID>();
            uid->setTask(task);
            uid->setTimedEntry(entry);
            uid->setUid(0x2a);
            uid->setTid(next++);
            uid->setDate(date);
            uid->setSeconds(entry ? 1800 : 0);
            uid->setTimezoneOffset(3600);
        };
        auto task = [&](const char* name, CoreDataTask* parent, std::int64_t position) {
            auto* made = context->insertNewObject<CoreDataTask>();
            made->setTaskName(std::string(name));
            made->setParentTask(parent);
            made->setViewPosition(position);
            made->setCreatedDay(20120301);
            made->setTaskColor(Data{0x00, 0x80, 0xFF, 0x00});
            identify(made, nullptr, 350000000.0 + position);
            return made;
        };
        CoreDataTask* clients = task("Clients", nullptr, 0);
        CoreDataTask* acme = task("Acme", clients, 3);
        acme->setCreatedDay(createdDay);
        CoreDataTask* beta = task("Beta", clients, 1);
        for (CoreDataTask* owner : {acme, beta}) {
            auto* entry = context->insertNewObject<CoreDataTimedEntry>();
            entry->setTask(owner);
            entry->setTimezoneOffset(3600);
            entry->setStartDate(352000000.0 + owner->viewPosition() * 7200);
            entry->setEndDate(352001800.0 + owner->viewPosition() * 7200);
            entry->setMaxDate(CoreDataTimedEntry::kNoMaxDate);
            entry->setNotes(std::string("met ") + *owner->taskName());
            identify(nullptr, entry, 352000000.0);
        }
        ASSERT_TRUE(context->save().ok());
    }

    DataLocations locations = DataLocations::inDataFolder(folder() / "data");
};

TEST_F(LegacyUpgradeTest, CarriesTheTreeInTheOldOrderAndRunsOnce) {
    writeLegacyStore(20120301);
    defaults.setBool(kZRNotMigrated, true);
    StoreStack& stack = this->stack();
    LegacyStoreUpgrade upgrade(stack);
    EXPECT_EQ(upgrade.getUIDCount(), 5.0);
    double last = 0;
    upgrade.continueDatabaseMigration([&](double done) { last = done; });
    EXPECT_EQ(last, 5.0);  // three tasks and two timings

    ManagedObjectContext& store = context();
    std::vector<std::string> chain;
    for (ZRCDTask* task = ZRCDTask::getCoreDataTaskWithUUID("t1/2a", store); task;
         task = task->nextTask())
        chain.push_back(*task->taskName());
    EXPECT_EQ(chain, (std::vector<std::string>{"Clients", "Beta", "Acme"}));
    ZRCDTask* acme = ZRCDTask::getCoreDataTaskWithUUID("t2/2a", store);
    ASSERT_TRUE(acme);
    EXPECT_EQ(acme->getTaskColor(), (TaskColor{1.0, 128 / 255.0, 0.0, 1.0}));
    ASSERT_EQ(acme->timings().size(), 1u);
    ZRCDTiming* timing = acme->timings().toVector()[0];
    EXPECT_EQ(timing->note(), "met Acme");
    EXPECT_EQ(timing->timezone(), "GMT+0100");
    EXPECT_EQ(*timing->startDate(), 352000000.0 + 3 * 7200);
    EXPECT_FALSE(defaults.boolForKey(kZRNotMigrated));
    EXPECT_FALSE(std::filesystem::exists(upgrade.transferFile()));
}

TEST_F(LegacyUpgradeTest, ATransferFileThatCannotBeReadIsKeptAndNothingIsMade) {
    writeLegacyStore(123456789);  // no calendar day: the transfer file fails its schema
    defaults.setBool(kZRNotMigrated, true);
    LegacyStoreUpgrade upgrade(stack());
    upgrade.continueDatabaseMigration({});
    EXPECT_EQ(taskCount(context()), 0u);
    EXPECT_FALSE(context().hasChanges());
    EXPECT_TRUE(std::filesystem::exists(upgrade.transferFile()));
    EXPECT_FALSE(defaults.boolForKey(kZRNotMigrated));
}

}  // namespace
}  // namespace ravelong
