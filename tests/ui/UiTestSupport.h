#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <functional>
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

}  // namespace ravelong::ui_testing
