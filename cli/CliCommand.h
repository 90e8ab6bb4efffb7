#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace ravelong::cli {

// Exit statuses of every command.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // the work failed; the reason is on standard error
inline constexpr int kExitUsage = 2;    // the command line was wrong

// One run of a command: its arguments (after the command name) and where it writes.
struct CliInvocation {
    std::vector<std::string> arguments;
    std::ostream& out;
    std::ostream& err;
};

// A subcommand of ravelong-cli ("backup", "restore FILE", ...). Each command lives in a source
// file of its own and registers itself there:
//
//   const bool registered = cli::registerCommand({"backup", "[FOLDER]", "Write a backup", run});
struct CliCommand {
    std::string_view name;
    std::string_view arguments;  // shown after the name in the usage text
    std::string_view summary;    // one line for --help
    std::function<int(CliInvocation&)> run;
};

bool registerCommand(CliCommand command);
// Sorted by name.
std::vector<const CliCommand*> commands();
const CliCommand* findCommand(std::string_view name);

// The usage text: the commands and their summaries.
void printUsage(std::ostream& out);

// Whether the arguments ask for help ("--help" or "-h" anywhere).
bool wantsHelp(const std::vector<std::string>& arguments);

// A program that ravelong-cli hands commands to: beside it in the build tree, else in the
// installed libexec folder; empty when there is none.
std::filesystem::path companionProgram(std::string_view name);
// Runs `program` with `arguments` in place of this process. Returns only when it could not
// run, after saying why on `err`, with kExitFailure.
int execCompanion(const std::filesystem::path& program, std::vector<std::string> arguments,
                  std::ostream& out, std::ostream& err);

}  // namespace ravelong::cli
