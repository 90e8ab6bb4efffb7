#pragma once

#include <string>
#include <vector>

namespace ravelong {

class ManagedObjectContext;

// What the tray panel lists: the unarchived tasks in the display order of the task chain, each
// with its tier (0 for a top-level task) and whether it has a running timer. Only tasks without
// subtasks ("leaves") start and stop timers; a task with subtasks is a heading. Rows name their
// task by uuid, so a row that outlived its task (deleted by a save meanwhile) finds nothing
// instead of a dangling record. Qt-free; main thread (the context's thread).
struct TaskPanelRow {
    std::string uuid;
    std::string name;
    int tier = 0;
    bool leaf = true;
    bool running = false;

    bool operator==(const TaskPanelRow&) const = default;
};

std::vector<TaskPanelRow> taskPanelRows(ManagedObjectContext& context);

// The tray item's texts: the current task's name ("No Task" without one) and the current
// task's total for today, running timer included (empty without a current task). The current
// task is the one of the most recently changed running timing, else the most recently changed
// unarchived task without subtasks.
struct TrayStatus {
    std::string taskName;
    std::string todayTotal;
    bool running = false;
};

TrayStatus trayStatus(ManagedObjectContext& context);

}  // namespace ravelong
