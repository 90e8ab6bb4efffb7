#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace ravelong::bench {

// A named group of measurements, run by `ravelong-bench NAME`. A suite prints each of its
// figures with printFigure and returns the process exit code.
using SuiteFunction = std::function<int()>;

std::map<std::string, SuiteFunction>& suiteRegistry();

struct SuiteRegistration {
    SuiteRegistration(const std::string& name, SuiteFunction function) {
        suiteRegistry()[name] = std::move(function);
    }
};

// Prints "figure: <name> = <value> <unit>" on a line of its own.
void printFigure(std::string_view name, double value, std::string_view unit);

// Wall-clock seconds taken by one call of `work`.
double secondsFor(const std::function<void()>& work);

// Wall-clock and processor (user and system, this process) seconds of one call of `work`. On a
// machine shared with other work the processor time is the steadier figure.
struct BenchTiming {
    double wallSeconds = 0.0;
    double processorSeconds = 0.0;
};
BenchTiming timingOf(const std::function<void()>& work);

double median(std::vector<double> values);

// Resident set size of this process in megabytes (from /proc/self/status).
double residentMegabytes();

}  // namespace ravelong::bench

#define RAVELONG_BENCH_SUITE(name, function) \
    static ::ravelong::bench::SuiteRegistration ravelongBenchSuite_##function(name, function)
