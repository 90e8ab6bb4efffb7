#pragma once

#include "foundation/Instant.h"

namespace ravelong {

// The start and end time pickers that a duration picker keeps in step: those of a timing editor,
// or in the menu-bar panel (duration picker "menubar") the sibling views "time start" and
// "time end". The view layer implements it over whichever pair applies. Main thread only.
class ZRDurationPickerTimePickers {
public:
    virtual ~ZRDurationPickerTimePickers() = default;

    // Whether the end picker shows a text (such as "now" for a running timing) instead of a
    // time. Then a new duration moves the start; otherwise it moves the end.
    virtual bool endTimePickerHasText() const = 0;

    virtual Instant startTime() const = 0;
    virtual void setStartTime(Instant start) = 0;
    virtual void setEndTime(Instant end) = 0;
};

}  // namespace ravelong
