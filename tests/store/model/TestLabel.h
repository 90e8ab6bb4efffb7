#pragma once

#include <optional>
#include <string>

#include "store/ManagedObject.h"

namespace ravelong::store_testing {

class TestEntry;
class TestTask;

// The other end of TestTask's labels; entries name one label each.
class TestLabel final : public ManagedObject {
public:
    enum Property : int { kTitle, kUid, kKind, kTasks, kEntries, kPropertyCount };

    static EntityDescription& entityDescription();

    const std::optional<std::string>& title() const { return title_; }
    void setTitle(const std::optional<std::string>& value) {
        setAttribute(kTitle, value_conversion::toValue(value));
    }
    std::int32_t uid() const { return uid_; }
    void setUid(std::int32_t value) { setAttribute(kUid, value_conversion::toValue(value)); }
    std::int16_t kind() const { return kind_; }
    void setKind(std::int16_t value) { setAttribute(kKind, value_conversion::toValue(value)); }

    ToMany<TestTask> tasks() const { return ToMany<TestTask>(tasks_); }
    // Changes the many-to-many from its unstored side.
    void addTask(TestTask* task);
    void removeTask(TestTask* task);
    ToMany<TestEntry> entries() const { return ToMany<TestEntry>(entries_); }

private:
    friend class EntityBuilder<TestLabel>;
    TestLabel() : ManagedObject(entityDescription()) {}
    TestLabel(const TestLabel&) = default;

    std::optional<std::string> title_;
    std::int32_t uid_ = 0;
    std::int16_t kind_ = 0;
    ObjectSet tasks_;
    ObjectSet entries_;
};

}  // namespace ravelong::store_testing
