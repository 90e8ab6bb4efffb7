#include <iostream>

#include "bench/BenchSuite.h"

int main(int argc, char** argv) {
    auto& suites = ravelong::bench::suiteRegistry();
    if (argc != 2 || suites.find(argv[1]) == suites.end()) {
        std::cerr << "Usage: ravelong-bench SUITE\nSuites:";
        for (const auto& [name, function] : suites) {
            std::cerr << ' ' << name;
        }
        std::cerr << '\n';
        return 2;
    }
    return suites[argv[1]]();
}
