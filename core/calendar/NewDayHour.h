#pragma once

#include <functional>

// Where the calendar learns the user's day cut-off hour (the "new day" preference) when a caller
// does not pass one. The preferences record installs its reader here; until then the cut-off is
// 0 (days start at midnight). Safe to call from any thread; the provider is called on the
// caller's thread and must be safe there.
namespace ravelong::new_day_hour {

// The cut-off hour now, limited to 0...23.
int current();

// Installs the provider; an empty function restores the default of 0.
void setProvider(std::function<int()> provider);

}  // namespace ravelong::new_day_hour
