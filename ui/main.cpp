#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "foundation/Version.h"
#include "platform/ProcessUptime.h"
#include "ui/RavelongProgram.h"
#include "ui/UiTexts.h"

namespace {

constexpr const char* kUsage =
    "Usage: ravelong [--version] [--help] [Qt options]\n"
    "\n"
    "Starts Ravelong, the time tracker of the tray. A second start brings the running one\n"
    "forward. Quit it with \"Quit Ravelong\" in the tray icon's menu.\n"
    "\n"
    "Data:     $XDG_DATA_HOME/ravelong-group/Library/Application Support/Ravelong2/\n"
    "Settings: $XDG_CONFIG_HOME/ravelong/settings.json\n";

bool hasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Read first, so the start time of the process is known before anything else runs.
    ravelong::process_uptime::secondsSinceProcessStart();

    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--version") {
            std::printf("Ravelong %s (build %d)\n", ravelong::kRavelongVersion,
                        ravelong::kRavelongBuildNumber);
            return 0;
        }
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    if (!hasDisplay()) {
        std::fputs(
            "ravelong: no graphical session (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
            "Start Ravelong from your desktop session.\n",
            stderr);
        return 1;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(
        QString::fromUtf8(ravelong::ui_texts::kApplicationName.data()));
    QApplication::setDesktopFileName(
        QString::fromUtf8(ravelong::ui_texts::kDesktopFileName.data()));
    // A tray program lives on when its last window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    ravelong::RavelongProgram program(application);
    return program.run();
}
