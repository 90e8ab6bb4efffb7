#include "menubar/HotKeyActions.h"

#include "core/model/ZRCDTask.h"
#include "core/services/AddNotePanel.h"
#include "core/services/AlertSound.h"
#include "core/services/ApplicationDelegate.h"
#include "core/timer/TimerTexts.h"
#include "core/timer/ZRTimerControllerOSX.h"

namespace ravelong {

HotKeyActions::HotKeyActions(ZRTimerControllerOSX& timerController, Hooks hooks)
    : timerController_(timerController), hooks_(std::move(hooks)) {}

void HotKeyActions::playFunk() {
    if (AlertSound* sound = timerController_.delegate().alertSound())
        sound->playSound(kFunkSound);
}

bool HotKeyActions::hitToggleTimerHotKey() {
    ZRCDTask* task = hooks_.currentTask ? hooks_.currentTask() : nullptr;
    if (!task || task->isDeleted() || !task->childTasks().empty()) {
        playFunk();
        return false;
    }
    return timerController_.toggleTask(task, 0.0, kNoteOverrideNone, false, true);
}

void HotKeyActions::hitAddNoteHotKey() {
    if (AddNotePanel* panel = timerController_.delegate().addNotePanel())
        panel->openAddTimingNotePanelWithType(1, nullptr, false);
}

void HotKeyActions::hitToggleMenuBarPanelHotKey() {
    if (hooks_.toggleMenuBarPanel)
        hooks_.toggleMenuBarPanel();
}

bool HotKeyActions::hitToggleTimerAndAddNoteHotKey() {
    ZRCDTask* task = ZRCDTask::getLastModifiedUnarchivedLeafTask_inContext(
        timerController_.delegate().managedObjectContext());
    if (!task) {
        playFunk();
        return false;
    }
    return timerController_.toggleTask(task, 0.0, kNoteOverrideAlternative, false, true);
}

void HotKeyActions::hitShowRecentTasksHotKey() {
    if (hooks_.showStackMenu)
        hooks_.showStackMenu();
}

bool HotKeyActions::perform(std::string_view identifier) {
    if (identifier == "ToggleTimer")
        hitToggleTimerHotKey();
    else if (identifier == "AddNote")
        hitAddNoteHotKey();
    else if (identifier == "ToggleMenuBarPanel")
        hitToggleMenuBarPanelHotKey();
    else if (identifier == "ToggleTimerAndAddNote")
        hitToggleTimerAndAddNoteHotKey();
    else if (identifier == "ShowRecentTasks")
        hitShowRecentTasksHotKey();
    else
        return false;
    return true;
}

}  // namespace ravelong
