#pragma once

#include <functional>
#include <string_view>

namespace ravelong {

class ZRCDTask;
class ZRTimerControllerOSX;

// What each global hot key does. The hot-key service calls perform() with the identifier a key
// was registered under ("ToggleTimer", ...). Main thread only; the controller must outlive this.
class HotKeyActions {
public:
    // What the hot keys need of the tray item and its panel; empty functions are skipped.
    struct Hooks {
        std::function<ZRCDTask*()> currentTask;    // the task the tray item shows
        std::function<void()> toggleMenuBarPanel;  // show the task panel, or hide it
        std::function<void()> showStackMenu;       // open the tray item's menu
    };

    HotKeyActions(ZRTimerControllerOSX& timerController, Hooks hooks);

    // Toggles the tray item's current task (not considering modifier keys, saving); the alert
    // sound and nothing else when there is none, or it has subtasks. True when a timer started
    // or stopped.
    bool hitToggleTimerHotKey();
    // Opens the add-note panel (type 1, no preferred timing).
    void hitAddNoteHotKey();
    void hitToggleMenuBarPanelHotKey();
    // Toggles the unarchived task without subtasks changed last, with the add-note panel
    // opening whatever its preference says; the alert sound when there is no such task.
    bool hitToggleTimerAndAddNoteHotKey();
    void hitShowRecentTasksHotKey();

    // Calls the action of a hot key identifier; false for an unknown one.
    bool perform(std::string_view identifier);

private:
    void playFunk();

    ZRTimerControllerOSX& timerController_;
    Hooks hooks_;
};

}  // namespace ravelong
