#pragma once

#include "foundation/Instant.h"

namespace ravelong {

class StatusItemTime;
class ZRCDTiming;

// Stopping a running timing and moving its start: the operations every stop in the program goes
// through (timer controller, idle resolution, sleep, crash recovery). They change the timing in
// its context but do not save, open no undo group and play no sound; callers do that.
//
// Instants are seconds since 2001-01-01 UTC, "now" is Clock::current(). Main thread (the
// timing's context's thread) only.
namespace timing_stop {

// Stops a running timing `seconds` before now: its end date becomes now - seconds and modified
// becomes now, which re-runs its day assignment. Returns the timing, or nullptr when nothing was
// kept:
// - a timing that is not running, or is deleted or outside a context, is left alone;
// - non-finite seconds are refused (nothing changes); negative seconds count as 0, since a
//   timing cannot end in the future;
// - a stop that would leave less than 10 seconds (a start later than end - 10) deletes the
//   timing, together with its share of the day aggregates, instead of keeping a stub.
// A stop in the past (seconds != 0) that keeps a timing shorter than 345570 seconds tells
// `statusItem` (when given) its length and has it redraw. A user script is told
// "timerStoppedForTiming" with the uuid 0.2 s later; a deleted timing sends nothing.
ZRCDTiming* stopThisTimingSecondsAgo(ZRCDTiming& timing, double seconds,
                                     StatusItemTime* statusItem = nullptr);
// The same with 0 seconds.
ZRCDTiming* stopThisTimingNow(ZRCDTiming& timing, StatusItemTime* statusItem = nullptr);
// The same, ending at `date` (a date in the past; one in the future ends the timing now).
ZRCDTiming* stopThisTimingOn(ZRCDTiming& timing, Instant date,
                             StatusItemTime* statusItem = nullptr);

// Moves the start of a timing and saves through the context's delegate when asked. Returns the
// timing, or nullptr when it is refused and nothing changed: a timing outside a context or
// deleted, a non-finite date, or a start later than the end of a stopped timing. A failed save
// is logged; the change stays in the context.
ZRCDTiming* setStartDateTo(ZRCDTiming& timing, Instant date, bool save);

}  // namespace timing_stop

}  // namespace ravelong
