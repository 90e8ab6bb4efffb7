#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "foundation/Uuid.h"

namespace ravelong {
namespace {

TEST(Uuid, IsCanonicalUpperCaseVersion4Text) {
    for (int i = 0; i < 100; ++i) {
        const std::string uuid = makeUuid();
        ASSERT_EQ(uuid.size(), 36u);
        EXPECT_TRUE(isCanonicalUuid(uuid)) << uuid;
        EXPECT_EQ(uuid[14], '4') << uuid;                                          // version
        EXPECT_NE(std::string("89AB").find(uuid[19]), std::string::npos) << uuid;  // variant
    }
}

TEST(Uuid, ManyFromSeveralThreadsAreAllDifferent) {
    std::mutex mutex;
    std::set<std::string> seen;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            std::vector<std::string> made;
            for (int i = 0; i < 5000; ++i) {
                made.push_back(makeUuid());
            }
            std::lock_guard lock(mutex);
            seen.insert(made.begin(), made.end());
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(seen.size(), 20000u);
}

TEST(Uuid, CanonicalCheckAcceptsOnlyTheCanonicalForm) {
    EXPECT_TRUE(isCanonicalUuid("1B4E28BA-2FA1-11D2-883F-0016D3CCA427"));  // any version
    EXPECT_TRUE(isCanonicalUuid("00000000-0000-0000-0000-000000000000"));
    EXPECT_FALSE(isCanonicalUuid("1b4e28ba-2fa1-11d2-883f-0016d3cca427"));  // lower case
    EXPECT_FALSE(isCanonicalUuid("1B4E28BA2FA111D2883F0016D3CCA427"));      // no dashes
    EXPECT_FALSE(isCanonicalUuid("{1B4E28BA-2FA1-11D2-883F-0016D3CCA427}"));
    EXPECT_FALSE(isCanonicalUuid("1B4E28BA-2FA1-11D2-883F-0016D3CCA42"));    // short
    EXPECT_FALSE(isCanonicalUuid("1B4E28BA-2FA1-11D2-883F-0016D3CCA4270"));  // long
    EXPECT_FALSE(isCanonicalUuid("1B4E28BA-2FA1-11D2-883F-0016D3CCA42G"));
    EXPECT_FALSE(isCanonicalUuid("1B4E28BA-2FA1-11D2-883F0-016D3CCA427"));  // dash moved
    EXPECT_FALSE(isCanonicalUuid(""));
}

}  // namespace
}  // namespace ravelong
