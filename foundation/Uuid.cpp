#include "foundation/Uuid.h"

#include <sys/random.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <random>

#include "foundation/Log.h"

namespace ravelong {

namespace {

constexpr std::size_t kUuidBytes = 16;
constexpr std::size_t kUuidTextLength = 36;

bool isDashPosition(std::size_t index) {
    return index == 8 || index == 13 || index == 18 || index == 23;
}

// getrandom only fails on kernels older than 3.17 or under a seccomp filter; a process-wide
// generator seeded from std::random_device then keeps identities unique.
void fillFromFallback(std::uint8_t* bytes, std::size_t count) {
    static std::mutex mutex;
    static std::mt19937_64 generator = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(),
                           device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }();
    std::lock_guard lock(mutex);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(generator() >> 56);
    }
}

void fillRandom(std::uint8_t* bytes, std::size_t count) {
    std::size_t filled = 0;
    while (filled < count) {
        const ssize_t got = getrandom(bytes + filled, count - filled, 0);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            static std::once_flag reported;
            std::call_once(reported, [] {
                logWarning("make uuid", "getrandom failed; using a seeded generator instead");
            });
            fillFromFallback(bytes + filled, count - filled);
            return;
        }
        filled += static_cast<std::size_t>(got);
    }
}

}  // namespace

std::string makeUuid() {
    std::array<std::uint8_t, kUuidBytes> bytes{};
    fillRandom(bytes.data(), bytes.size());
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant

    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(kUuidTextLength);
    for (std::size_t i = 0; i < kUuidBytes; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            text.push_back('-');
        }
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return text;
}

bool isCanonicalUuid(std::string_view text) {
    if (text.size() != kUuidTextLength) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (isDashPosition(i)) {
            if (c != '-') {
                return false;
            }
        } else if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return true;
}

}  // namespace ravelong
