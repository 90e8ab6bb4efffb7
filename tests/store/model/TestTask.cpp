#include "tests/store/model/TestTask.h"

#include "tests/store/model/TestEntry.h"
#include "tests/store/model/TestLabel.h"

namespace ravelong::store_testing {

EntityDescription& TestTask::entityDescription() {
    static EntityDescription description =
        EntityBuilder<TestTask>("Task")
            .attribute<&TestTask::name_>("name", AttributeType::String)
            .attribute<&TestTask::rank_>("rank", AttributeType::Int64)
            .attribute<&TestTask::code_>("code", AttributeType::String)
            .attribute<&TestTask::note_>("note", AttributeType::String)
            .attribute<&TestTask::color_>("color", AttributeType::Data)
            .attribute<&TestTask::archived_>("archived", AttributeType::Bool)
            .attribute<&TestTask::weight_>("weight", AttributeType::Int16)
            .attribute<&TestTask::createdDay_>("createdDay", AttributeType::Int32)
            .attribute<&TestTask::created_>("created", AttributeType::Date)
            .attribute<&TestTask::uuid_>("uuid", AttributeType::String)
            .toOne<&TestTask::parent_>("parent", "Task", "subtasks", true)
            .toMany<&TestTask::subtasks_>("subtasks", "Task", "parent", false)
            .toOne<&TestTask::previous_>("previous", "Task", "next", false)
            .toOne<&TestTask::next_>("next", "Task", "previous", true)
            .toMany<&TestTask::labels_>("labels", "Label", "tasks", true)
            .toMany<&TestTask::entries_>("entries", "Entry", "task", false)
            .toMany<&TestTask::days_>("days", "Day", "task", false)
            .index({"name"})
            .index({"parent", "rank"})
            .index({"code"}, true)
            .build();
    return description;
}

void TestTask::addLabel(TestLabel* label) {
    addToMany(kLabels, label);
}

void TestTask::removeLabel(TestLabel* label) {
    removeFromMany(kLabels, label);
}

void TestTask::addEntry(TestEntry* entry) {
    addToMany(kEntries, entry);
}

void TestTask::removeEntry(TestEntry* entry) {
    removeFromMany(kEntries, entry);
}

}  // namespace ravelong::store_testing
