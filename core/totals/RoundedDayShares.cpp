#include "core/totals/RoundedDayShares.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace ravelong::rounded_day_shares {

std::vector<std::int64_t> largestRemainderUnits(std::int64_t units, std::span<const double> parts,
                                                double minimumPart) {
    std::vector<std::int64_t> result(parts.size(), 0);
    if (units <= 0)
        return result;
    // Whole milliseconds keep the arithmetic exact: a timing spans at most a few thousand days
    // (under 2^39 ms) and carries at most a few million units, so units * part stays far below
    // 2^63.
    std::vector<std::int64_t> weights(parts.size(), 0);
    std::int64_t total = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i] > minimumPart && std::isfinite(parts[i])) {
            weights[i] = std::llround(parts[i] * 1000.0);
            total += weights[i];
        }
    }
    if (total <= 0)
        return result;
    std::vector<std::int64_t> remainders(parts.size(), 0);
    std::int64_t handedOut = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::int64_t quota = units * weights[i];
        result[i] = quota / total;
        remainders[i] = quota % total;
        handedOut += result[i];
    }
    std::vector<std::size_t> order(parts.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    // stable_sort keeps equal remainders in day order, which gives ties to the earlier day.
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return remainders[a] > remainders[b]; });
    for (std::size_t i : order) {
        if (handedOut >= units)
            break;
        if (weights[i] == 0)
            continue;
        ++result[i];
        ++handedOut;
    }
    return result;
}

}  // namespace ravelong::rounded_day_shares
