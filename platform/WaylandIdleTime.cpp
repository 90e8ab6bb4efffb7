#include "platform/WaylandIdleTime.h"

#include <poll.h>
#include <wayland-client.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "ext-idle-notify-v1-client-protocol.h"

namespace ravelong {

namespace {

using std::chrono::steady_clock;

enum class Pump { handled, nothing, broken };

// Reads what has arrived within `waitMs` (0: only what is there now) and handles it. The
// prepare/read pair keeps this safe next to other readers of the display, and it never waits
// longer than asked, unlike wl_display_dispatch().
Pump pump(wl_display* display, int waitMs) {
    while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0)
            return Pump::broken;
    }
    if (wl_display_flush(display) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(display);
        return Pump::broken;
    }
    pollfd watch{wl_display_get_fd(display), POLLIN, 0};
    const int ready = ::poll(&watch, 1, waitMs);
    if (ready <= 0) {
        const bool interrupted = ready < 0 && errno == EINTR;
        wl_display_cancel_read(display);
        return ready == 0 || interrupted ? Pump::nothing : Pump::broken;
    }
    if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0)
        return Pump::broken;
    return Pump::handled;
}

// wl_display_roundtrip() with a deadline: a compositor that hangs must not hang our start.
bool roundtrip(wl_display* display, std::chrono::milliseconds limit) {
    bool done = false;
    static const wl_callback_listener listener{
        [](void* data, wl_callback*, uint32_t) { *static_cast<bool*>(data) = true; }};
    wl_callback* callback = wl_display_sync(display);
    if (!callback)
        return false;
    wl_callback_add_listener(callback, &listener, &done);
    const steady_clock::time_point deadline = steady_clock::now() + limit;
    while (!done) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - steady_clock::now());
        if (left.count() <= 0 || pump(display, static_cast<int>(left.count())) == Pump::broken)
            break;
    }
    wl_callback_destroy(callback);
    return done && wl_display_get_error(display) == 0;
}

}  // namespace

struct WaylandIdleTime::Connection {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    uint32_t seatName = 0;
    ext_idle_notifier_v1* notifier = nullptr;
    uint32_t notifierName = 0;
    ext_idle_notification_v1* notification = nullptr;
    std::chrono::milliseconds timeout{0};
    Clock clock;
    bool idle = false;
    bool lost = false;
    steady_clock::time_point idledAt;

    ~Connection() {
        if (notification)
            ext_idle_notification_v1_destroy(notification);
        if (notifier)
            ext_idle_notifier_v1_destroy(notifier);
        if (seat)
            wl_seat_destroy(seat);
        if (registry)
            wl_registry_destroy(registry);
        if (display) {
            wl_display_flush(display);
            wl_display_disconnect(display);
        }
    }

    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                       uint32_t) {
        auto* self = static_cast<Connection*>(data);
        // The first seat: a desktop with several seats gives each user session its own.
        if (!self->seat && std::strcmp(interface, wl_seat_interface.name) == 0) {
            self->seat =
                static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
            self->seatName = name;
        } else if (!self->notifier &&
                   std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0) {
            self->notifier = static_cast<ext_idle_notifier_v1*>(
                wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
            self->notifierName = name;
        }
    }
    static void globalRemove(void* data, wl_registry*, uint32_t name) {
        auto* self = static_cast<Connection*>(data);
        if ((self->seat && name == self->seatName) ||
            (self->notifier && name == self->notifierName))
            self->lost = true;
    }
    static void idled(void* data, ext_idle_notification_v1*) {
        auto* self = static_cast<Connection*>(data);
        self->idle = true;
        self->idledAt = self->clock();
    }
    static void resumed(void* data, ext_idle_notification_v1*) {
        static_cast<Connection*>(data)->idle = false;
    }
};

std::unique_ptr<WaylandIdleTime> WaylandIdleTime::open(const std::string& displayName,
                                                       std::chrono::milliseconds timeout,
                                                       Clock clock) {
    const char* name = displayName.empty() ? std::getenv("WAYLAND_DISPLAY") : displayName.c_str();
    // Without $WAYLAND_DISPLAY the library would try "wayland-0": not our session's compositor.
    if (!name || !*name)
        return nullptr;
    auto connection = std::make_unique<Connection>();
    connection->timeout = timeout;
    connection->clock = clock ? std::move(clock) : Clock([] { return steady_clock::now(); });
    connection->display = wl_display_connect(name);
    if (!connection->display)
        return nullptr;
    static const wl_registry_listener registryListener{&Connection::global,
                                                       &Connection::globalRemove};
    connection->registry = wl_display_get_registry(connection->display);
    if (!connection->registry)
        return nullptr;
    wl_registry_add_listener(connection->registry, &registryListener, connection.get());
    if (!roundtrip(connection->display, kConnectTimeout) || !connection->seat ||
        !connection->notifier)
        return nullptr;

    static const ext_idle_notification_v1_listener notificationListener{&Connection::idled,
                                                                        &Connection::resumed};
    connection->notification = ext_idle_notifier_v1_get_idle_notification(
        connection->notifier, static_cast<uint32_t>(timeout.count()), connection->seat);
    if (!connection->notification)
        return nullptr;
    ext_idle_notification_v1_add_listener(connection->notification, &notificationListener,
                                          connection.get());
    // The second round trip shows the compositor took the request (no protocol error).
    if (!roundtrip(connection->display, kConnectTimeout) || connection->lost)
        return nullptr;
    return std::unique_ptr<WaylandIdleTime>(new WaylandIdleTime(std::move(connection)));
}

WaylandIdleTime::WaylandIdleTime(std::unique_ptr<Connection> connection)
    : connection_(std::move(connection)) {}

WaylandIdleTime::~WaylandIdleTime() = default;

int WaylandIdleTime::fd() const {
    return wl_display_get_fd(connection_->display);
}

bool WaylandIdleTime::dispatch() {
    if (!connection_->lost && pump(connection_->display, 0) == Pump::broken)
        connection_->lost = true;
    return !connection_->lost;
}

std::optional<double> WaylandIdleTime::idleSeconds() const {
    if (connection_->lost)
        return std::nullopt;
    if (!connection_->idle)
        return 0.0;
    const std::chrono::duration<double> since =
        connection_->clock() - connection_->idledAt + connection_->timeout;
    return since.count();
}

bool WaylandIdleTime::isIdle() const {
    return !connection_->lost && connection_->idle;
}

}  // namespace ravelong
