#pragma once

#include <string>
#include <string_view>
#include <variant>

namespace ravelong {

class ManagedObject;
class ZRCDTask;

// The text that describes a merge conflict to the user: which property of which record changed
// both here and in the cloud, and, where the text shows them, the two values. The object holds
// the cloud's value; `value` is the local one (a task's uuid for "parentTask", a flag for
// "isArchived", a task for a timing's "task", a text for "taskName").
class ZRMergeConflictMessage {
public:
    using Value = std::variant<std::monostate, std::string, bool, const ZRCDTask*>;

    static std::string getMergeConflictMessageForObject(const ManagedObject* object,
                                                        std::string_view type, const Value& value);
};

// Replaces each "%@" of `format` by the next argument, in order.
std::string formatWithObjects(std::string_view format,
                              std::initializer_list<std::string_view> arguments);

}  // namespace ravelong
