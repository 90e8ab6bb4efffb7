#include <QApplication>

#include "platform/ProcessUptime.h"
#include "ui/RavelongProgram.h"
#include "ui/UiTexts.h"

int main(int argc, char* argv[]) {
    // Read first, so the start time of the process is known before anything else runs.
    ravelong::process_uptime::secondsSinceProcessStart();

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
