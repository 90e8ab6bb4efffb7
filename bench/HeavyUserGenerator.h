#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "foundation/Error.h"
#include "foundation/Instant.h"
#include "store/ManagedObjectContext.h"
#include "store/PersistentStore.h"

namespace ravelong::bench {

// The shape of a heavy user's data. The defaults are the size every benchmark is measured at.
struct HeavyUserProfile {
    int tasks = 2000;      // in three tiers; timings go to the leaves
    int timings = 200000;  // spread over the working days of `years`
    int years = 10;        // ending at `now`
    Instant now =
        820000000;  // 2026-12-26, a Saturday: the generated data does not depend on the clock
    std::uint64_t seed = 20261206;
    bool runningTimer = true;  // the last timing is still running
};

struct HeavyUserCounts {
    int tasks = 0;
    int timings = 0;
    int timingSets = 0;
    int origins = 0;
};

// Fills an empty context with a heavy user's records, deterministically for a profile:
// tasks in three tiers linked into one display chain; timings on the working days of the years
// (several a day, most on distinct tasks, some with notes, a few running past midnight), counted
// in three time zones and with cut-offs 0 and 4 hours over different stretches of time; one day
// aggregate per task and day with its duration; origins of two devices (plus a CSV import); the
// preferences record; and, if asked, one running timing.
HeavyUserCounts generateHeavyUser(ManagedObjectContext& context, const HeavyUserProfile& profile);

// A store file holding a heavy user's data, made once per profile in `directory` and reused
// by later runs (the file name carries the profile).
Result<std::filesystem::path> heavyUserStoreFile(const std::filesystem::path& directory,
                                                 const HeavyUserProfile& profile);

// The same, made (when missing) in a child process, so that the memory the generator used does
// not count in the caller's memory figures.
Result<std::filesystem::path> heavyUserStoreFileMadeInChildProcess(const HeavyUserProfile& profile);

// The default profile with its number of timings taken from $RAVELONG_BENCH_TIMINGS when that
// holds a positive number: a smaller store for profiling runs. Figures are quoted at the default.
HeavyUserProfile heavyUserProfileFromEnvironment();

// Where benchmark stores are kept: $RAVELONG_BENCH_DIR, else the system temp folder.
std::filesystem::path benchDataDirectory();

}  // namespace ravelong::bench
