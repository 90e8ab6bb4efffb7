// ravelong-cli-chart: the chart command of ravelong-cli in a program of its own. Drawing needs
// Qt's widgets and charts; kept out of ravelong-cli, they do not slow down the start of every
// other command. ravelong-cli runs this program for "ravelong-cli chart ...".
#include <iostream>

#include "cli/CliCommand.h"
#include "cli/chart/ChartCommandName.h"

int main(int argc, char** argv) {
    using namespace ravelong;
    const cli::CliCommand* command = cli::findCommand(cli::kChartCommand);
    if (!command)
        return cli::kExitFailure;
    cli::CliInvocation invocation{{argv + 1, argv + argc}, std::cout, std::cerr};
    return command->run(invocation);
}
