#pragma once

#include <vector>

namespace ravelong {

// The time shown by the menu bar item, as the stop operations see it. Implemented by the menu
// bar item; the timer controller passes its delegate's to the stops. Main thread only.
class StatusItemTime {
public:
    virtual ~StatusItemTime() = default;

    // The length in seconds of a timing just stopped some minutes ago; the item shows it at its
    // next drawing and then forgets it.
    virtual void setSecondsOfLastStopXMinutesAgo(double seconds) = 0;
    // Recomputes the shown total and redraws.
    virtual void updateTime() = 0;
};

}  // namespace ravelong
