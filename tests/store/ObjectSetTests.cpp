// Membership of relationship sets against a plain reference model, through the sizes where the
// set switches from scanning to its index and with removals that shift the index's probe runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <vector>

#include "store/ObjectSet.h"

namespace ravelong {
namespace {

// Stand-ins for records: the set compares addresses only and never reads through them.
class FakeRecords {
public:
    explicit FakeRecords(std::size_t count, std::size_t stride) : bytes_(count * stride + 1) {
        for (std::size_t i = 0; i < count; ++i)
            records_.push_back(reinterpret_cast<ManagedObject*>(bytes_.data() + i * stride));
    }
    ManagedObject* operator[](std::size_t i) const { return records_[i]; }
    std::size_t size() const { return records_.size(); }

private:
    std::vector<unsigned char> bytes_;
    std::vector<ManagedObject*> records_;
};

void expectSameMembers(const ObjectSet& set, const std::set<ManagedObject*>& reference,
                       const FakeRecords& records) {
    ASSERT_EQ(set.size(), reference.size());
    std::vector<ManagedObject*> items = set.items();
    std::sort(items.begin(), items.end());
    ASSERT_TRUE(std::equal(items.begin(), items.end(), reference.begin(), reference.end()));
    for (std::size_t i = 0; i < records.size(); ++i)
        ASSERT_EQ(set.contains(records[i]), reference.count(records[i]) == 1) << "record " << i;
}

struct Case {
    std::size_t records;
    std::size_t stride;  // bytes between neighbouring records
    int steps;
};

class ObjectSetModelTest : public ::testing::TestWithParam<Case> {};

TEST_P(ObjectSetModelTest, MembershipFollowsInsertsAndErasesAtEverySize) {
    const Case c = GetParam();
    FakeRecords records(c.records, c.stride);
    std::mt19937 random(static_cast<unsigned>(c.records * 31 + c.stride));
    ObjectSet set;
    std::set<ManagedObject*> reference;
    for (int step = 0; step < c.steps; ++step) {
        ManagedObject* record = records[random() % records.size()];
        const unsigned action = random() % 10;
        if (action < 5) {
            EXPECT_EQ(set.insert(record), reference.insert(record).second);
        } else if (action < 9) {
            EXPECT_EQ(set.erase(record), reference.erase(record) == 1);
        } else if (reference.count(record) == 0) {
            set.appendUnchecked(record);
            reference.insert(record);
        }
        if (step % 97 == 0)
            set.reserve(set.size() + random() % 300);
        if (step % 50 == 0)
            expectSameMembers(set, reference, records);
    }
    expectSameMembers(set, reference, records);

    // Copies and moves carry the members and answer like the original.
    ObjectSet copy(set);
    expectSameMembers(copy, reference, records);
    ObjectSet moved(std::move(copy));
    expectSameMembers(moved, reference, records);
    EXPECT_TRUE(copy.empty());  // NOLINT(bugprone-use-after-move): moved-from sets are empty
    ObjectSet assigned;
    assigned.insert(records[0]);
    assigned = moved;
    expectSameMembers(assigned, reference, records);

    // Draining the set one by one leaves nothing behind.
    for (std::size_t i = 0; i < records.size(); ++i)
        EXPECT_EQ(set.erase(records[i]), reference.erase(records[i]) == 1);
    expectSameMembers(set, reference, records);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ObjectSetModelTest,
                         ::testing::Values(Case{1, 16, 60}, Case{3, 16, 400}, Case{20, 16, 400},
                                           Case{40, 16, 2000}, Case{300, 16, 6000},
                                           Case{300, 4096, 6000}, Case{3000, 48, 20000}));

TEST(ObjectSetTest, ReplaceEachAnswersForTheCounterparts) {
    FakeRecords originals(100, 16), counterparts(100, 16);
    ObjectSet set;
    for (std::size_t i = 0; i < originals.size(); ++i)
        set.insert(originals[i]);
    ASSERT_TRUE(set.contains(originals[50]));  // builds the index
    set.replaceEach([&](ManagedObject* original) {
        const auto i = static_cast<std::size_t>(reinterpret_cast<unsigned char*>(original) -
                                                reinterpret_cast<unsigned char*>(originals[0])) /
                       16;
        return counterparts[i];
    });
    for (std::size_t i = 0; i < originals.size(); ++i) {
        EXPECT_FALSE(set.contains(originals[i]));
        EXPECT_TRUE(set.contains(counterparts[i]));
    }
    EXPECT_TRUE(set.erase(counterparts[7]));
    EXPECT_FALSE(set.contains(counterparts[7]));
    EXPECT_EQ(set.size(), 99u);
}

}  // namespace
}  // namespace ravelong
