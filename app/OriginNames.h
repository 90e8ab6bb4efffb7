#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "store/ManagedObjectContext.h"

// Keeping the names recorded in this device's origins equal to the names in force: the
// "ZRDeviceName" and "ZRUserName" settings, or, without them, the computer's name and the
// account's full name (ZRCDOrigin::currentDeviceName and currentUserName). Main thread.
namespace ravelong::origin_names {

// `text` without leading and trailing white space and line breaks, Unicode ones included (no-break
// space, ideographic space, line and paragraph separators, ...).
std::string trimmedName(std::string_view text);

// Every origin of this device whose `device` differs from the device name in force gets that
// name, with `deviceNameChanged` now. Returns how many changed. Nothing is saved, and no undo
// step is registered: the names follow a setting, and undoing them alone would contradict it.
std::size_t applyDeviceNameToOrigins(ManagedObjectContext& context);

// The same for `user` and `userNameChanged` of the origins of this device and this user.
std::size_t applyUserNameToOrigins(ManagedObjectContext& context);

}  // namespace ravelong::origin_names
