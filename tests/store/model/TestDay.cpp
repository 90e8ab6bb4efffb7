#include "tests/store/model/TestDay.h"

#include "tests/store/model/TestEntry.h"
#include "tests/store/model/TestTask.h"

namespace ravelong::store_testing {

EntityDescription& TestDay::entityDescription() {
    static EntityDescription description =
        EntityBuilder<TestDay>("Day")
            .attribute<&TestDay::absDay_>("absDay", AttributeType::Int32)
            .attribute<&TestDay::duration_>("duration", AttributeType::Double)
            .attribute<&TestDay::running_>("running", AttributeType::Bool)
            .toOne<&TestDay::task_>("task", "Task", "days", true)
            .toMany<&TestDay::entries_>("entries", "Entry", "days", false)
            .toMany<&TestDay::firstEntries_>("firstEntries", "Entry", "firstDay", false)
            .index({"absDay", "task"})
            .index({"task", "absDay"})
            .build();
    return description;
}

void TestDay::addEntry(TestEntry* entry) {
    addToMany(kEntries, entry);
}

void TestDay::addFirstEntry(TestEntry* entry) {
    addToMany(kFirstEntries, entry);
}

void TestDay::setTask(TestTask* value) {
    setToOne(kTask, value);
}

}  // namespace ravelong::store_testing
