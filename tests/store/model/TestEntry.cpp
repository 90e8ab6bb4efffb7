#include "tests/store/model/TestEntry.h"

#include "tests/store/model/TestDay.h"
#include "tests/store/model/TestLabel.h"
#include "tests/store/model/TestTask.h"

namespace ravelong::store_testing {

EntityDescription& TestEntry::entityDescription() {
    static EntityDescription description =
        EntityBuilder<TestEntry>("Entry")
            .attribute<&TestEntry::uuid_>("uuid", AttributeType::String)
            .attribute<&TestEntry::start_>("start", AttributeType::Date)
            .attribute<&TestEntry::end_>("end", AttributeType::Date)
            .attribute<&TestEntry::note_>("note", AttributeType::String)
            .attribute<&TestEntry::zone_>("zone", AttributeType::String)
            .attribute<&TestEntry::dayOffset_>("dayOffset", AttributeType::Int32)
            .attribute<&TestEntry::billing_>("billing", AttributeType::Int16)
            .toOne<&TestEntry::task_>("task", "Task", "entries", true)
            .toOne<&TestEntry::label_>("label", "Label", "entries", true)
            .toMany<&TestEntry::days_>("days", "Day", "entries", true)
            .toOne<&TestEntry::firstDay_>("firstDay", "Day", "firstEntries", true)
            .index({"uuid"})
            .index({"task", "start"})
            .build();
    return description;
}

void TestEntry::setTask(TestTask* value) {
    setToOne(kTask, value);
}

void TestEntry::setLabel(TestLabel* value) {
    setToOne(kLabel, value);
}

void TestEntry::setFirstDay(TestDay* value) {
    setToOne(kFirstDay, value);
}

void TestEntry::addDay(TestDay* day) {
    addToMany(kDays, day);
}

void TestEntry::removeDay(TestDay* day) {
    removeFromMany(kDays, day);
}

}  // namespace ravelong::store_testing
