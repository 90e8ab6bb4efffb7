#include "tests/store/model/StoreTestModel.h"

namespace ravelong::store_testing {

const ManagedObjectModel& storeTestModel() {
    static const ManagedObjectModel model(
        3, {&TestTask::entityDescription(), &TestLabel::entityDescription(),
            &TestEntry::entityDescription(), &TestDay::entityDescription(),
            &TestSettings::entityDescription()});
    return model;
}

}  // namespace ravelong::store_testing
