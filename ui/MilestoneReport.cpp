#include "ui/MilestoneReport.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ProcessUptime.h"

namespace ravelong::milestone_report {

bool enabled() {
    static const bool on = std::getenv("RAVELONG_REPORT_MILESTONES") != nullptr;
    return on;
}

void milestone(std::string_view name) {
    if (!enabled())
        return;
    std::printf("milestone %.*s %.3f\n", static_cast<int>(name.size()), name.data(),
                process_uptime::secondsSinceProcessStart());
    std::fflush(stdout);
}

void line(std::string_view kind, std::string_view text) {
    if (!enabled())
        return;
    std::string flat(text);
    for (char& c : flat) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    std::printf("%.*s %s\n", static_cast<int>(kind.size()), kind.data(), flat.c_str());
    std::fflush(stdout);
}

}  // namespace ravelong::milestone_report
