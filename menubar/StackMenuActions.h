#pragma once

#include <cstdint>
#include <string>

namespace ravelong {

class ApplicationDelegate;
class NotificationCenter;
class ZRTimerControllerOSX;

// What the entries of the stack menu do (ZRStackMenu builds them). Records are found by the
// uuids the entries carry; an action whose record is gone, or that the rules below refuse, plays
// the alert sound "Funk" and changes nothing. Changes are one named undo step each and saved
// through the delegate. Main thread only.
class StackMenuActions {
public:
    // The delegate gives the context, the alert sound, the add-note panel and the save path;
    // `center` receives the recent-task notifications. Both must outlive the actions.
    StackMenuActions(ApplicationDelegate& delegate, ZRTimerControllerOSX& timer,
                     NotificationCenter& center);

    // Moves the timing's start back by `seconds` (> 0): one undo step "Move Start of Timer Back
    // %ld Minutes" (whole minutes of the offset), saved; posts "ZRTimeUpdate".
    bool setTimerAhead(const std::string& timingUuid, std::int64_t seconds);
    // Stops the running timing `seconds` ago through the timer controller.
    bool stopTimerXMinutesAgo(const std::string& timingUuid, std::int64_t seconds);
    // Deletes the running timing: one undo step "Delete Timing", saved.
    bool deleteTimingStop(const std::string& timingUuid);
    // "task uuid|||||timing uuid": gives the timing to the task, which must exist, have no
    // subtasks and differ from the timing's task; one undo step "Assign Task", saved.
    bool assignTask(const std::string& assignment);
    // Opens the add-note panel for the timing.
    bool addNoteMenuItemClicked(const std::string& timingUuid);
    // Post "ZRRecentTaskClicked" / "ZRRecentTaskAlternateClicked" for the record of an entry.
    bool recentTaskClicked(const std::string& uuid);
    bool recentTaskAlternateClicked(const std::string& taskUuid);
    // Undo and redo of the context's last step, saved.
    bool undo();
    bool redo();

private:
    bool refuse();
    bool save();

    ApplicationDelegate& delegate_;
    ZRTimerControllerOSX& timer_;
    NotificationCenter& center_;
};

}  // namespace ravelong
