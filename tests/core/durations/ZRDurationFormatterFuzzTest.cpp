#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/durations/ZRDurationFormatter.h"

namespace ravelong {
namespace {

// Texts close to what the parser accepts, so that mutations reach deep into every form.
const std::vector<std::string> kSeeds = {
    "1.5",     "1,75",    "2:05",     "1:45:30", "1h 30m 15s", "90 min",
    "2 hours", "320.5",   "320,5",    ":30",     "::05",       "1 hour 1 minute 1 second",
    "0",       "1000000", "99:59:59", ".5",      "1.5h",       "\"1h 30m\"",
};

// Pieces a mutation may splice in: separators, units, signs, exponents, other scripts' digits,
// broken and odd UTF-8, NUL, and long runs of digits.
const std::vector<std::string> kFragments = [] {
    std::vector<std::string> fragments = {
        ":",   ".",     ",",    "h",  "m",  "s",  " ",      "hours",
        "min", "\t",    "\"",   "-",  "+",  "e",  "E9",     "inf",
        "nan", "1e308", "0000", "60", "59", "00", "hmshms", "99999999999999999999"};
    // Another script's minus, digit and space, broken UTF-8 and NUL.
    fragments.insert(fragments.end(), {"\xe2\x88\x92", "١", "\xef\xbc\x95", "\xe2\x80\xaf", "\xff",
                                       "\xc3", "\xed\xa0\x80", std::string(1, '\0')});
    return fragments;
}();

std::string randomBytes(std::mt19937_64& random, size_t length) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::string text(length, '\0');
    for (char& c : text) {
        c = static_cast<char>(byte(random));
    }
    return text;
}

// Texts from the alphabet the forms are made of, in random order.
std::string randomDurationLike(std::mt19937_64& random, size_t length) {
    static constexpr std::string_view kAlphabet = "0123456789.,:hms -+";
    std::uniform_int_distribution<size_t> pick(0, kAlphabet.size() - 1);
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        text.push_back(kAlphabet[pick(random)]);
    }
    return text;
}

std::string mutated(std::mt19937_64& random, std::string text) {
    std::uniform_int_distribution<int> operations(1, 4);
    const int count = operations(random);
    for (int i = 0; i < count; ++i) {
        const size_t at = std::uniform_int_distribution<size_t>(0, text.size())(random);
        switch (std::uniform_int_distribution<int>(0, 4)(random)) {
            case 0:  // insert a fragment
                text.insert(at, kFragments[std::uniform_int_distribution<size_t>(
                                    0, kFragments.size() - 1)(random)]);
                break;
            case 1:  // delete a byte
                if (at < text.size()) {
                    text.erase(at, 1);
                }
                break;
            case 2:  // flip a byte
                if (at < text.size()) {
                    text[at] = static_cast<char>(
                        text[at] ^ (1 << std::uniform_int_distribution<int>(0, 7)(random)));
                }
                break;
            case 3:  // cut
                text.resize(at);
                break;
            default:  // repeat
                text += text.substr(at);
                break;
        }
    }
    return text;
}

TEST(DurationParserFuzz, EveryTextGivesMinusOneOrAFiniteDurationInRange) {
    std::mt19937_64 random(20240315);
    std::vector<ZRDurationFormatter> formatters;
    for (const int64_t code : {0, 1, 2, 10, 11, 20, 30, 31, 99}) {
        formatters.emplace_back(code);
    }
    size_t accepted = 0;
    size_t rejected = 0;
    const auto check = [&](const std::string& text) {
        for (const ZRDurationFormatter& formatter : formatters) {
            const double seconds = formatter.durationFromString(text);
            if (seconds == -1.0) {
                ++rejected;
                continue;
            }
            ++accepted;
            ASSERT_TRUE(std::isfinite(seconds) && seconds >= 0.0 &&
                        seconds <= ZRDurationFormatter::kLongestDuration)
                << "code " << formatter.durationFormat() << " text \"" << text << "\" gave "
                << seconds;
        }
    };

    std::uniform_int_distribution<size_t> length(0, 40);
    for (int i = 0; i < 4000; ++i) {
        const std::string& seed =
            kSeeds[std::uniform_int_distribution<size_t>(0, kSeeds.size() - 1)(random)];
        ASSERT_NO_FATAL_FAILURE(check(mutated(random, seed)));
        ASSERT_NO_FATAL_FAILURE(check(randomDurationLike(random, length(random))));
        ASSERT_NO_FATAL_FAILURE(check(randomBytes(random, length(random))));
    }
    ASSERT_NO_FATAL_FAILURE(check(randomBytes(random, 5000)));
    ASSERT_NO_FATAL_FAILURE(check(std::string(100000, '9')));

    // Both outcomes must have been reached, or the inputs were not testing anything.
    EXPECT_GT(accepted, 1000u);
    EXPECT_GT(rejected, 1000u);
}

}  // namespace
}  // namespace ravelong
