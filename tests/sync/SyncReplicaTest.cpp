#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <random>

#include "sync/SECloudFileSystem.h"
#include "sync/SyncReplica.h"

namespace ravelong {
namespace {

using json = nlohmann::json;

json set(const std::string& uuid, json values) {
    return {{"entity", "ZRCDTiming"}, {"uuid", uuid}, {"set", std::move(values)}};
}
json del(const std::string& uuid) {
    return {{"entity", "ZRCDTiming"}, {"uuid", uuid}, {"delete", true}};
}
SyncEvent event(std::uint64_t lamport, const std::string& device, json changes) {
    return SyncEvent{{lamport, device}, std::move(changes)};
}
const SyncReplica::RecordId kT{"ZRCDTiming", "T"};

TEST(SyncReplica, PropertiesMergeByTheirOwnOrderingKeys) {
    // Two computers edit one timing concurrently (both at lamport 2, after the create at 1).
    const std::vector<SyncEvent> events = {
        event(1, "A", json::array({set("T", {{"note", "n0"}, {"start", 10}, {"task", "X"}})})),
        event(2, "A", json::array({set("T", {{"note", "from A"}})})),
        event(2, "B", json::array({set("T", {{"start", 20}, {"note", "from B"}})})),
        event(3, "A", json::array({set("T", {{"task", "Y"}})})),
    };
    std::vector<std::size_t> order = {0, 1, 2, 3};
    do {
        SyncReplica replica("C");
        for (auto i : order)
            ASSERT_TRUE(replica.apply(events[i]).ok());
        auto live = replica.liveValues();
        // Different properties both survive; the same property goes to the greater key (2,B).
        EXPECT_EQ(live[kT],
                  (std::map<std::string, json>{{"note", "from B"}, {"start", 20}, {"task", "Y"}}));
    } while (std::next_permutation(order.begin(), order.end()));
}

TEST(SyncReplica, DeletionsHideARecordUntilALaterEditBringsItBackWhole) {
    struct Case {
        const char* label;
        std::vector<SyncEvent> events;
        bool live;
    } cases[] = {
        {"deleted after its edits",
         {event(1, "A", json::array({set("T", {{"note", "x"}})})),
          event(2, "B", json::array({del("T")}))},
         false},
        {"edited after the deletion",
         {event(1, "A", json::array({set("T", {{"note", "x"}, {"start", 1}})})),
          event(2, "B", json::array({del("T")})),
          event(3, "A", json::array({set("T", {{"note", "y"}})}))},
         true},
        {"concurrent edit wins the tie by device",
         {event(1, "A", json::array({set("T", {{"note", "x"}})})),
          event(2, "A", json::array({del("T")})),
          event(2, "B", json::array({set("T", {{"note", "b"}})}))},
         true},
        {"deletion arriving first", {event(5, "B", json::array({del("T")}))}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto forward = SyncReplica("C");
        auto backward = SyncReplica("D");
        for (const auto& e : c.events)
            ASSERT_TRUE(forward.apply(e).ok());
        for (auto it = c.events.rbegin(); it != c.events.rend(); ++it)
            ASSERT_TRUE(backward.apply(*it).ok());
        EXPECT_EQ(forward.liveValues().contains(kT), c.live);
        EXPECT_EQ(forward.records(), backward.records());
    }
    // The record brought back keeps the properties set before the deletion.
    SyncReplica r("C");
    for (const auto& e : cases[1].events)
        ASSERT_TRUE(r.apply(e).ok());
    EXPECT_EQ(r.liveValues()[kT].at("start"), 1);
}

TEST(SyncReplica, MalformedEventsChangeNothing) {
    SyncReplica r("C");
    ASSERT_TRUE(r.apply(event(1, "A", json::array({set("T", {{"note", "keep"}})}))).ok());
    const auto before = r.records();
    for (json changes :
         {json::array({set("U", {{"a", 1}}), json{{"entity", "ZRCDTiming"}}}),
          json::array(
              {json{{"entity", "E"}, {"uuid", "T"}, {"set", {{"a", 1}}}, {"delete", true}}}),
          json::array({json{{"entity", "E"}, {"uuid", ""}, {"delete", true}}}),
          json::array({json(42)}), json::object()}) {
        auto result = r.apply(event(2, "B", changes));
        ASSERT_FALSE(result.ok()) << changes.dump();
        EXPECT_EQ(result.error().code, kSEErrorDamagedFile);
        EXPECT_EQ(r.records(), before);
        EXPECT_FALSE(r.hasApplied({2, "B"}));
    }
}

TEST(SyncReplica, KeysOfNewEventsFollowEverythingSeen) {
    SyncReplica r("A");
    EXPECT_EQ(r.nextKey(), (SyncOrderingKey{1, "A"}));
    ASSERT_TRUE(r.apply(event(40, "B", json::array())).ok());
    EXPECT_EQ(r.nextKey(), (SyncOrderingKey{41, "A"}));
}

// Computers edit, delete and exchange events over a lossy, reordering channel; once every event
// reached every computer (duplicates included), all hold the same records.
TEST(SyncReplica, ComputersConvergeWhateverOrderEventsArriveIn) {
    std::vector<unsigned> seeds = {1, 2, 3, 4, 5, 6, 7, 8};
    if (const char* extra = std::getenv("RAVELONG_SYNC_SIM_SEEDS"))
        for (unsigned s = 100, n = static_cast<unsigned>(std::atoi(extra)); s < 100 + n; ++s)
            seeds.push_back(s);
    for (unsigned seed : seeds) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        const int computers = 3 + static_cast<int>(random() % 3);
        std::vector<SyncReplica> replicas;
        for (int c = 0; c < computers; ++c)
            replicas.emplace_back("D" + std::to_string(c));
        std::vector<SyncEvent> published;
        for (int step = 0; step < 300; ++step) {
            int c = static_cast<int>(random() % computers);
            if (random() % 3 == 0 && !published.empty()) {
                // A partial, reordered download of what was published so far.
                for (int k = 0; k < 5; ++k)
                    ASSERT_TRUE(replicas[c].apply(published[random() % published.size()]).ok());
                continue;
            }
            std::string uuid = "T" + std::to_string(random() % 12);
            json change = random() % 6 == 0 ? del(uuid)
                                            : set(uuid, {{random() % 2 ? "note" : "start",
                                                          static_cast<int>(random() % 1000)}});
            SyncEvent e{replicas[c].nextKey(), json::array({change})};
            ASSERT_TRUE(replicas[c].apply(e).ok());
            published.push_back(e);
        }
        for (auto& replica : replicas) {
            std::vector<SyncEvent> all = published;
            std::shuffle(all.begin(), all.end(), random);
            for (const auto& e : all)
                ASSERT_TRUE(replica.apply(e).ok());
        }
        for (int c = 1; c < computers; ++c)
            EXPECT_EQ(replicas[c].records(), replicas[0].records());
        // Replaying the log in its global order from scratch gives the same records.
        std::sort(published.begin(), published.end(),
                  [](const SyncEvent& a, const SyncEvent& b) { return a.key < b.key; });
        SyncReplica fresh("F");
        for (const auto& e : published)
            ASSERT_TRUE(fresh.apply(e).ok());
        EXPECT_EQ(fresh.records(), replicas[0].records());
    }
}

// A baseline is a replica's records: taking one in must give what applying its events gives,
// whatever else either side applied, in either order, and also after a JSON round trip.
TEST(SyncReplica, TakingInAnotherReplicasRecordsEqualsApplyingItsEvents) {
    for (unsigned seed : {1u, 2u, 3u, 4u, 5u}) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        // Events of two computers with distinct keys, in no particular order.
        std::vector<std::uint64_t> lamports(200);
        std::iota(lamports.begin(), lamports.end(), 1);
        std::shuffle(lamports.begin(), lamports.end(), random);
        std::vector<SyncEvent> events;
        for (std::uint64_t lamport : lamports) {
            std::string uuid = "T" + std::to_string(random() % 10);
            json change = random() % 5 == 0 ? del(uuid)
                                            : set(uuid, {{random() % 2 ? "note" : "start",
                                                          static_cast<int>(random() % 1000)}});
            events.push_back(event(lamport, random() % 2 ? "A" : "B", json::array({change})));
        }
        // The baseline's writer applied the first part; the reader applied a mixture.
        std::vector<SyncEvent> baselineEvents(events.begin(), events.begin() + 120);
        SyncReplica all("X"), baselineWriter("W"), reader("R");
        for (const auto& e : events)
            ASSERT_TRUE(all.apply(e).ok());
        for (const auto& e : baselineEvents)
            ASSERT_TRUE(baselineWriter.apply(e).ok());
        for (std::size_t i = 60; i < events.size(); ++i)
            ASSERT_TRUE(reader.apply(events[i]).ok());

        std::size_t changed = 0;
        for (const auto& [id, record] : baselineWriter.records()) {
            auto travelled = SyncReplica::recordFromJson(SyncReplica::recordToJson(record));
            ASSERT_TRUE(travelled.has_value());
            ASSERT_EQ(*travelled, record);
            changed += reader.mergeRecord(id, *travelled) ? 1 : 0;
        }
        EXPECT_GT(changed, 0u) << "the reader lacked the first sixty events";
        EXPECT_EQ(reader.records(), all.records());
        // Taking it in again changes nothing.
        for (const auto& [id, record] : baselineWriter.records())
            EXPECT_FALSE(reader.mergeRecord(id, record));
        // A later key for this computer follows every key the records hold.
        EXPECT_GT(reader.nextKey().lamport, 200u);
    }
}

TEST(SyncReplica, MalformedRecordsAreRefused) {
    const json cases[] = {
        json::array(),
        json::object(),
        {{"p", json::array()}},
        {{"p", {{"note", json::array({"x", 1u})}}}},
        {{"p", {{"note", json::array({"x", -1, "A"})}}}},
        {{"p", {{"note", json::array({"x", 1u, 2})}}}},
        {{"p", json::object()}, {"d", json::array({1u})}},
        {{"p", json::object()}, {"d", "yesterday"}},
    };
    for (const json& body : cases)
        EXPECT_FALSE(SyncReplica::recordFromJson(body).has_value()) << body.dump();
    EXPECT_TRUE(SyncReplica::recordFromJson(
                    {{"p", {{"note", json::array({"x", 1u, "A"})}}}, {"d", json::array({3u, "A"})}})
                    .has_value());
}

}  // namespace
}  // namespace ravelong
