#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/WaylandIdleTime.h"
#include "platform/WaylandTestCompositor.h"
#include "support/TestSupport.h"

namespace ravelong {
namespace {

using namespace std::chrono_literals;
using testing::WaylandTestCompositor;

// Waits for what the compositor sent and handles it; false when the connection broke.
bool receive(WaylandIdleTime& idle) {
    pollfd watch{idle.fd(), POLLIN, 0};
    ::poll(&watch, 1, 2000);
    return idle.dispatch();
}

// Sets or clears an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(WaylandIdleTime, CountsTheIdleSecondsFromTheIdledEventBackToTheLastInput) {
    WaylandTestCompositor compositor;
    ASSERT_TRUE(compositor.isUp());
    auto now = std::chrono::steady_clock::time_point{} + 1000h;
    auto idle = WaylandIdleTime::open(compositor.socketPath(), 10s, [&] { return now; });
    ASSERT_NE(idle, nullptr);
    EXPECT_EQ(compositor.liveNotificationTimeouts(), std::vector<std::uint32_t>{10'000});
    EXPECT_TRUE(idle->dispatch());  // nothing sent: returns at once
    EXPECT_EQ(idle->idleSeconds(), 0.0);

    // Idled at 10 s after the last input; 290 s later the user has been away for 300 s.
    compositor.sendIdled();
    ASSERT_TRUE(receive(*idle));
    EXPECT_TRUE(idle->isIdle());
    EXPECT_EQ(idle->idleSeconds(), 10.0);
    now += 290'500ms;
    EXPECT_EQ(idle->idleSeconds(), 300.5);

    compositor.sendResumed();
    ASSERT_TRUE(receive(*idle));
    EXPECT_FALSE(idle->isIdle());
    EXPECT_EQ(idle->idleSeconds(), 0.0);

    // The next stretch counts from its own event, not the first one's.
    now += 60s;
    compositor.sendIdled();
    ASSERT_TRUE(receive(*idle));
    now += 2s;
    EXPECT_EQ(idle->idleSeconds(), 12.0);
}

TEST(WaylandIdleTime, OpensOnlyOnACompositorWithTheNotifierAndASeat) {
    struct Case {
        WaylandTestCompositor::Offer offer;
        bool opens;
    };
    for (const Case& c :
         {Case{{true, true}, true}, Case{{false, true}, false}, Case{{true, false}, false}}) {
        SCOPED_TRACE(::testing::Message()
                     << "seat " << c.offer.seat << ", notifier " << c.offer.idleNotifier);
        WaylandTestCompositor compositor(c.offer);
        ASSERT_TRUE(compositor.isUp());
        EXPECT_EQ(WaylandIdleTime::open(compositor.socketPath()) != nullptr, c.opens);
    }

    // Without a name it goes by $WAYLAND_DISPLAY, and not at all when that is unset.
    WaylandTestCompositor compositor;
    ASSERT_TRUE(compositor.isUp());
    {
        ScopedEnv display("WAYLAND_DISPLAY", compositor.socketPath().c_str());
        EXPECT_NE(WaylandIdleTime::open(), nullptr);
    }
    {
        // Not even the compositor the library would fall back to.
        const std::string directory =
            std::filesystem::path(compositor.socketPath()).parent_path().string();
        ScopedEnv runtime("XDG_RUNTIME_DIR", directory.c_str());
        ScopedEnv display("WAYLAND_DISPLAY", nullptr);
        EXPECT_EQ(WaylandIdleTime::open(), nullptr);
    }
    testing::TemporaryDirectory empty;
    EXPECT_EQ(WaylandIdleTime::open((empty / "wayland-9").string()), nullptr);

    // A socket that takes the connection but never answers: given up on, not waited for.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string silent = (empty / "silent").string();
    std::strncpy(address.sun_path, silent.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(WaylandIdleTime::open(silent), nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - before, WaylandIdleTime::kConnectTimeout + 2s);
    ::close(fd);
}

TEST(WaylandIdleTime, KnowsNothingOnceTheSeatOrTheCompositorGoes) {
    for (bool wholeCompositor : {false, true}) {
        SCOPED_TRACE(wholeCompositor ? "compositor gone" : "seat withdrawn");
        WaylandTestCompositor compositor;
        ASSERT_TRUE(compositor.isUp());
        auto idle = WaylandIdleTime::open(compositor.socketPath());
        ASSERT_NE(idle, nullptr);
        compositor.sendIdled();
        ASSERT_TRUE(receive(*idle));
        ASSERT_TRUE(idle->idleSeconds().has_value());
        if (wholeCompositor)
            compositor.stop();
        else
            compositor.removeSeat();
        EXPECT_FALSE(receive(*idle));
        EXPECT_FALSE(idle->idleSeconds().has_value());
        EXPECT_FALSE(idle->isIdle());
        EXPECT_FALSE(idle->dispatch());  // and stays so
    }
}

}  // namespace
}  // namespace ravelong
