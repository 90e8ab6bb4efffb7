#pragma once

#include <optional>
#include <string>

#include "store/ManagedObject.h"

namespace ravelong::store_testing {

class TestDay;
class TestLabel;
class TestTask;

// A span of time of a task, on one or more days (many-to-many, stored here) of which one is the
// first.
class TestEntry final : public ManagedObject {
public:
    enum Property : int {
        kUuid,
        kStart,
        kEnd,
        kNote,
        kZone,
        kDayOffset,
        kBilling,
        kTask,
        kLabel,
        kDays,
        kFirstDay,
        kPropertyCount,  // keep last: the number of properties
    };

    static EntityDescription& entityDescription();

    const std::optional<std::string>& uuid() const { return uuid_; }
    void setUuid(const std::optional<std::string>& value) { set(kUuid, value); }
    std::optional<double> start() const { return start_; }
    void setStart(std::optional<double> value) { set(kStart, value); }
    std::optional<double> end() const { return end_; }
    void setEnd(std::optional<double> value) { set(kEnd, value); }
    const std::optional<std::string>& note() const { return note_; }
    void setNote(const std::optional<std::string>& value) { set(kNote, value); }
    const std::optional<std::string>& zone() const { return zone_; }
    void setZone(const std::optional<std::string>& value) { set(kZone, value); }
    std::int32_t dayOffset() const { return dayOffset_; }
    void setDayOffset(std::int32_t value) { set(kDayOffset, value); }
    std::int16_t billing() const { return billing_; }
    void setBilling(std::int16_t value) { set(kBilling, value); }

    TestTask* task() const { return task_; }
    void setTask(TestTask* value);
    TestLabel* label() const { return label_; }
    void setLabel(TestLabel* value);
    ToMany<TestDay> days() const { return ToMany<TestDay>(days_); }
    void addDay(TestDay* day);
    void removeDay(TestDay* day);
    TestDay* firstDay() const { return firstDay_; }
    void setFirstDay(TestDay* value);

private:
    friend class EntityBuilder<TestEntry>;
    TestEntry() : ManagedObject(entityDescription()) {}
    TestEntry(const TestEntry&) = default;

    template <class T>
    void set(int property, const T& value) {
        setAttribute(property, value_conversion::toValue(value));
    }

    std::optional<std::string> uuid_;
    std::optional<double> start_;
    std::optional<double> end_;
    std::optional<std::string> note_;
    std::optional<std::string> zone_;
    std::int32_t dayOffset_ = 0;
    std::int16_t billing_ = 0;
    TestTask* task_ = nullptr;
    TestLabel* label_ = nullptr;
    ObjectSet days_;
    TestDay* firstDay_ = nullptr;
};

}  // namespace ravelong::store_testing
