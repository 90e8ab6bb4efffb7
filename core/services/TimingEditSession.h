#pragma once

namespace ravelong {

// An edit of a timing's duration or dates in progress in the main window's timing table. A stop
// ends it first, so the half-typed value is committed (or dropped) by the table before the
// timing changes underneath it. Implemented by the main window; the ApplicationDelegate gives
// nullptr while the window is closed. Main thread only.
class TimingEditSession {
public:
    virtual ~TimingEditSession() = default;
    // Ends the edit when a duration field or a timing date picker is being edited; otherwise
    // does nothing.
    virtual void endTimingEditInProgress() = 0;
};

}  // namespace ravelong
