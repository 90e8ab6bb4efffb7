#pragma once

#include <atomic>

namespace ravelong {

class ManagedObjectContext;

// `roundingEnabled`, held by the application object: whether any task has a rounding code of its
// own above 100. While it is off, every rounded total is the plain one and the timing sets'
// rounded caches are left alone, which spares the totals all rounding work for the many users
// who never round.
//
// The application owns one, refreshes it at launch and after bulk changes (restore, import,
// sync) with refreshRoundingEnabled_inContext, and installs it with install() so that the totals
// read it. The rounding setters of task_totals refresh the installed flag themselves. Until one is
// installed the totals read a process-wide flag that starts on: totals are right (only slower)
// before anyone has looked at the tasks.
//
// Reading is safe from any thread (background chart work reads it); refresh on the thread of the
// context it reads.
class RoundingEnabledFlag {
public:
    explicit RoundingEnabledFlag(bool roundingEnabled = true) : roundingEnabled_(roundingEnabled) {}
    RoundingEnabledFlag(const RoundingEnabledFlag&) = delete;
    RoundingEnabledFlag& operator=(const RoundingEnabledFlag&) = delete;

    bool roundingEnabled() const { return roundingEnabled_.load(std::memory_order_relaxed); }
    void setRoundingEnabled(bool enabled) {
        roundingEnabled_.store(enabled, std::memory_order_relaxed);
    }
    // Sets the flag to task_totals::anyTaskHasRoundingEnabled_inContext and returns it.
    bool refreshRoundingEnabled_inContext(const ManagedObjectContext& context);

    // The flag the totals read.
    static RoundingEnabledFlag& current();
    // Makes `flag` the current one (the caller keeps ownership and uninstalls it, with nullptr,
    // before destroying it); nullptr restores the process-wide flag.
    static void install(RoundingEnabledFlag* flag);

private:
    std::atomic<bool> roundingEnabled_;
};

// Installs a flag for the lifetime of the scope, restoring the previous one afterwards.
class ScopedRoundingEnabledFlag {
public:
    explicit ScopedRoundingEnabledFlag(RoundingEnabledFlag& flag);
    ~ScopedRoundingEnabledFlag();
    ScopedRoundingEnabledFlag(const ScopedRoundingEnabledFlag&) = delete;
    ScopedRoundingEnabledFlag& operator=(const ScopedRoundingEnabledFlag&) = delete;

private:
    RoundingEnabledFlag* previous_;
};

}  // namespace ravelong
