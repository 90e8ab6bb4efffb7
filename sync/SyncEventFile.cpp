#include "sync/SyncEventFile.h"

#include <zlib.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "sync/SECloudFileSystem.h"

namespace ravelong::sync_event_file {

namespace {

constexpr std::size_t kMagicSize = 8;
constexpr std::size_t kHeaderSize = 24;

void putLittle(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

std::uint64_t getLittle(std::string_view in, std::size_t at, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= static_cast<std::uint64_t>(static_cast<unsigned char>(in[at + i])) << (8 * i);
    return value;
}

}  // namespace

bool isSafeDeviceId(const std::string& id) {
    if (id.empty() || id.size() > 128)
        return false;
    for (char c : id)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_'))
            return false;
    return true;
}

namespace {

Error refused(int code, std::string_view fileName, const std::string& why) {
    std::string name = fileName.empty() ? std::string("A synchronisation file")
                                        : "The synchronisation file " + std::string(fileName);
    return makeSEError(code, name + " was skipped: " + why);
}

}  // namespace

std::string encode(const SyncEvent& event, std::optional<double> publishedAt) {
    nlohmann::json payload = {
        {"device", event.key.deviceId}, {"lamport", event.key.lamport}, {"changes", event.changes}};
    if (publishedAt)
        payload["published"] = *publishedAt;
    return pack(kEventMagic, payload);
}

std::string pack(const char (&magic)[9], const nlohmann::json& payload) {
    std::string plain = payload.dump();
    uLongf compressedSize = compressBound(plain.size());
    std::string compressed(compressedSize, '\0');
    compress2(reinterpret_cast<Bytef*>(compressed.data()), &compressedSize,
              reinterpret_cast<const Bytef*>(plain.data()), plain.size(), Z_DEFAULT_COMPRESSION);
    compressed.resize(compressedSize);

    std::string covered;
    putLittle(covered, plain.size(), 8);
    covered += compressed;
    std::string out(magic, kMagicSize);
    putLittle(out, kSyncEventFormatVersion, 4);
    putLittle(out, crc32(0, reinterpret_cast<const Bytef*>(covered.data()), covered.size()), 4);
    return out + covered;
}

Result<SyncEvent> decode(std::string_view bytes, std::string_view fileName) {
    auto decoded = decodeFile(bytes, fileName);
    if (!decoded.ok())
        return decoded.error();
    return std::move(decoded.value().event);
}

Result<nlohmann::json> unpack(const char (&magic)[9], std::string_view bytes,
                              std::string_view fileName) {
    if (bytes.size() < kMagicSize || std::memcmp(bytes.data(), magic, kMagicSize) != 0)
        return refused(kSEErrorForeignFile, fileName, "it is not a file of this kind.");
    if (bytes.size() < kHeaderSize)
        return refused(kSEErrorDamagedFile, fileName, "it is truncated.");
    auto version = getLittle(bytes, 8, 4);
    if (version > kSyncEventFormatVersion)
        return refused(kSEErrorFutureVersion, fileName,
                       "it was written by a newer version of Ravelong.");
    if (version == 0)
        return refused(kSEErrorDamagedFile, fileName, "its version is damaged.");
    auto crc = static_cast<uLong>(getLittle(bytes, 12, 4));
    // The checksum covers every byte after it, so that any damage is caught before inflating
    // (zlib's own check would miss a flipped padding bit, and the size field needs guarding).
    if (crc32(0, reinterpret_cast<const Bytef*>(bytes.data() + 16), bytes.size() - 16) != crc)
        return refused(kSEErrorDamagedFile, fileName, "its checksum does not match.");
    auto size = getLittle(bytes, 16, 8);
    if (size > kMaximumEventPayload)
        return refused(kSEErrorDamagedFile, fileName, "it claims to be larger than any event.");

    // Deflate cannot shrink data more than about 1032 to 1, so a larger claim is a lie (and
    // would make us allocate for nothing).
    if (size > (bytes.size() - kHeaderSize) * 1032 + 64)
        return refused(kSEErrorDamagedFile, fileName, "it is truncated or damaged.");
    std::string plain(size, '\0');
    uLongf plainSize = size;
    uLong sourceSize = bytes.size() - kHeaderSize;
    int rc = uncompress2(reinterpret_cast<Bytef*>(plain.data()), &plainSize,
                         reinterpret_cast<const Bytef*>(bytes.data() + kHeaderSize), &sourceSize);
    // Z_BUF_ERROR also means the stream stopped early (a truncated file) or inflates past the
    // declared size; either way the file is not what it says.
    if (rc != Z_OK || plainSize != size || sourceSize != bytes.size() - kHeaderSize)
        return refused(kSEErrorDamagedFile, fileName, "it is truncated or damaged.");

    auto payload = nlohmann::json::parse(plain, nullptr, false);
    if (payload.is_discarded() || !payload.is_object())
        return refused(kSEErrorDamagedFile, fileName, "its contents are not readable.");
    return payload;
}

Result<DecodedFile> decodeFile(std::string_view bytes, std::string_view fileName) {
    auto unpacked = unpack(kEventMagic, bytes, fileName);
    if (!unpacked.ok())
        return unpacked.error();
    nlohmann::json& payload = unpacked.value();
    auto device = payload.find("device");
    auto lamport = payload.find("lamport");
    auto changes = payload.find("changes");
    if (device == payload.end() || !device->is_string() ||
        !isSafeDeviceId(device->get<std::string>()) || lamport == payload.end() ||
        !lamport->is_number_unsigned() || changes == payload.end() || !changes->is_array())
        return refused(kSEErrorDamagedFile, fileName, "its contents are incomplete.");
    auto published = payload.find("published");
    if (published != payload.end() &&
        (!published->is_number() || !std::isfinite(published->get<double>())))
        return refused(kSEErrorDamagedFile, fileName, "its publication time is not a time.");
    DecodedFile decoded;
    decoded.event.key.deviceId = device->get<std::string>();
    decoded.event.key.lamport = lamport->get<std::uint64_t>();
    decoded.event.changes = std::move(*changes);
    if (published != payload.end())
        decoded.publishedAt = published->get<double>();
    return decoded;
}

std::string fileNameFor(const SyncOrderingKey& key, std::string_view extension) {
    char digits[24];
    std::snprintf(digits, sizeof digits, "%020llu", static_cast<unsigned long long>(key.lamport));
    return std::string(digits) + "-" + key.deviceId + std::string(extension);
}

std::optional<SyncOrderingKey> keyOfFileName(std::string_view name, std::string_view extension) {
    if (name.size() <= 21 + extension.size() || name[20] != '-' ||
        name.substr(name.size() - extension.size()) != extension)
        return std::nullopt;
    SyncOrderingKey key;
    for (char c : name.substr(0, 20)) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        key.lamport = key.lamport * 10 + static_cast<std::uint64_t>(c - '0');
    }
    key.deviceId = std::string(name.substr(21, name.size() - 21 - extension.size()));
    if (!isSafeDeviceId(key.deviceId))
        return std::nullopt;
    return key;
}

}  // namespace ravelong::sync_event_file
