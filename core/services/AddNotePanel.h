#pragma once

#include <vector>

namespace ravelong {

class ZRCDTiming;

// The panel in which the user types the note of a timing just started or stopped, as the timer
// controller sees it. The interface layer implements it; the controller reaches it through its
// ApplicationDelegate. Main thread only.
class AddNotePanel {
public:
    virtual ~AddNotePanel() = default;

    // Opens the panel for `timing` (nullptr: no preferred timing) if the panel's rule for `type`
    // says so. Types: 2 after a start, 3 after a stop, 5 and 6 after a start or stop when the
    // panel must open regardless of the preference. With considerModifierKeys, the modifier keys
    // the user holds may invert the decision.
    virtual void openAddTimingNotePanelWithType(int type, ZRCDTiming* timing,
                                                bool considerModifierKeys) = 0;

    // Makes `timing` the panel's current timing (the one a note goes to by default).
    virtual void setTiming(ZRCDTiming* timing) = 0;
};

}  // namespace ravelong
