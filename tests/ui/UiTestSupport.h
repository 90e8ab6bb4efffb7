#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QString>
#include <QWidget>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

namespace ravelong::ui_testing {

// Runs Qt's event loop until `done` holds or `milliseconds` have passed; returns `done()`.
inline bool runUntil(const std::function<bool()>& done, int milliseconds = 2000) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done() && elapsed.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

// Runs the event loop for a while, whatever happens.
inline void runFor(int milliseconds) {
    runUntil([] { return false; }, milliseconds);
}

// Keeps a picture for a reviewer: in $E2E_SCREENSHOT_DIR, else build/tests/ui/screenshots.
// Returns the file, or an empty path when it could not be written.
inline std::filesystem::path saveScreenshot(const QPixmap& picture, const std::string& name) {
    const char* configured = std::getenv("E2E_SCREENSHOT_DIR");
    const std::filesystem::path folder =
        configured && *configured
            ? std::filesystem::path(configured)
            : std::filesystem::path(RAVELONG_UI_TEST_OUTPUT).parent_path() / "screenshots";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::filesystem::path file = folder / name;
    if (picture.isNull() || !picture.save(QString::fromStdString(file.string()), "PNG") ||
        std::filesystem::file_size(file, ec) == 0)
        return {};
    return file;
}

}  // namespace ravelong::ui_testing
