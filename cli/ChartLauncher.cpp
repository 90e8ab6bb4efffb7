// "ravelong-cli chart" runs ravelong-cli-chart (cli/chart/), which draws with Qt's widgets and
// charts; ravelong-cli itself stays free of them and starts fast.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ostream>

#include "cli/CliCommand.h"
#include "cli/chart/ChartCommandName.h"

namespace ravelong::cli {
namespace {

constexpr const char* kChartProgram = "ravelong-cli-chart";

// Beside ravelong-cli in the build tree, else in the installed libexec folder.
std::filesystem::path chartProgram() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    const std::filesystem::path folder = self.parent_path();
    for (const std::filesystem::path& candidate :
         {folder / kChartProgram, folder.parent_path() / RAVELONG_CLI_LIBEXEC / kChartProgram}) {
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

int run(CliInvocation& invocation) {
    const std::filesystem::path program = chartProgram();
    if (program.empty()) {
        invocation.err << "ravelong-cli: " << kChartProgram
                       << " is missing; the chart command is not installed.\n";
        return kExitFailure;
    }
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (std::string& argument : invocation.arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    invocation.out.flush();
    invocation.err.flush();
    ::execv(program.c_str(), argv.data());
    invocation.err << "ravelong-cli: " << program.string()
                   << " could not run: " << std::strerror(errno) << "\n";
    return kExitFailure;
}

const bool registered = registerCommand({kChartCommand, kChartArguments, kChartSummary, run});

}  // namespace
}  // namespace ravelong::cli
