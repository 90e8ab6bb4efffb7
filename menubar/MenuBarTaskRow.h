#pragma once

#include <string>

#include "core/model/TaskColor.h"

namespace ravelong {

// One row of the task list panel: a task as the list shows it. Rows name their task by uuid, so
// a row that outlived its task (deleted by a save meanwhile) finds nothing instead of a dangling
// record. Totals are seconds; the texts are the hours-and-minutes form the panel's width asks for.
struct MenuBarTaskRow {
    // A row of a task with listed subtasks shows a disclosure control.
    enum class Disclosure { none, collapsed, expanded };

    std::string uuid;
    std::string name;
    std::string description;
    TaskColor color;
    int tier = 0;  // 0 top level, 1 subtask, 2 sub-subtask
    Disclosure disclosure = Disclosure::none;
    bool leaf = true;      // no subtasks: its own timer starts and stops here
    bool running = false;  // the task or one of its descendants has a running timing
    double periodTotal = 0.0;
    double totalEver = 0.0;
    std::string periodTotalText;
    std::string totalEverText;

    bool operator==(const MenuBarTaskRow&) const = default;
};

}  // namespace ravelong
