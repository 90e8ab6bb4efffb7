#pragma once

#include <functional>
#include <memory>

#include "foundation/MainLoop.h"

namespace ravelong::sync_testing {

// A main loop that forwards to the shared virtual loop until it is closed; then the work queued
// through it is dropped. A computer that crashes closes its loop, so none of the callbacks of its
// interrupted merge ever runs.
class GatedMainLoop final : public MainLoop {
public:
    explicit GatedMainLoop(MainLoop& inner) : inner_(inner) {}
    void runOnMainThread(std::function<void()> work) override;
    TimerId runAfter(double seconds, std::function<void()> work) override;
    TimerId runRepeating(double intervalSeconds, double toleranceSeconds,
                         std::function<void()> work) override;
    void cancel(TimerId id) override { inner_.cancel(id); }
    bool isMainThread() const override { return inner_.isMainThread(); }
    void close() { gate_->open = false; }
    // Lets `callbacks` more callbacks through, then closes (a crash at that point).
    void closeAfter(int callbacks) { gate_->budget = callbacks; }
    bool isOpen() const { return gate_->open; }

private:
    struct Gate {
        bool open = true;
        int budget = -1;  // callbacks still let through; -1 for no limit
        bool pass();
    };
    std::function<void()> gated(std::function<void()> work);

    MainLoop& inner_;
    std::shared_ptr<Gate> gate_ = std::make_shared<Gate>();
};

}  // namespace ravelong::sync_testing
