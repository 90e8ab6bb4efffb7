#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ravelong::testing {

// One run of a command-line program as a user would run it: in `home`, with its data and
// settings under home/data and home/config, Berlin time, no session bus (so that nothing
// reaches a program running on the developer's desktop).
struct ProcessRun {
    int status = -1;  // the exit status; -1 when it did not exit normally
    std::string out;
    std::string err;
};
ProcessRun runInHome(const std::string& program, const std::filesystem::path& home,
                     const std::vector<std::string>& arguments);

}  // namespace ravelong::testing
