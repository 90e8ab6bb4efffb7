#include "core/calendar/NewDayHour.h"

#include <algorithm>
#include <memory>
#include <mutex>

namespace ravelong::new_day_hour {

namespace {

std::mutex gMutex;
std::shared_ptr<const std::function<int()>> gProvider;

}  // namespace

int current() {
    std::shared_ptr<const std::function<int()>> provider;
    {
        std::lock_guard lock(gMutex);
        provider = gProvider;
    }
    // Called outside the lock: the provider may itself read settings under locks of its own.
    return provider ? std::clamp((*provider)(), 0, 23) : 0;
}

void setProvider(std::function<int()> provider) {
    auto installed =
        provider ? std::make_shared<const std::function<int()>>(std::move(provider)) : nullptr;
    std::lock_guard lock(gMutex);
    gProvider = std::move(installed);
}

}  // namespace ravelong::new_day_hour
