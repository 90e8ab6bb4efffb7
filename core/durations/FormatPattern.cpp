#include "core/durations/FormatPattern.h"

#include <array>
#include <charconv>
#include <cmath>

namespace ravelong::format_pattern {

namespace {

// Room for the widest double in fixed notation (DBL_MAX has 309 digits) and nine decimals.
constexpr size_t kDecimalBufferSize = 400;

void appendDecimal(std::string& out, double value, int decimals, std::string_view separator) {
    std::array<char, kDecimalBufferSize> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                            std::chars_format::fixed, decimals);
    if (error != std::errc()) {
        return;
    }
    for (const char* p = buffer.data(); p != end; ++p) {
        if (*p == '.') {
            out.append(separator);
        } else {
            out.push_back(*p);
        }
    }
}

uint64_t wholeNumberOf(const Argument& argument) {
    if (const auto* whole = std::get_if<uint64_t>(&argument)) {
        return *whole;
    }
    const double value = std::get<double>(argument);
    if (!(value > 0.0)) {
        return 0;
    }
    // 2^64 and above do not fit; the largest double below it does.
    return value >= 18446744073709551616.0 ? UINT64_MAX : static_cast<uint64_t>(value);
}

}  // namespace

std::string apply(std::string_view pattern, std::initializer_list<Argument> arguments,
                  std::string_view decimalSeparator) {
    std::string out;
    out.reserve(pattern.size() + 16);
    auto next = arguments.begin();
    const auto take = [&]() -> const Argument* {
        return next == arguments.end() ? nullptr : &*next++;
    };

    for (size_t i = 0; i < pattern.size(); ++i) {
        const std::string_view rest = pattern.substr(i);
        if (rest.starts_with("%%")) {
            out.push_back('%');
            i += 1;
        } else if (rest.starts_with("%lu")) {
            const Argument* argument = take();
            if (argument != nullptr && !std::holds_alternative<std::string_view>(*argument)) {
                out.append(std::to_string(wholeNumberOf(*argument)));
            }
            i += 2;
        } else if (rest.starts_with("%@")) {
            const Argument* argument = take();
            if (argument != nullptr) {
                if (const auto* text = std::get_if<std::string_view>(argument)) {
                    out.append(*text);
                }
            }
            i += 1;
        } else if (rest.size() >= 4 && rest[1] == '.' && rest[2] >= '0' && rest[2] <= '9' &&
                   rest[3] == 'f') {
            const Argument* argument = take();
            if (argument != nullptr) {
                if (const auto* value = std::get_if<double>(argument)) {
                    appendDecimal(out, *value, rest[2] - '0', decimalSeparator);
                }
            }
            i += 3;
        } else {
            out.push_back(pattern[i]);
        }
    }
    return out;
}

}  // namespace ravelong::format_pattern
