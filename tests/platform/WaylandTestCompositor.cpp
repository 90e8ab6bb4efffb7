#include "platform/WaylandTestCompositor.h"

#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <wayland-server.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

#include "ext-idle-notify-v1-server-protocol.h"
#include "support/TestSupport.h"

namespace ravelong::testing {

namespace {

struct Notification {
    wl_resource* resource;
    std::uint32_t timeout;
};

}  // namespace

struct WaylandTestCompositor::Server {
    TemporaryDirectory directory;
    std::string socketPath;
    wl_display* display = nullptr;
    wl_global* seat = nullptr;
    wl_global* notifier = nullptr;
    std::vector<Notification> notifications;
    int wake = -1;
    wl_event_source* wakeSource = nullptr;
    std::mutex mutex;
    std::deque<std::pair<std::function<void()>, std::promise<void>>> work;
    std::thread thread;
    bool running = false;

    static void bindSeat(wl_client* client, void*, std::uint32_t version, std::uint32_t id) {
        // No requests of the seat are used by the idle notification's clients.
        if (!wl_resource_create(client, &wl_seat_interface, static_cast<int>(version), id))
            wl_client_post_no_memory(client);
    }

    static void forgetNotification(wl_resource* resource) {
        auto* self = static_cast<Server*>(wl_resource_get_user_data(resource));
        std::erase_if(self->notifications,
                      [resource](const Notification& n) { return n.resource == resource; });
    }

    static void destroyResource(wl_client*, wl_resource* resource) {
        wl_resource_destroy(resource);
    }

    static void getIdleNotification(wl_client* client, wl_resource* notifier, std::uint32_t id,
                                    std::uint32_t timeout, wl_resource*) {
        static const struct ext_idle_notification_v1_interface implementation { &destroyResource };
        wl_resource* resource = wl_resource_create(client, &ext_idle_notification_v1_interface,
                                                   wl_resource_get_version(notifier), id);
        if (!resource) {
            wl_client_post_no_memory(client);
            return;
        }
        auto* self = static_cast<Server*>(wl_resource_get_user_data(notifier));
        wl_resource_set_implementation(resource, &implementation, self, &forgetNotification);
        self->notifications.push_back({resource, timeout});
    }

    static void bindNotifier(wl_client* client, void* data, std::uint32_t version,
                             std::uint32_t id) {
        static const struct ext_idle_notifier_v1_interface implementation {
            &destroyResource, &getIdleNotification
        };
        wl_resource* resource = wl_resource_create(client, &ext_idle_notifier_v1_interface,
                                                   static_cast<int>(version), id);
        if (!resource) {
            wl_client_post_no_memory(client);
            return;
        }
        wl_resource_set_implementation(resource, &implementation, data, nullptr);
    }

    // Runs the test's requests on the server's thread and flushes what they sent before the
    // test goes on.
    static int doWork(int fd, std::uint32_t, void* data) {
        auto* self = static_cast<Server*>(data);
        eventfd_t count = 0;
        eventfd_read(fd, &count);
        std::unique_lock lock(self->mutex);
        while (!self->work.empty()) {
            auto [job, done] = std::move(self->work.front());
            self->work.pop_front();
            lock.unlock();
            job();
            wl_display_flush_clients(self->display);
            done.set_value();
            lock.lock();
        }
        return 0;
    }

    bool listen() {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        socketPath = (directory / "wayland-0").string();
        std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd, 16) != 0 || wl_display_add_socket_fd(display, fd) != 0) {
            ::close(fd);
            return false;
        }
        return true;
    }
};

WaylandTestCompositor::WaylandTestCompositor(Offer offer) : server_(std::make_unique<Server>()) {
    Server& s = *server_;
    s.display = wl_display_create();
    s.wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (!s.display || s.wake < 0 || !s.listen())
        return;
    if (offer.seat)
        s.seat = wl_global_create(s.display, &wl_seat_interface, 1, &s, &Server::bindSeat);
    if (offer.idleNotifier)
        s.notifier = wl_global_create(s.display, &ext_idle_notifier_v1_interface, 1, &s,
                                      &Server::bindNotifier);
    s.wakeSource = wl_event_loop_add_fd(wl_display_get_event_loop(s.display), s.wake,
                                        WL_EVENT_READABLE, &Server::doWork, &s);
    s.running = true;
    s.thread = std::thread([display = s.display] { wl_display_run(display); });
}

WaylandTestCompositor::~WaylandTestCompositor() {
    stop();
    // The display's loop does not free the sources still registered with it.
    if (server_->wakeSource)
        wl_event_source_remove(server_->wakeSource);
    if (server_->display)
        wl_display_destroy(server_->display);
    if (server_->wake >= 0)
        ::close(server_->wake);
}

bool WaylandTestCompositor::isUp() const {
    return server_->running;
}

std::string WaylandTestCompositor::socketPath() const {
    return server_->socketPath;
}

void WaylandTestCompositor::run(std::function<void()> job) {
    if (!server_->running)
        return;
    std::future<void> done;
    {
        std::lock_guard lock(server_->mutex);
        server_->work.emplace_back(std::move(job), std::promise<void>());
        done = server_->work.back().second.get_future();
    }
    eventfd_write(server_->wake, 1);
    done.wait();
}

void WaylandTestCompositor::sendIdled() {
    run([this] {
        for (const Notification& n : server_->notifications)
            ext_idle_notification_v1_send_idled(n.resource);
    });
}

void WaylandTestCompositor::sendResumed() {
    run([this] {
        for (const Notification& n : server_->notifications)
            ext_idle_notification_v1_send_resumed(n.resource);
    });
}

std::vector<std::uint32_t> WaylandTestCompositor::liveNotificationTimeouts() {
    std::vector<std::uint32_t> timeouts;
    run([&] {
        for (const Notification& n : server_->notifications)
            timeouts.push_back(n.timeout);
    });
    return timeouts;
}

void WaylandTestCompositor::removeSeat() {
    run([this] {
        if (server_->seat)
            wl_global_destroy(server_->seat);
        server_->seat = nullptr;
    });
}

void WaylandTestCompositor::stop() {
    if (!server_->running)
        return;
    run([this] {
        wl_display_terminate(server_->display);
        wl_display_destroy_clients(server_->display);
    });
    server_->running = false;
    server_->thread.join();
}

}  // namespace ravelong::testing
