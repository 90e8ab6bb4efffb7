#pragma once

#include <compare>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
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
//     24      ...   the payload, zlib-compressed: {"device": "...", "lamport": n, "changes": [...],
//                   "published": seconds since 2001-01-01 on the writer's clock (optional)}
//
// Decoding checks everything before the event is used: a file of another program
// (kSEErrorForeignFile), of a newer format (kSEErrorFutureVersion), or truncated, damaged,
// oversized (past kMaximumEventPayload when inflated) or holding a payload of the wrong shape
// (kSEErrorDamagedFile). A refused file yields no event at all.
namespace sync_event_file {

inline constexpr std::uint32_t kSyncEventFormatVersion = 1;
inline constexpr std::uint64_t kMaximumEventPayload = 256ULL * 1024 * 1024;

// `publishedAt`: the writer's wall-clock time when it uploads the file, which lets the reader
// notice computers whose clocks disagree. The copy kept in the outbox has none.
std::string encode(const SyncEvent& event, std::optional<double> publishedAt = std::nullopt);
Result<SyncEvent> decode(std::string_view bytes, std::string_view fileName = {});

struct DecodedFile {
    SyncEvent event;
    std::optional<double> publishedAt;  // absent in files of writers that did not stamp them
};
Result<DecodedFile> decodeFile(std::string_view bytes, std::string_view fileName = {});

// The other files of the cloud folder (baselines, acknowledgements) use the same container
// with their own magic, and a JSON payload of their own.
inline constexpr char kEventMagic[9] = "RVLGEVT1";
inline constexpr char kBaselineMagic[9] = "RVLGBAS1";
inline constexpr char kAcknowledgementMagic[9] = "RVLGACK1";
std::string pack(const char (&magic)[9], const nlohmann::json& payload);
// Checks the container as decode() does; a payload that is not a JSON object is refused.
Result<nlohmann::json> unpack(const char (&magic)[9], std::string_view bytes,
                              std::string_view fileName = {});

// The file name of an event: "<lamport, 20 digits>-<device id>.event", so that a directory
// listing sorted by name is already in the global order.
inline constexpr const char* kEventExtension = ".event";
std::string fileNameFor(const SyncOrderingKey& key, std::string_view extension = kEventExtension);
// The key a file name of that form names; nullopt for any other name (a sync tool's copy).
std::optional<SyncOrderingKey> keyOfFileName(std::string_view name,
                                             std::string_view extension = kEventExtension);
// Device ids as they may appear in file names: letters, digits, '-' and '_'.
bool isSafeDeviceId(const std::string& id);

}  // namespace sync_event_file

}  // namespace ravelong
