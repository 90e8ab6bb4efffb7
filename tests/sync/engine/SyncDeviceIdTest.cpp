#include <gtest/gtest.h>

#include "foundation/Uuid.h"
#include "support/TestSupport.h"
#include "sync/engine/SyncDeviceId.h"

namespace ravelong {
namespace {

using testing::readFile;
using testing::TemporaryDirectory;
using testing::writeFile;

TEST(SyncDeviceId, EachStateFolderKeepsItsOwnIdAndADamagedFileGetsAFreshOne) {
    TemporaryDirectory first, second;
    const std::string id = syncDeviceIdIn(first.path());
    EXPECT_TRUE(isCanonicalUuid(id)) << id;
    EXPECT_EQ(syncDeviceIdIn(first.path()), id);
    EXPECT_EQ(readFile(first / "device-id"), id + "\n");
    EXPECT_NE(syncDeviceIdIn(second.path()), id);

    for (const std::string damaged : {"", "not an id\n", "../../etc\n"}) {
        writeFile(first / "device-id", damaged);
        const std::string fresh = syncDeviceIdIn(first.path());
        EXPECT_TRUE(isCanonicalUuid(fresh)) << fresh;
        EXPECT_EQ(syncDeviceIdIn(first.path()), fresh);
    }
}

}  // namespace
}  // namespace ravelong
