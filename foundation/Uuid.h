#pragma once

#include <string>
#include <string_view>

namespace ravelong {

// A new random (version 4, RFC 4122 variant) UUID in canonical text: 36 characters, upper-case
// hex digits in groups of 8-4-4-4-12, e.g. "1B4E28BA-2FA1-41D2-883F-0016D3CCA427". The bits come
// from the kernel's random source (getrandom), so two processes started at once, or two threads,
// never share a sequence. Safe to call from any thread.
std::string makeUuid();

// True for exactly 36 characters of upper-case hex digits with dashes at positions 8, 13, 18 and
// 23. Any version and variant is accepted (identities made elsewhere need not be version 4);
// lower-case text is not canonical and is rejected, so callers normalise before storing.
bool isCanonicalUuid(std::string_view text);

}  // namespace ravelong
