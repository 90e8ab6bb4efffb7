#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/model/ModelError.h"
#include "core/model/ZRCDExportPreferences.h"
#include "core/model/ZRCDPreferences.h"
#include "foundation/Log.h"
#include "store/ZRUndoManager.h"
#include "tests/core/model/ModelTestSupport.h"

namespace ravelong {
namespace {

using model_testing::ModelTest;

class Preferences : public ModelTest {
protected:
    Preferences() { context.setDelegate(&delegate); }
    ~Preferences() override { context.setDelegate(nullptr); }
    model_testing::SaveCountingDelegate delegate;
};

TEST_F(Preferences, TheRecordIsMadeOnFirstReadSavedAndNeverAnUndoStep) {
    EXPECT_EQ(ZRCDPreferences::currentNewDay_inContext(context), 0);
    EXPECT_EQ(context.count<ZRCDPreferences>(), 0u);  // reading the cut-off made nothing

    ZRCDPreferences* preferences = ZRCDPreferences::getPreferences_inContext(context);
    ASSERT_NE(preferences, nullptr);
    EXPECT_EQ(preferences->uuid(), "PREFERENCES");
    EXPECT_FALSE(preferences->allowMultipleTimers());
    EXPECT_EQ(preferences->newDay(), 0);
    EXPECT_EQ(delegate.saves, 1);
    EXPECT_FALSE(context.hasChanges());
    EXPECT_FALSE(context.undoManager()->canUndo());

    EXPECT_EQ(ZRCDPreferences::getPreferences_inContext(context), preferences);
    EXPECT_FALSE(ZRCDPreferences::isMultipleTimersAllowed_inContext(context));
    EXPECT_EQ(context.count<ZRCDPreferences>(), 1u);
    EXPECT_EQ(delegate.saves, 1);
}

TEST_F(Preferences, SettersSaveWithoutUndoAndRefuseImpossibleHours) {
    ASSERT_TRUE(ZRCDPreferences::setAllowMultipleTimersTo(true, context).ok());
    EXPECT_TRUE(ZRCDPreferences::isMultipleTimersAllowed_inContext(context));
    ASSERT_TRUE(ZRCDPreferences::setNewDayTo(4, context).ok());
    EXPECT_EQ(ZRCDPreferences::currentNewDay_inContext(context), 4);
    EXPECT_EQ(context.count<ZRCDPreferences>(), 1u);
    EXPECT_EQ(delegate.saves, 2);
    EXPECT_FALSE(context.undoManager()->canUndo());

    for (int hour : {-1, 24, 100}) {
        Status refused = ZRCDPreferences::setNewDayTo(hour, context);
        ASSERT_FALSE(refused.ok());
        EXPECT_EQ(refused.error().code, static_cast<int>(ModelErrorCode::NewDayHourOutOfRange));
    }
    EXPECT_EQ(ZRCDPreferences::getPreferences_inContext(context)->newDay(), 4);
    EXPECT_EQ(delegate.saves, 2);

    // A failed save is reported; the value stays in the context for the next save.
    delegate.fail = true;
    EXPECT_FALSE(ZRCDPreferences::setNewDayTo(6, context).ok());
    EXPECT_EQ(ZRCDPreferences::currentNewDay_inContext(context), 6);
    EXPECT_TRUE(context.hasChanges());
}

TEST_F(Preferences, ALookupByUuidTakesTheLastMatch) {
    auto* first = context.insertNewObject<ZRCDPreferences>();
    first->setUuid(std::string("OTHER"));
    auto* second = context.insertNewObject<ZRCDPreferences>();
    second->setUuid(std::string("OTHER"));
    EXPECT_EQ(ZRCDPreferences::getPreferencesWithUUID("OTHER", context), second);
    EXPECT_EQ(ZRCDPreferences::getPreferencesWithUUID("PREFERENCES", context), nullptr);
}

TEST_F(Preferences, ExportPreferencesAreMadeWithDefaultsOrTheExistingRecordIsUsed) {
    ZRCDExportPreferences* made = ZRCDExportPreferences::getPreferences_inContext(context);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->uuid(), "EXPORTPREFERENCES");
    EXPECT_TRUE(made->csvColumnTitles());
    EXPECT_TRUE(made->csvDurations());
    EXPECT_EQ(made->csvDurationFormat(), 1);
    EXPECT_EQ(made->imageQuality(), 80);
    EXPECT_EQ(delegate.saves, 1);
    EXPECT_FALSE(context.undoManager()->canUndo());
    EXPECT_EQ(ZRCDExportPreferences::getPreferences_inContext(context), made);

    // A store from elsewhere may hold records under other uuids: the smallest is taken, on every
    // computer the same.
    ManagedObjectContext other(ravelongModel());
    auto* b = other.insertNewObject<ZRCDExportPreferences>();
    b->setUuid(std::string("B"));
    auto* a = other.insertNewObject<ZRCDExportPreferences>();
    a->setUuid(std::string("A"));
    EXPECT_EQ(ZRCDExportPreferences::getPreferences_inContext(other), a);
    EXPECT_EQ(other.count<ZRCDExportPreferences>(), 2u);
}

}  // namespace
}  // namespace ravelong
