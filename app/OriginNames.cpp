#include "app/OriginNames.h"

#include <array>

#include "core/model/UndoSuppression.h"
#include "core/model/ZRCDOrigin.h"
#include "foundation/Clock.h"

namespace ravelong::origin_names {

namespace {

// The white space and line breaks that are not ASCII, as UTF-8.
constexpr std::array<std::string_view, 19> kUnicodeBlanks = {
    "\u0085", "\u00A0", "\u1680", "\u2000", "\u2001", "\u2002", "\u2003",
    "\u2004", "\u2005", "\u2006", "\u2007", "\u2008", "\u2009", "\u200A",
    "\u2028", "\u2029", "\u202F", "\u205F", "\u3000"};

bool isAsciiBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Length of the blank at the start (fromEnd false) or end of `text`; 0 when there is none.
std::size_t blankAt(std::string_view text, bool fromEnd) {
    if (text.empty())
        return 0;
    if (isAsciiBlank(fromEnd ? text.back() : text.front()))
        return 1;
    for (std::string_view blank : kUnicodeBlanks) {
        if (fromEnd ? text.ends_with(blank) : text.starts_with(blank))
            return blank.size();
    }
    return 0;
}

}  // namespace

std::string trimmedName(std::string_view text) {
    while (std::size_t n = blankAt(text, false))
        text.remove_prefix(n);
    while (std::size_t n = blankAt(text, true))
        text.remove_suffix(n);
    return std::string(text);
}

std::size_t applyDeviceNameToOrigins(ManagedObjectContext& context) {
    ScopedUndoRegistrationOff undoOff(context);
    const std::string name = ZRCDOrigin::currentDeviceName();
    const Instant now = Clock::current().now();
    std::size_t changed = 0;
    for (ZRCDOrigin* origin : ZRCDOrigin::getAllOriginsForThisDevice_inContext(context)) {
        if (origin->device() != name) {
            origin->setDevice(name);
            origin->setDeviceNameChanged(now);
            ++changed;
        }
    }
    return changed;
}

std::size_t applyUserNameToOrigins(ManagedObjectContext& context) {
    ScopedUndoRegistrationOff undoOff(context);
    const std::string name = ZRCDOrigin::currentUserName();
    const Instant now = Clock::current().now();
    std::size_t changed = 0;
    for (ZRCDOrigin* origin :
         ZRCDOrigin::getAllOriginsForThisDeviceAndThisUser_inContext(context)) {
        if (origin->user() != name) {
            origin->setUser(name);
            origin->setUserNameChanged(now);
            ++changed;
        }
    }
    return changed;
}

}  // namespace ravelong::origin_names
