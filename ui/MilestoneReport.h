#pragma once

#include <string_view>

namespace ravelong {

// Progress lines for tests and the launch benchmark, written to stdout (and flushed at once)
// only when the environment variable RAVELONG_REPORT_MILESTONES is set:
//
//   milestone tray-shown 0.412      the tray icon, or the window that stands in for it, is shown
//   milestone panel-shown 3.050     the task panel opened
//   milestone repaired 0.530        the launch sequence returned (repairs and crash check done)
//   milestone quit-requested 9.870  a quit was asked for (menu, signal, shutdown notice)
//   milestone exiting 9.902         the event loop has ended; the process exits next
//   alert <message text>            an alert is shown (line breaks become blanks)
//   command-done <command line>     a test command (TestCommandChannel) was carried out
//   command-failed <command line>   a test command could not be carried out
//   sync-ended ok                   a sync ended well; or with "<error domain> <code>"
//
// Seconds count from the start of the process as the kernel records it (/proc/self/stat, see
// platform/ProcessUptime.h), so they include loading the program. Main thread only.
namespace milestone_report {

bool enabled();
void milestone(std::string_view name);
void line(std::string_view kind, std::string_view text);

}  // namespace milestone_report
}  // namespace ravelong
