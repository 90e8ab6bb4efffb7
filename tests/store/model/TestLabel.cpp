#include "tests/store/model/TestLabel.h"

#include "tests/store/model/TestTask.h"

namespace ravelong::store_testing {

EntityDescription& TestLabel::entityDescription() {
    static EntityDescription description =
        EntityBuilder<TestLabel>("Label")
            .attribute<&TestLabel::title_>("title", AttributeType::String)
            .attribute<&TestLabel::uid_>("uid", AttributeType::Int32)
            .attribute<&TestLabel::kind_>("kind", AttributeType::Int16)
            .toMany<&TestLabel::tasks_>("tasks", "Task", "labels", false)
            .toMany<&TestLabel::entries_>("entries", "Entry", "label", false)
            .build();
    return description;
}

void TestLabel::addTask(TestTask* task) {
    addToMany(kTasks, task);
}

void TestLabel::removeTask(TestTask* task) {
    removeFromMany(kTasks, task);
}

}  // namespace ravelong::store_testing
