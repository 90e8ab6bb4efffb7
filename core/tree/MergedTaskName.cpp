#include "core/tree/MergedTaskName.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <vector>

#include "core/tree/TextWidthMeasurer.h"
#include "core/tree/TreeTexts.h"

namespace ravelong::merged_task_name {

namespace {

struct CodePoint {
    UChar32 value;
    std::size_t offset;  // of its first byte
};

// The code points of valid UTF-8, or nothing.
std::optional<std::vector<CodePoint>> decode(std::string_view text) {
    std::vector<CodePoint> points;
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const int32_t length = static_cast<int32_t>(text.size());
    int32_t i = 0;
    while (i < length) {
        const int32_t start = i;
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0)
            return std::nullopt;
        points.push_back({c, static_cast<std::size_t>(start)});
    }
    return points;
}

UChar32 folded(UChar32 c) {
    return u_foldCase(c, U_FOLD_CASE_DEFAULT);
}

}  // namespace

std::size_t characterCount(std::string_view utf8) {
    auto points = decode(utf8);
    return points ? points->size() : utf8.size();
}

std::string mergedName(std::string_view receiver, std::string_view other) {
    const auto a = decode(receiver);
    const auto b = decode(other);
    std::size_t common = 0;  // code points
    if (a && b) {
        while (common < a->size() && common < b->size() &&
               folded((*a)[common].value) == folded((*b)[common].value)) {
            ++common;
        }
        if (common == a->size() && common == b->size())
            return std::string(receiver);
        if (common > 0 && (*a)[common - 1].value == ' ') {
            const std::size_t cut = common < b->size() ? (*b)[common].offset : other.size();
            return std::string(receiver) + std::string(kMergedNameSeparator) +
                   std::string(other.substr(cut));
        }
    } else if (receiver == other) {
        return std::string(receiver);
    }
    return std::string(receiver) + std::string(kMergedNameSeparator) + std::string(other);
}

std::string limitedToMergedNameWidth(std::string name) {
    const TextWidthMeasurer& measurer = TextWidthMeasurer::current();
    auto points = decode(name);
    if (!points) {
        // Not UTF-8 (a damaged store): cut bytes, which is all that can be counted.
        while (name.size() > kMinimumCharacters &&
               measurer.widthOfText(name) >= kMergedNameWidthLimit) {
            name.pop_back();
        }
        return name;
    }
    auto prefix = [&](std::size_t characters) {
        return std::string_view(name).substr(
            0, characters == points->size() ? name.size() : (*points)[characters].offset);
    };
    auto fits = [&](std::size_t characters) {
        return measurer.widthOfText(prefix(characters)) < kMergedNameWidthLimit;
    };
    if (points->size() <= kMinimumCharacters || fits(points->size()))
        return name;
    // Widths grow with every character, so the longest prefix that fits is found by halving
    // (a pasted name of thousands of characters costs a dozen measurements, not thousands).
    std::size_t lo = kMinimumCharacters;  // kept even when too wide
    std::size_t hi = points->size();      // too wide
    while (hi - lo > 1) {
        const std::size_t mid = lo + (hi - lo) / 2;
        (fits(mid) ? lo : hi) = mid;
    }
    name.resize(prefix(lo).size());
    return name;
}

std::optional<std::string> mergedDescription(const std::optional<std::string>& receiver,
                                             const std::optional<std::string>& other) {
    const bool hasReceiver = receiver && !receiver->empty();
    const bool hasOther = other && !other->empty();
    if (hasReceiver && hasOther && *receiver != *other)
        return *receiver + std::string(kMergedDescriptionSeparator) + *other;
    if (!hasReceiver && hasOther)
        return *other;
    return receiver;
}

}  // namespace ravelong::merged_task_name
