#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ravelong {

// Idle time from a Wayland compositor's ext-idle-notify-v1 protocol (Sway and other wlroots
// compositors, KWin). The compositor tells us only when the seat has been quiet for a timeout we
// choose ("idled") and when input comes back ("resumed"), not a number, so the seconds are
// worked out from the idled event: a notification asked for with a 10 s timeout that went idle
// at 12:00:10 means the last input was at 12:00:00, and at 12:05:00 the user has been idle for
// 300 s. Until the timeout has passed the answer is 0.
//
// The timeout trades the error of that 0 (at most the timeout, and only for stretches shorter
// than it) against wake-ups: every pause longer than the timeout costs an idled and a resumed
// event. The idle limits the user can choose start at five minutes, so 10 s is far below any
// of them while sparing a wake-up at every pause in typing.
//
// One connection of its own, on the main thread: the caller watches fd() and calls dispatch()
// when it is readable; nothing here blocks after open().
class WaylandIdleTime {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::chrono::milliseconds kDefaultTimeout{10'000};
    // How long open() waits for each answer of the compositor before giving up.
    static constexpr std::chrono::milliseconds kConnectTimeout{1'000};

    // Connects to `displayName` (a socket name in $XDG_RUNTIME_DIR or an absolute path; empty:
    // $WAYLAND_DISPLAY, and nothing at all when that is unset) and asks for an idle notification
    // on the first seat. nullptr when no compositor answers in time, or it offers no
    // ext_idle_notifier_v1 or no seat. `clock` (default: the steady clock) times the events.
    static std::unique_ptr<WaylandIdleTime> open(
        const std::string& displayName = {}, std::chrono::milliseconds timeout = kDefaultTimeout,
        Clock clock = {});
    ~WaylandIdleTime();
    WaylandIdleTime(const WaylandIdleTime&) = delete;
    WaylandIdleTime& operator=(const WaylandIdleTime&) = delete;

    // The connection's socket, to watch for reading.
    int fd() const;
    // Reads and handles what the compositor sent, without waiting. false once the connection is
    // lost or the compositor withdrew the seat or the notifier; idleSeconds() is nothing then.
    bool dispatch();

    // Seconds since the last input, 0 while the seat is not idle, nothing once the connection
    // is lost.
    std::optional<double> idleSeconds() const;
    bool isIdle() const;

private:
    struct Connection;
    explicit WaylandIdleTime(std::unique_ptr<Connection> connection);
    std::unique_ptr<Connection> connection_;
};

}  // namespace ravelong
