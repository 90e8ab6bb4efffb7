#include <cstring>
#include <iostream>

#include "foundation/Version.h"

namespace {

void printUsage(std::ostream& out) {
    out << "Usage: ravelong-cli [--version] [--help]\n"
           "Command-line companion of the Ravelong time tracker.\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "ravelong-cli " << ravelong::kRavelongVersion << " (build "
                  << ravelong::kRavelongBuildNumber << ")\n";
        return 0;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        printUsage(std::cout);
        return 0;
    }
    printUsage(std::cerr);
    return 2;
}
