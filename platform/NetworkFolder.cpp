#include "platform/NetworkFolder.h"

#include <sys/vfs.h>

namespace ravelong::network_folder {

bool isNetworkFileSystemType(unsigned long type) {
    // The magic numbers of <linux/magic.h> and of the file systems that do not put theirs there.
    switch (type) {
        case 0x6969UL:      // NFS
        case 0x517BUL:      // SMB (the old client)
        case 0xFF534D42UL:  // CIFS
        case 0xFE534D42UL:  // SMB2/3
        case 0x65735546UL:  // FUSE: sshfs, rclone, cloud clients
        case 0x5346414FUL:  // AFS
        case 0x6B414653UL:  // kAFS
        case 0x00C36400UL:  // Ceph
        case 0x01021997UL:  // 9p (v9fs)
        case 0x47504653UL:  // GPFS
        case 0x0BD00BD0UL:  // Lustre
            return true;
        default:
            return false;
    }
}

bool isOnNetworkFileSystem(const std::filesystem::path& folder) {
    struct statfs info {};
    if (::statfs(folder.c_str(), &info) != 0)
        return false;
    return isNetworkFileSystemType(static_cast<unsigned long>(info.f_type));
}

}  // namespace ravelong::network_folder
