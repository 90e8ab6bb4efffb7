#pragma once

#include <compare>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "foundation/Error.h"

namespace ravelong {

// The global order of events: the Lamport clock first, the device id breaking ties, so every
// computer sorts the same events the same way whatever order their files arrived in.
struct SyncOrderingKey {
    std::uint64_t lamport = 0;
    std::string deviceId;

    auto operator<=>(const SyncOrderingKey&) const = default;
};

// One immutable event of one device: the changes of one save, as a JSON array the engine
// defines.
struct SyncEvent {
    SyncOrderingKey key;
    nlohmann::json changes = nlohmann::json::array();

    bool operator==(const SyncEvent&) const = default;
};

// The bytes of an event file:
//
//     offset  size  field
//     0       8     magic "RVLGEVT1"
//     8       4     format version, little-endian (kSyncEventFormatVersion)
//     12      4     CRC-32 of every byte from offset 16 to the end
//     16      8     uncompressed payload size in bytes
//     24      ...   the payload, zlib-compressed: {"device": "...", "lamport": n, "changes": [...]}
//
// Decoding checks everything before the event is used: a file of another program
// (kSEErrorForeignFile), of a newer format (kSEErrorFutureVersion), or truncated, damaged,
// oversized (past kMaximumEventPayload when inflated) or holding a payload of the wrong shape
// (kSEErrorDamagedFile). A refused file yields no event at all.
namespace sync_event_file {

inline constexpr std::uint32_t kSyncEventFormatVersion = 1;
inline constexpr std::uint64_t kMaximumEventPayload = 256ULL * 1024 * 1024;

std::string encode(const SyncEvent& event);
Result<SyncEvent> decode(std::string_view bytes, std::string_view fileName = {});

// The file name of an event: "<lamport, 20 digits>-<device id>.event", so that a directory
// listing sorted by name is already in the global order.
std::string fileNameFor(const SyncOrderingKey& key);

}  // namespace sync_event_file

}  // namespace ravelong
