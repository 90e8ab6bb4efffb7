#pragma once

#include <signal.h>

#include <vector>

namespace ravelong {

// Turns termination signals (SIGTERM, SIGINT, ...) into bytes on a pipe, so that an event loop
// can handle them as ordinary input instead of inside a signal handler. The handler only writes
// the signal number (one byte) to the pipe; everything else happens when the loop reads it.
//
// At most one SignalPipe may exist at a time (the handler finds it through a process-wide slot).
// The destructor puts back the handlers that were installed before. Main thread only, except the
// handler itself.
class SignalPipe {
public:
    explicit SignalPipe(std::vector<int> signalNumbers);
    ~SignalPipe();
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

    // False when the pipe or a handler could not be set up; the signals then keep their default
    // action.
    bool isValid() const { return readFd_ >= 0; }
    // Becomes readable when a signal arrived. Non-blocking.
    int readFd() const { return readFd_; }
    // The signals caught since the last call, in the order they arrived.
    std::vector<int> takeSignals();

private:
    std::vector<int> signalNumbers_;
    std::vector<struct sigaction*> previous_;
    int readFd_ = -1;
    int writeFd_ = -1;
};

}  // namespace ravelong
