#include "core/durations/ZRCustomTextFieldFormatter.h"

#include <unicode/utf8.h>

#include <climits>

namespace ravelong {

int64_t ZRCustomTextFieldFormatter::characterCount(std::string_view text) {
    if (text.size() > static_cast<size_t>(INT32_MAX)) {
        return -1;  // beyond what ICU's index type can walk; no field holds such a text
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const int32_t length = static_cast<int32_t>(text.size());
    int64_t count = 0;
    int32_t i = 0;
    while (i < length) {
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) {
            return -1;
        }
        ++count;
    }
    return count;
}

bool ZRCustomTextFieldFormatter::isPartialStringValid(std::string_view partialString,
                                                      std::string_view originalString) const {
    const int64_t proposed = characterCount(partialString);
    if (proposed < 0) {
        return false;
    }
    if (proposed <= maxLength_) {
        return true;
    }
    // Too long, but acceptable when the edit does not lengthen the text.
    const int64_t original = characterCount(originalString);
    return original >= 0 && proposed <= original;
}

}  // namespace ravelong
