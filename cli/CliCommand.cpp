#include "cli/CliCommand.h"

#include <algorithm>
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

}  // namespace ravelong::cli
