#pragma once

#include <atomic>
#include <thread>

namespace ravelong {

class ManagedObjectContext;

// Connects the calendar's cut-off hour (new_day_hour::current(), which the one-argument
// standardPeriodDays and other callers without a context read) to the `newDay` of the
// preferences record in the application's main context.
//
// The application makes one for its main context at launch and keeps it no longer than the
// context. On the thread that made it (the main thread) every read looks at the record, so a
// change of the preference, also one arriving from another computer, counts at once; other threads
// get the hour last seen on the main thread (refresh() updates it without a read). Installing it
// replaces any provider installed before; destroying it restores the default (0).
class NewDayHourFromPreferences {
public:
    explicit NewDayHourFromPreferences(const ManagedObjectContext& context);
    ~NewDayHourFromPreferences();
    NewDayHourFromPreferences(const NewDayHourFromPreferences&) = delete;
    NewDayHourFromPreferences& operator=(const NewDayHourFromPreferences&) = delete;

    // Reads the record again (on the main thread) and returns the hour, 0...23.
    int refresh();

private:
    int read();

    const ManagedObjectContext& context_;
    const std::thread::id owner_;
    std::atomic<int> hour_{0};
};

}  // namespace ravelong
