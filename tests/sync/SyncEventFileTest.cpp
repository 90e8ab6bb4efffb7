#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>

#include "sync/SECloudFileSystem.h"
#include "sync/SyncEventFile.h"

namespace ravelong {
namespace {

namespace ef = sync_event_file;

SyncEvent sampleEvent() {
    SyncEvent e;
    e.key = {42, "DEVICE-A"};
    e.changes = nlohmann::json::array(
        {{{"entity", "ZRCDTiming"},
          {"uuid", "1B4E28BA-2FA1-41D2-883F-0016D3CCA427"},
          {"set", {{"note", "Meeting \u00fcber Pl\u00e4ne"}, {"startDate", 786500000.25}}}}});
    return e;
}

// Rewrites the header's version field.
std::string withVersion(std::string bytes, std::uint32_t version) {
    for (int i = 0; i < 4; ++i)
        bytes[8 + i] = static_cast<char>((version >> (8 * i)) & 0xff);
    return bytes;
}

TEST(SyncEventFile, RoundTripsEveryField) {
    auto bytes = ef::encode(sampleEvent());
    auto decoded = ef::decode(bytes);
    ASSERT_TRUE(decoded.ok()) << decoded.error().description;
    EXPECT_EQ(decoded.value(), sampleEvent());
}

TEST(SyncEventFile, EveryTruncationAndEveryFlippedByteIsRefused) {
    const auto bytes = ef::encode(sampleEvent());
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        auto r = ef::decode(bytes.substr(0, length));
        ASSERT_FALSE(r.ok()) << "length " << length;
        EXPECT_TRUE(r.error().code == kSEErrorDamagedFile || r.error().code == kSEErrorForeignFile)
            << length;
    }
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        auto damaged = bytes;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x20);
        EXPECT_FALSE(ef::decode(damaged).ok()) << "byte " << at;
    }
    EXPECT_FALSE(ef::decode(bytes + "trailing").ok());
}

TEST(SyncEventFile, ForeignFutureAndMisshapenFilesAreToldApart) {
    const auto bytes = ef::encode(sampleEvent());
    struct Case {
        const char* label;
        std::string bytes;
        int code;
    } cases[] = {
        {"zip archive", std::string("PK\x03\x04", 4) + bytes.substr(4), kSEErrorForeignFile},
        {"json", R"({"device":"A","lamport":1,"changes":[]})", kSEErrorForeignFile},
        {"empty", "", kSEErrorForeignFile},
        {"next version", withVersion(bytes, ef::kSyncEventFormatVersion + 1),
         kSEErrorFutureVersion},
        {"version 0", withVersion(bytes, 0), kSEErrorDamagedFile},
    };
    for (const auto& c : cases) {
        auto r = ef::decode(c.bytes, "x.event");
        ASSERT_FALSE(r.ok()) << c.label;
        EXPECT_EQ(r.error().code, c.code) << c.label;
        EXPECT_NE(r.error().description.find("x.event"), std::string::npos) << c.label;
    }
    // Well-formed files whose payload lacks what an event needs.
    for (std::string device :
         {std::string(), std::string("../../etc"), std::string("a/b"), std::string(200, 'x')}) {
        SyncEvent e = sampleEvent();
        e.key.deviceId = device;
        EXPECT_EQ(ef::decode(ef::encode(e)).error().code, kSEErrorDamagedFile) << device;
    }
}

TEST(SyncEventFile, ASizeClaimPastWhatTheDataCanHoldIsRefusedEvenWithAValidChecksum) {
    const auto bytes = ef::encode(sampleEvent());
    for (std::uint64_t claimed : {std::uint64_t(1) << 40, ef::kMaximumEventPayload - 1,
                                  std::uint64_t(bytes.size()) * 4000}) {
        auto forged = bytes;
        for (int i = 0; i < 8; ++i)
            forged[16 + i] = static_cast<char>((claimed >> (8 * i)) & 0xff);
        auto crc = crc32(0, reinterpret_cast<const Bytef*>(forged.data() + 16), forged.size() - 16);
        for (int i = 0; i < 4; ++i)
            forged[12 + i] = static_cast<char>((crc >> (8 * i)) & 0xff);
        auto r = ef::decode(forged);
        ASSERT_FALSE(r.ok()) << claimed;
        EXPECT_EQ(r.error().code, kSEErrorDamagedFile);
    }
}

TEST(SyncEventFile, FileNamesSortInTheGlobalOrder) {
    std::vector<SyncOrderingKey> keys = {{10, "B"}, {9, "Z"}, {10, "A"}, {100, "A"}, {1, "C"}};
    std::vector<std::string> names;
    for (auto& k : keys)
        names.push_back(ef::fileNameFor(k));
    std::sort(keys.begin(), keys.end());
    std::sort(names.begin(), names.end());
    for (std::size_t i = 0; i < keys.size(); ++i)
        EXPECT_EQ(names[i], ef::fileNameFor(keys[i]));
    EXPECT_EQ(ef::fileNameFor({7, "D"}), "00000000000000000007-D.event");
}

}  // namespace
}  // namespace ravelong
