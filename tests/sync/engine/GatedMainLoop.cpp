#include "sync/engine/GatedMainLoop.h"

namespace ravelong::sync_testing {

bool GatedMainLoop::Gate::pass() {
    if (!open)
        return false;
    if (budget == 0) {
        open = false;
        return false;
    }
    if (budget > 0)
        --budget;
    return true;
}

std::function<void()> GatedMainLoop::gated(std::function<void()> work) {
    return [gate = gate_, work = std::move(work)] {
        if (gate->pass())
            work();
    };
}

void GatedMainLoop::runOnMainThread(std::function<void()> work) {
    inner_.runOnMainThread(gated(std::move(work)));
}

MainLoop::TimerId GatedMainLoop::runAfter(double seconds, std::function<void()> work) {
    return inner_.runAfter(seconds, gated(std::move(work)));
}

MainLoop::TimerId GatedMainLoop::runRepeating(double intervalSeconds, double toleranceSeconds,
                                              std::function<void()> work) {
    return inner_.runRepeating(intervalSeconds, toleranceSeconds, gated(std::move(work)));
}

}  // namespace ravelong::sync_testing
