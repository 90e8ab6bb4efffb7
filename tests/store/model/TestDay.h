#pragma once

#include "store/ManagedObject.h"

namespace ravelong::store_testing {

class TestEntry;
class TestTask;

// A day of a task with the entries on it: the other end of TestEntry's days and first day.
class TestDay final : public ManagedObject {
public:
    enum Property : int {
        kAbsDay,
        kDuration,
        kRunning,
        kTask,
        kEntries,
        kFirstEntries,
        kPropertyCount,  // keep last: the number of properties
    };

    static EntityDescription& entityDescription();

    std::int32_t absDay() const { return absDay_; }
    void setAbsDay(std::int32_t value) { setAttribute(kAbsDay, value_conversion::toValue(value)); }
    double duration() const { return duration_; }
    void setDuration(double value) { setAttribute(kDuration, value_conversion::toValue(value)); }
    bool running() const { return running_; }
    void setRunning(bool value) { setAttribute(kRunning, value_conversion::toValue(value)); }

    TestTask* task() const { return task_; }
    void setTask(TestTask* value);
    ToMany<TestEntry> entries() const { return ToMany<TestEntry>(entries_); }
    // Changes the many-to-many from its unstored side.
    void addEntry(TestEntry* entry);
    ToMany<TestEntry> firstEntries() const { return ToMany<TestEntry>(firstEntries_); }
    void addFirstEntry(TestEntry* entry);

private:
    friend class EntityBuilder<TestDay>;
    TestDay() : ManagedObject(entityDescription()) {}
    TestDay(const TestDay&) = default;

    std::int32_t absDay_ = 0;
    double duration_ = 0;
    bool running_ = false;
    TestTask* task_ = nullptr;
    ObjectSet entries_;
    ObjectSet firstEntries_;
};

}  // namespace ravelong::store_testing
