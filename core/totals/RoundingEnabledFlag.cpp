#include "core/totals/RoundingEnabledFlag.h"

#include "core/totals/TaskRounding.h"

namespace ravelong {

namespace {

RoundingEnabledFlag& processFlag() {
    static RoundingEnabledFlag flag(true);
    return flag;
}

std::atomic<RoundingEnabledFlag*> gInstalled{nullptr};

}  // namespace

bool RoundingEnabledFlag::refreshRoundingEnabled_inContext(const ManagedObjectContext& context) {
    const bool enabled = task_totals::anyTaskHasRoundingEnabled_inContext(context);
    setRoundingEnabled(enabled);
    return enabled;
}

RoundingEnabledFlag& RoundingEnabledFlag::current() {
    RoundingEnabledFlag* installed = gInstalled.load(std::memory_order_acquire);
    return installed ? *installed : processFlag();
}

void RoundingEnabledFlag::install(RoundingEnabledFlag* flag) {
    gInstalled.store(flag, std::memory_order_release);
}

ScopedRoundingEnabledFlag::ScopedRoundingEnabledFlag(RoundingEnabledFlag& flag)
    : previous_(gInstalled.load(std::memory_order_acquire)) {
    RoundingEnabledFlag::install(&flag);
}

ScopedRoundingEnabledFlag::~ScopedRoundingEnabledFlag() {
    RoundingEnabledFlag::install(previous_);
}

}  // namespace ravelong
