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

// A well-formed event file around any payload.
std::string fileWithPayload(const nlohmann::json& payload) {
    std::string plain = payload.dump();
    uLongf size = compressBound(plain.size());
    std::string packed(size, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
              reinterpret_cast<const Bytef*>(plain.data()), plain.size(), 9);
    packed.resize(size);
    std::string covered;
    for (int i = 0; i < 8; ++i)
        covered.push_back(static_cast<char>((plain.size() >> (8 * i)) & 0xff));
    covered += packed;
    std::string out = withVersion(std::string("RVLGEVT1") + std::string(8, '\0'), 1);
    auto crc = crc32(0, reinterpret_cast<const Bytef*>(covered.data()), covered.size());
    for (int i = 0; i < 4; ++i)
        out[12 + i] = static_cast<char>((crc >> (8 * i)) & 0xff);
    return out + covered;
}

TEST(SyncEventFile, EveryFieldAndThePublicationStampTravelAndOnlyATimeIsTakenForOne) {
    const SyncEvent e = sampleEvent();
    auto plain = ef::decode(ef::encode(e));
    ASSERT_TRUE(plain.ok()) << plain.error().description;
    EXPECT_EQ(plain.value(), e);
    auto stamped = ef::decodeFile(ef::encode(e, 786'500'123.5));
    ASSERT_TRUE(stamped.ok()) << stamped.error().description;
    EXPECT_EQ(stamped->event, e);
    EXPECT_EQ(stamped->publishedAt, std::optional<double>(786'500'123.5));
    auto unstamped = ef::decodeFile(ef::encode(e));
    ASSERT_TRUE(unstamped.ok());
    EXPECT_FALSE(unstamped->publishedAt.has_value());

    nlohmann::json payload = {{"device", "DEVICE-A"}, {"lamport", 3}, {"changes", e.changes}};
    struct Case {
        const char* label;
        nlohmann::json published;
        bool usable;
    } cases[] = {
        {"whole seconds", 786'500'000, true},
        {"text", "786500000", false},
        {"null", nullptr, false},
        {"list", nlohmann::json::array({1}), false},
    };
    for (const Case& c : cases) {
        payload["published"] = c.published;
        auto decoded = ef::decodeFile(fileWithPayload(payload), "x.event");
        EXPECT_EQ(decoded.ok(), c.usable) << c.label;
        if (!c.usable && !decoded.ok()) {
            EXPECT_EQ(decoded.error().code, kSEErrorDamagedFile) << c.label;
        }
    }
    // The helper makes files the decoder takes: without the stamp, the same payload is usable.
    payload.erase("published");
    EXPECT_TRUE(ef::decodeFile(fileWithPayload(payload)).ok());
}

TEST(SyncEventFile, OnlyNamesOfTheFilesOwnFormNameAKey) {
    struct Case {
        std::string name;
        std::string extension;
        std::optional<SyncOrderingKey> key;
    } cases[] = {
        {ef::fileNameFor({42, "device-a"}), ".event", SyncOrderingKey{42, "device-a"}},
        {ef::fileNameFor({7, "B_2"}, ".baseline"), ".baseline", SyncOrderingKey{7, "B_2"}},
        {ef::fileNameFor({7, "B_2"}, ".baseline"), ".event", std::nullopt},
        {"00000000000000000042-device-a.sync-conflict-20240101-x.event", ".event", std::nullopt},
        {"00000000000000000042-device-a (conflicted copy).event", ".event", std::nullopt},
        {"0000000000000000004x-device-a.event", ".event", std::nullopt},
        {"00000000000000000042-.event", ".event", std::nullopt},
        {"00000000000000000042-../../x.event", ".event", std::nullopt},
        {"42-device-a.event", ".event", std::nullopt},
        {"", ".event", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ef::keyOfFileName(c.name, c.extension), c.key) << c.name;
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
