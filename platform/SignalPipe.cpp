#include "platform/SignalPipe.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

#include "foundation/Log.h"

namespace ravelong {

namespace {

std::atomic<int> gWriteFd{-1};

extern "C" void writeSignalNumber(int signalNumber) {
    const int savedErrno = errno;
    const int fd = gWriteFd.load();
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        // A full pipe means plenty of unread signals already; losing this one changes nothing.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

}  // namespace

SignalPipe::SignalPipe(std::vector<int> signalNumbers) : signalNumbers_(std::move(signalNumbers)) {
    int fds[2];
    if (gWriteFd.load() >= 0) {
        logError("SignalPipe", "a signal pipe is already installed");
        return;
    }
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        logError("SignalPipe", "cannot make the signal pipe");
        return;
    }
    readFd_ = fds[0];
    writeFd_ = fds[1];
    gWriteFd.store(writeFd_);

    struct sigaction action {};
    action.sa_handler = writeSignalNumber;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : signalNumbers_) {
        auto* before = new struct sigaction;
        *before = {};
        if (::sigaction(signalNumber, &action, before) != 0) {
            logError("SignalPipe", "cannot catch signal " + std::to_string(signalNumber));
            delete before;
            before = nullptr;
        }
        previous_.push_back(before);
    }
}

SignalPipe::~SignalPipe() {
    for (std::size_t i = 0; i < signalNumbers_.size() && i < previous_.size(); ++i) {
        if (previous_[i]) {
            ::sigaction(signalNumbers_[i], previous_[i], nullptr);
            delete previous_[i];
        }
    }
    if (writeFd_ >= 0) {
        gWriteFd.store(-1);
        ::close(writeFd_);
    }
    if (readFd_ >= 0)
        ::close(readFd_);
}

std::vector<int> SignalPipe::takeSignals() {
    std::vector<int> caught;
    if (readFd_ < 0)
        return caught;
    unsigned char buffer[64];
    for (;;) {
        const ssize_t n = ::read(readFd_, buffer, sizeof buffer);
        if (n > 0) {
            caught.insert(caught.end(), buffer, buffer + n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;  // empty (EAGAIN) or closed
    }
    return caught;
}

}  // namespace ravelong
