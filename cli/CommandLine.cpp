#include "cli/CommandLine.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <ostream>

#include "cli/TaskReference.h"
#include "core/calendar/DayBounds.h"
#include "core/calendar/ZRCalendar.h"

namespace ravelong::cli {

int usageError(CliInvocation& invocation, const char* usage, const std::string& problem) {
    invocation.err << "ravelong-cli: " << problem << "\n" << usage;
    return kExitUsage;
}

std::optional<PeriodOptions> parsePeriodOptions(CliInvocation& invocation, const char* usage,
                                                AcceptedOptions accepted) {
    PeriodOptions options;
    const auto& arguments = invocation.arguments;
    const auto fail = [&](const std::string& problem) {
        usageError(invocation, usage, problem);
        return std::nullopt;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (accepted.archived && argument == "--archived") {
            options.archived = true;
        } else if (accepted.format && argument == "--format") {
            if (i + 1 >= arguments.size())
                return fail("--format needs text, csv or json.");
            const auto chosen = time_report::formatFromText(arguments[++i]);
            if (!chosen)
                return fail("unknown format \"" + arguments[i] + "\".");
            options.format = *chosen;
        } else if (accepted.task && argument == "--task") {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty())
                return fail("--task needs a task's name or uuid.");
            options.task = arguments[++i];
        } else if (argument.starts_with("-")) {
            return fail("unknown option \"" + argument + "\".");
        } else {
            options.words.push_back(argument);
        }
    }
    if (options.words.size() > 2)
        return fail("too many arguments.");
    return options;
}

std::optional<ZRDateRange> periodDays(CliInvocation& invocation, const char* usage,
                                      const std::vector<std::string>& words, int hourCutoff) {
    if (words.size() == 2) {
        const auto first = time_report::dayFromText(words[0]);
        const auto last = time_report::dayFromText(words[1]);
        if (!first || !last) {
            usageError(invocation, usage, "FROM and TO must be days such as 2024-03-12.");
            return std::nullopt;
        }
        if (*last < *first) {
            usageError(invocation, usage, "TO lies before FROM.");
            return std::nullopt;
        }
        return ZRDateRange{*first, *last};
    }
    const auto days = time_report::namedPeriod(words.empty() ? "day" : words[0], hourCutoff);
    if (!days)
        usageError(invocation, usage, "unknown period \"" + words[0] + "\".");
    return days;
}

std::pair<Instant, Instant> instantsOfDays(ZRDateRange days, int hourCutoff) {
    if (days.first <= time_report::kAllDays.first && days.last >= time_report::kAllDays.last)
        return {-std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    const std::int32_t offset = hourCutoff * 3600;
    return {date_additions::beginningOfDayForZRDate(days.first, calendar.timeZoneName(), offset),
            date_additions::endOfDayForZRDate(days.last, calendar.timeZoneName(), offset)};
}

std::string clockDuration(double seconds) {
    const long total = std::lround(std::max(0.0, seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    return text;
}

}  // namespace ravelong::cli
