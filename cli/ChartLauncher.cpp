// "ravelong-cli chart" runs ravelong-cli-chart (cli/chart/), which draws with Qt's widgets and
// charts; ravelong-cli itself stays free of them and starts fast.
#include <filesystem>
#include <ostream>

#include "cli/CliCommand.h"
#include "cli/chart/ChartCommandName.h"

namespace ravelong::cli {
namespace {

constexpr const char* kChartProgram = "ravelong-cli-chart";

int run(CliInvocation& invocation) {
    const std::filesystem::path program = companionProgram(kChartProgram);
    if (program.empty()) {
        invocation.err << "ravelong-cli: " << kChartProgram
                       << " is missing; the chart command is not installed.\n";
        return kExitFailure;
    }
    return execCompanion(program, invocation.arguments, invocation.out, invocation.err);
}

const bool registered = registerCommand({kChartCommand, kChartArguments, kChartSummary, run});

}  // namespace
}  // namespace ravelong::cli
