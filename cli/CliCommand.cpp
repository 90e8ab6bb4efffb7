#include "cli/CliCommand.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <ostream>

namespace ravelong::cli {

namespace {

// Commands register during static initialisation, so the list is made on first use.
std::deque<CliCommand>& registry() {
    static std::deque<CliCommand> commands;
    return commands;
}

}  // namespace

bool registerCommand(CliCommand command) {
    registry().push_back(std::move(command));
    return true;
}

std::vector<const CliCommand*> commands() {
    std::vector<const CliCommand*> sorted;
    for (const CliCommand& command : registry())
        sorted.push_back(&command);
    std::sort(sorted.begin(), sorted.end(),
              [](const CliCommand* a, const CliCommand* b) { return a->name < b->name; });
    return sorted;
}

const CliCommand* findCommand(std::string_view name) {
    for (const CliCommand& command : registry()) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}

void printUsage(std::ostream& out) {
    out << "Usage: ravelong-cli COMMAND [ARGUMENTS]\n"
           "       ravelong-cli --version | --help\n"
           "Command-line companion of the Ravelong time tracker.\n";
    const std::vector<const CliCommand*> all = commands();
    if (all.empty())
        return;
    out << "\nCommands:\n";
    for (const CliCommand* command : all) {
        std::string head = std::string(command->name);
        if (!command->arguments.empty())
            head += " " + std::string(command->arguments);
        out << "  " << head;
        out << std::string(head.size() < 30 ? 30 - head.size() : 1, ' ') << command->summary
            << "\n";
    }
}

bool wantsHelp(const std::vector<std::string>& arguments) {
    return std::any_of(arguments.begin(), arguments.end(),
                       [](const std::string& a) { return a == "--help" || a == "-h"; });
}

std::filesystem::path companionProgram(std::string_view name) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    const std::filesystem::path folder = self.parent_path();
    for (const std::filesystem::path& candidate :
         {folder / name, folder.parent_path() / RAVELONG_CLI_LIBEXEC / name}) {
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

int execCompanion(const std::filesystem::path& program, std::vector<std::string> arguments,
                  std::ostream& out, std::ostream& err) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    out.flush();
    err.flush();
    ::execv(program.c_str(), argv.data());
    err << "ravelong-cli: " << program.string() << " could not run: " << std::strerror(errno)
        << "\n";
    return kExitFailure;
}

}  // namespace ravelong::cli
