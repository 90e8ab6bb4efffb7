#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Which other processes have a store file open, so that a message about a file in use can name
// them. Best effort: the processes of other users are not visible, and a process may end (or
// start) between the look and the message.
namespace ravelong::file_holders {

// The processes other than this one that have `path`, its "-wal" or its "-shm" file open, each
// as "<name> (process <id>)", in process order.
std::vector<std::string> processesHolding(const std::filesystem::path& path);

// Those processes joined with ", ", or "another program" when none is found.
std::string describe(const std::filesystem::path& path);

}  // namespace ravelong::file_holders
