#pragma once

#include <optional>
#include <string>

#include "store/ManagedObject.h"

namespace ravelong::store_testing {

class TestDay;
class TestEntry;
class TestLabel;

// The central record of the store tests' model: a tree (parent, subtasks), an order (next, with
// the unstored inverse previous), labels (many-to-many, kept in a join table), entries and days
// (one-to-many), and attributes of every type.
class TestTask final : public ManagedObject {
public:
    enum Property : int {
        kName,
        kRank,
        kCode,
        kNote,
        kColor,
        kArchived,
        kWeight,
        kCreatedDay,
        kCreated,
        kUuid,
        kParent,
        kSubtasks,
        kPrevious,
        kNext,
        kLabels,
        kEntries,
        kDays,
        kPropertyCount,  // keep last: the number of properties
    };

    static EntityDescription& entityDescription();

    const std::optional<std::string>& name() const { return name_; }
    void setName(const std::optional<std::string>& value) { set(kName, value); }
    std::int64_t rank() const { return rank_; }
    void setRank(std::int64_t value) { setAttribute(kRank, Value(value)); }
    // Unique among the tasks that have one.
    const std::optional<std::string>& code() const { return code_; }
    void setCode(const std::optional<std::string>& value) { set(kCode, value); }
    const std::optional<std::string>& note() const { return note_; }
    void setNote(const std::optional<std::string>& value) { set(kNote, value); }
    const std::optional<Data>& color() const { return color_; }
    void setColor(const std::optional<Data>& value) { set(kColor, value); }
    bool archived() const { return archived_; }
    void setArchived(bool value) { set(kArchived, value); }
    std::int16_t weight() const { return weight_; }
    void setWeight(std::int16_t value) { set(kWeight, value); }
    std::int32_t createdDay() const { return createdDay_; }
    void setCreatedDay(std::int32_t value) { set(kCreatedDay, value); }
    std::optional<double> created() const { return created_; }
    void setCreated(std::optional<double> value) { set(kCreated, value); }
    const std::optional<std::string>& uuid() const { return uuid_; }
    void setUuid(const std::optional<std::string>& value) { set(kUuid, value); }

    TestTask* parent() const { return parent_; }
    void setParent(TestTask* value) { setToOne(kParent, value); }
    ToMany<TestTask> subtasks() const { return ToMany<TestTask>(subtasks_); }
    void addSubtask(TestTask* task) { addToMany(kSubtasks, task); }

    TestTask* previous() const { return previous_; }
    void setPrevious(TestTask* value) { setToOne(kPrevious, value); }
    TestTask* next() const { return next_; }
    void setNext(TestTask* value) { setToOne(kNext, value); }

    ToMany<TestLabel> labels() const { return ToMany<TestLabel>(labels_); }
    void addLabel(TestLabel* label);
    void removeLabel(TestLabel* label);

    ToMany<TestEntry> entries() const { return ToMany<TestEntry>(entries_); }
    void addEntry(TestEntry* entry);
    void removeEntry(TestEntry* entry);
    ToMany<TestDay> days() const { return ToMany<TestDay>(days_); }

private:
    friend class EntityBuilder<TestTask>;
    TestTask() : ManagedObject(entityDescription()) {}
    TestTask(const TestTask&) = default;

    template <class T>
    void set(int property, const T& value) {
        setAttribute(property, value_conversion::toValue(value));
    }

    std::optional<std::string> name_;
    std::int64_t rank_ = 0;
    std::optional<std::string> code_;
    std::optional<std::string> note_;
    std::optional<Data> color_;
    bool archived_ = false;
    std::int16_t weight_ = 0;
    std::int32_t createdDay_ = 0;
    std::optional<double> created_;
    std::optional<std::string> uuid_;
    TestTask* parent_ = nullptr;
    ObjectSet subtasks_;
    TestTask* previous_ = nullptr;
    TestTask* next_ = nullptr;
    ObjectSet labels_;
    ObjectSet entries_;
    ObjectSet days_;
};

}  // namespace ravelong::store_testing
