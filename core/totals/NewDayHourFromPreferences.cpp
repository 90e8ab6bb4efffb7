#include "core/totals/NewDayHourFromPreferences.h"

#include "core/calendar/NewDayHour.h"
#include "core/model/ZRCDPreferences.h"

namespace ravelong {

NewDayHourFromPreferences::NewDayHourFromPreferences(const ManagedObjectContext& context)
    : context_(context), owner_(std::this_thread::get_id()) {
    refresh();
    new_day_hour::setProvider([this] { return read(); });
}

NewDayHourFromPreferences::~NewDayHourFromPreferences() {
    new_day_hour::setProvider({});
}

int NewDayHourFromPreferences::refresh() {
    const int hour = ZRCDPreferences::currentNewDay_inContext(context_);
    hour_.store(hour, std::memory_order_relaxed);
    return hour;
}

int NewDayHourFromPreferences::read() {
    if (std::this_thread::get_id() == owner_)
        return refresh();
    return hour_.load(std::memory_order_relaxed);
}

}  // namespace ravelong
