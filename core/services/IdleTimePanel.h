#pragma once

#include <vector>

#include "foundation/Instant.h"

namespace ravelong {

// The idle-time panel of the menu bar panel controller, as the timer controller sees it: shown
// when the user has been idle past the limit, closed when the last timer stops. Implemented by
// the menu bar layer and reached through the ApplicationDelegate. Main thread only.
class IdleTimePanel {
public:
    virtual ~IdleTimePanel() = default;

    // Shows the panel for an idle stretch that began at `idleSince` (seconds since 2001-01-01
    // UTC). An open panel keeps the start it was opened with and only refreshes its texts.
    virtual void showIdleTimePanel(Instant idleSince) = 0;
    // Closes the panel without resolving anything; nothing happens when it is not open.
    virtual void closeIdleTimePanel() = 0;
};

}  // namespace ravelong
