#include <gtest/gtest.h>

#include "platform/NetworkFolder.h"
#include "support/TestSupport.h"

namespace ravelong {
namespace {

using network_folder::isNetworkFileSystemType;

TEST(NetworkFolder, NetworkFileSystemsAreKnownByTheirMagicNumber) {
    struct Case {
        const char* name;
        unsigned long type;
        bool network;
    } cases[] = {
        {"nfs", 0x6969UL, true},        {"cifs", 0xFF534D42UL, true},
        {"smb2", 0xFE534D42UL, true},   {"smb", 0x517BUL, true},
        {"fuse", 0x65735546UL, true},   {"ceph", 0x00C36400UL, true},
        {"9p", 0x01021997UL, true},     {"ext4", 0xEF53UL, false},
        {"tmpfs", 0x01021994UL, false}, {"btrfs", 0x9123683EUL, false},
        {"xfs", 0x58465342UL, false},   {"overlayfs", 0x794C7630UL, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isNetworkFileSystemType(c.type), c.network) << c.name;
}

TEST(NetworkFolder, ALocalOrMissingFolderIsNotOnTheNetwork) {
    testing::TemporaryDirectory folder;
    // The test machine's temporary folder is on a local disk or tmpfs.
    EXPECT_FALSE(network_folder::isOnNetworkFileSystem(folder.path()));
    EXPECT_FALSE(network_folder::isOnNetworkFileSystem(folder / "missing" / "deeper"));
}

}  // namespace
}  // namespace ravelong
