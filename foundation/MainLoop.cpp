#include "foundation/MainLoop.h"

#include <atomic>

#include "foundation/EventLoop.h"

namespace ravelong {

namespace {

std::atomic<MainLoop*> gInstalledLoop{nullptr};

// Never destroyed: background threads may still hand work to it while static objects are torn
// down at exit.
MainLoop& processLoop() {
    static EventLoop* loop = new EventLoop();
    return *loop;
}

}  // namespace

MainLoop& MainLoop::current() {
    MainLoop* installed = gInstalledLoop.load();
    return installed ? *installed : processLoop();
}

void MainLoop::setCurrent(MainLoop* loop) {
    gInstalledLoop.store(loop);
}

ScopedMainLoop::ScopedMainLoop(MainLoop& loop) : previous_(gInstalledLoop.exchange(&loop)) {}

ScopedMainLoop::~ScopedMainLoop() {
    gInstalledLoop.store(previous_);
}

}  // namespace ravelong
