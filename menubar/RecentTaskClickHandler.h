#pragma once

#include "foundation/NotificationCenter.h"

namespace ravelong {

class ManagedObjectContext;
class ZRTimerControllerOSX;

// Carries out "ZRRecentTaskClicked" for as long as it lives: a task's timer is toggled, a running
// timing is stopped, each as one undo step, saved. The record is found again by the uuid the
// notification carries, so a notice about a record deleted meanwhile does nothing. Main thread.
class RecentTaskClickHandler {
public:
    RecentTaskClickHandler(NotificationCenter& center, ManagedObjectContext& context,
                           ZRTimerControllerOSX& timer);
    ~RecentTaskClickHandler();
    RecentTaskClickHandler(const RecentTaskClickHandler&) = delete;
    RecentTaskClickHandler& operator=(const RecentTaskClickHandler&) = delete;

private:
    void handle(const Notification& note);

    NotificationCenter& center_;
    ManagedObjectContext& context_;
    ZRTimerControllerOSX& timer_;
    NotificationCenter::ObserverId observer_ = 0;
};

}  // namespace ravelong
