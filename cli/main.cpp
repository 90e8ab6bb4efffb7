#include <cstring>
#include <iostream>

#include "cli/CliCommand.h"
#include "foundation/Version.h"

int main(int argc, char** argv) {
    using namespace ravelong;
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "ravelong-cli " << kRavelongVersion << " (build " << kRavelongBuildNumber
                  << ")\n";
        return cli::kExitSuccess;
    }
#ifdef RAVELONG_CLI_FULL_PROGRAM
    // This program holds only the commands that read the store, so that they start without
    // loading D-Bus, XML and crypto libraries; the full program answers everything else,
    // including the usage text that lists every command.
    if (argc < 2 || !cli::findCommand(argv[1])) {
        const std::filesystem::path full = cli::companionProgram(RAVELONG_CLI_FULL_PROGRAM);
        if (full.empty()) {
            std::cerr << "ravelong-cli: " << RAVELONG_CLI_FULL_PROGRAM
                      << " is missing; only the reading commands work.\n";
            return cli::kExitFailure;
        }
        return cli::execCompanion(full, {argv + 1, argv + argc}, std::cout, std::cerr);
    }
#endif
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        cli::printUsage(std::cout);
        return cli::kExitSuccess;
    }
    if (argc < 2) {
        cli::printUsage(std::cerr);
        return cli::kExitUsage;
    }
    const cli::CliCommand* command = cli::findCommand(argv[1]);
    if (!command) {
        std::cerr << "ravelong-cli: unknown command \"" << argv[1] << "\"\n";
        cli::printUsage(std::cerr);
        return cli::kExitUsage;
    }
    cli::CliInvocation invocation{{argv + 2, argv + argc}, std::cout, std::cerr};
    return command->run(invocation);
}
