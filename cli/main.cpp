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
