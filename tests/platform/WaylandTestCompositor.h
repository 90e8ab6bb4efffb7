#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ravelong::testing {

// A Wayland server of the test's own, on a thread of its own and a socket in a fresh directory:
// it offers a seat and (unless told not to) ext_idle_notifier_v1, and says "idled" or "resumed"
// to the clients' idle notifications when the test asks. Everything it does runs on its thread;
// the test's calls wait until the thread has done them and flushed what it sent.
class WaylandTestCompositor {
public:
    struct Offer {
        bool seat = true;
        bool idleNotifier = true;
    };
    explicit WaylandTestCompositor(Offer offer);
    WaylandTestCompositor() : WaylandTestCompositor(Offer{}) {}
    ~WaylandTestCompositor();
    WaylandTestCompositor(const WaylandTestCompositor&) = delete;
    WaylandTestCompositor& operator=(const WaylandTestCompositor&) = delete;

    bool isUp() const;
    // An absolute path: what WAYLAND_DISPLAY would hold. The socket is named "wayland-0", the
    // name clients fall back to in $XDG_RUNTIME_DIR.
    std::string socketPath() const;

    // To every idle notification a client holds.
    void sendIdled();
    void sendResumed();
    // The timeouts (milliseconds) of the idle notifications clients hold now.
    std::vector<std::uint32_t> liveNotificationTimeouts();
    // Withdraws the seat from the registry, as when a seat is unplugged.
    void removeSeat();
    // Ends the server and every client's connection.
    void stop();

private:
    struct Server;
    void run(std::function<void()> work);
    std::unique_ptr<Server> server_;
};

}  // namespace ravelong::testing
