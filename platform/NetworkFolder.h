#pragma once

#include <filesystem>

namespace ravelong::network_folder {

// Whether a folder lies on a file system reached over the network (NFS, SMB/CIFS, a FUSE mount
// such as sshfs or a cloud drive's client, AFS, Ceph, 9p), as statfs(2) tells. A folder that
// cannot be examined counts as local.
bool isOnNetworkFileSystem(const std::filesystem::path& folder);

// The same for a file system's magic number (statfs's f_type).
bool isNetworkFileSystemType(unsigned long type);

}  // namespace ravelong::network_folder
