#pragma once

#include <cstdint>
#include <string_view>

namespace ravelong {

// Limits the length of a text field's text; the text itself passes through unchanged. A widget
// asks before applying every edit (typing, pasting, deleting) and drops the edit when refused.
//
// Lengths count Unicode characters (code points) of UTF-8 text, not bytes: "Zürich" is 6.
// Main thread only, like the widget that owns it.
class ZRCustomTextFieldFormatter {
public:
    // A negative maxLength counts as 0 (only the empty text is accepted).
    explicit ZRCustomTextFieldFormatter(int32_t maxLength) { setMaxLength(maxLength); }

    int32_t maxLength() const { return maxLength_; }
    void setMaxLength(int32_t maxLength) { maxLength_ = maxLength < 0 ? 0 : maxLength; }

    // Whether the edit from `originalString` to `partialString` may happen. An edit that makes
    // the text longer than maxLength is refused. One that leaves it no longer than before is
    // always accepted, so a text that was already too long (set by the program, or before the
    // limit was lowered) can still be shortened. Text that is not valid UTF-8 is refused.
    bool isPartialStringValid(std::string_view partialString,
                              std::string_view originalString) const;

    // Unicode characters in UTF-8 text, or -1 when it is not valid UTF-8.
    static int64_t characterCount(std::string_view text);

private:
    int32_t maxLength_ = 0;
};

}  // namespace ravelong
