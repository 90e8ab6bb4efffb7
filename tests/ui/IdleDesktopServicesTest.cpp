#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <chrono>
#include <memory>

#include "PrivateBus.h"
#include "UiTestSupport.h"
#include "platform/WaylandIdleTime.h"
#include "platform/WaylandTestCompositor.h"
#include "ui/DesktopIdleTimeSource.h"
#include "ui/LogindSleepWatcher.h"

namespace ravelong {
namespace {

using ui_testing::PrivateBus;
using ui_testing::runFor;
using ui_testing::runUntil;

// GNOME's idle monitor: milliseconds as an unsigned 64-bit number.
class FakeMutterMonitor final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Mutter.IdleMonitor")

public:
    qulonglong milliseconds = 0;
    int calls = 0;

public slots:
    qulonglong GetIdletime() {
        ++calls;
        return milliseconds;
    }
};

// A monitor that answers with the wrong type: it must be passed over, not misread.
class BrokenMutterMonitor final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Mutter.IdleMonitor")

public slots:
    QString GetIdletime() { return QStringLiteral("soon"); }
};

// KDE's screen saver: milliseconds as an unsigned 32-bit number.
class FakeScreenSaver final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public:
    uint milliseconds = 0;

public slots:
    uint GetSessionIdleTime() { return milliseconds; }
};

class DesktopIdleTimeSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!bus.isUp())
            GTEST_SKIP() << "dbus-daemon did not start";
        desktop = bus.connect(QStringLiteral("desktop"));
        program = bus.connect(QStringLiteral("program"));
    }
    void offer(const QString& service, const QString& path, QObject* object) {
        ASSERT_TRUE(desktop.registerObject(path, object, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(desktop.registerService(service));
    }
    // Asks twice: the first question starts the refresh, the second gets its answer.
    double settledAnswer(DesktopIdleTimeSource& source) {
        source.secondsSinceLastEvent(IdleEventKind::mouseMoved);
        EXPECT_TRUE(runUntil([&] { return !source.isRefreshing(); }, 5000));
        return source.secondsSinceLastEvent(IdleEventKind::keyDown);
    }

    PrivateBus bus;
    QDBusConnection desktop{QString()};
    QDBusConnection program{QString()};
};

TEST_F(DesktopIdleTimeSourceTest, AnswersAtOnceFromTheLastReplyAndRefreshesInTheBackground) {
    FakeMutterMonitor mutter;
    mutter.milliseconds = 1'200'500;
    offer(QStringLiteral("org.gnome.Mutter.IdleMonitor"),
          QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"), &mutter);
    DesktopIdleTimeSource source(program, nullptr);
    EXPECT_EQ(source.secondsSinceLastEvent(IdleEventKind::mouseMoved), 0.0);  // nothing known yet
    EXPECT_TRUE(source.isRefreshing());
    source.secondsSinceLastEvent(IdleEventKind::scrollWheel);  // no second call while one runs
    ASSERT_TRUE(runUntil([&] { return !source.isRefreshing(); }, 5000));
    EXPECT_EQ(mutter.calls, 1);
    EXPECT_EQ(source.backend(), DesktopIdleTimeSource::Backend::mutter);
    EXPECT_DOUBLE_EQ(source.secondsSinceLastEvent(IdleEventKind::keyDown), 1200.5);
    mutter.milliseconds = 3000;
    EXPECT_DOUBLE_EQ(settledAnswer(source), 3.0);
}

// Which monitor answers, by what the desktop offers.
TEST_F(DesktopIdleTimeSourceTest, FallsBackFromMutterToTheCompositorToTheScreenSaver) {
    enum class Compositor { none, idle, gone };
    struct Case {
        bool mutter;
        bool brokenMutter;
        Compositor compositor;
        bool screenSaver;
        DesktopIdleTimeSource::Backend backend;
        double seconds;
    };
    using Backend = DesktopIdleTimeSource::Backend;
    const Case cases[] = {
        {true, false, Compositor::none, true, Backend::mutter, 61.0},
        {false, false, Compositor::none, true, Backend::screenSaver, 42.25},
        {false, true, Compositor::none, true, Backend::screenSaver, 42.25},
        {false, false, Compositor::none, false, Backend::none, 0.0},
        {true, false, Compositor::idle, true, Backend::mutter, 61.0},
        {false, true, Compositor::idle, true, Backend::wayland, 10.0},
        {false, false, Compositor::gone, true, Backend::screenSaver, 42.25},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(round);
        PrivateBus own;
        ASSERT_TRUE(own.isUp());
        QDBusConnection side = own.connect(QStringLiteral("desktop%1").arg(round));
        QDBusConnection us = own.connect(QStringLiteral("program%1").arg(round++));
        FakeMutterMonitor mutter;
        mutter.milliseconds = 61'000;
        BrokenMutterMonitor broken;
        FakeScreenSaver saver;
        saver.milliseconds = 42'250;
        const QString mutterPath = QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core");
        if (c.mutter || c.brokenMutter) {
            side.registerObject(mutterPath, c.mutter ? static_cast<QObject*>(&mutter) : &broken,
                                QDBusConnection::ExportAllSlots);
            side.registerService(QStringLiteral("org.gnome.Mutter.IdleMonitor"));
        }
        if (c.screenSaver) {
            side.registerObject(QStringLiteral("/ScreenSaver"), &saver,
                                QDBusConnection::ExportAllSlots);
            side.registerService(QStringLiteral("org.freedesktop.ScreenSaver"));
        }
        std::unique_ptr<WaylandIdleTime> wayland;
        testing::WaylandTestCompositor compositor;
        if (c.compositor != Compositor::none) {
            ASSERT_TRUE(compositor.isUp());
            const auto now = std::chrono::steady_clock::now();
            wayland = WaylandIdleTime::open(compositor.socketPath(), std::chrono::seconds(10),
                                            [now] { return now; });
            ASSERT_NE(wayland, nullptr);
            if (c.compositor == Compositor::gone)
                compositor.stop();
            else
                compositor.sendIdled();
        }
        DesktopIdleTimeSource source(us, nullptr, std::move(wayland));
        EXPECT_DOUBLE_EQ(settledAnswer(source), c.seconds);
        EXPECT_EQ(source.backend(), c.backend);
    }
}

// The compositor's events are read from the main loop as they come, and a question is answered
// from them at once.
TEST_F(DesktopIdleTimeSourceTest, ReadsTheCompositorsEventsAsTheyCome) {
    testing::WaylandTestCompositor compositor;
    ASSERT_TRUE(compositor.isUp());
    auto now = std::chrono::steady_clock::now();
    auto wayland = WaylandIdleTime::open(compositor.socketPath(), std::chrono::seconds(10),
                                         [&now] { return now; });
    ASSERT_NE(wayland, nullptr);
    WaylandIdleTime* events = wayland.get();
    DesktopIdleTimeSource source(program, nullptr, std::move(wayland));

    compositor.sendIdled();
    EXPECT_TRUE(runUntil([&] { return events->isIdle(); }, 5000));  // nobody asked
    now += std::chrono::seconds(50);
    EXPECT_DOUBLE_EQ(settledAnswer(source), 60.0);
    EXPECT_EQ(source.backend(), DesktopIdleTimeSource::Backend::wayland);

    compositor.sendResumed();
    EXPECT_TRUE(runUntil([&] { return !events->isIdle(); }, 5000));
    EXPECT_EQ(source.secondsSinceLastEvent(IdleEventKind::keyDown), 0.0);
    EXPECT_FALSE(source.isRefreshing());
}

// A monitor that answered while the user was away and then went (the compositor ended, GNOME
// Shell restarted) leaves nothing that knows the idle time: the answer is 0 again, not the last
// one repeated for the rest of the session as if the user never came back.
TEST_F(DesktopIdleTimeSourceTest, ForgetsTheLastAnswerOnceNoMonitorIsLeft) {
    int round = 0;
    for (const bool mutterGoes : {false, true}) {
        SCOPED_TRACE(mutterGoes ? "Mutter's monitor went" : "the compositor went");
        PrivateBus own;
        ASSERT_TRUE(own.isUp());
        QDBusConnection side = own.connect(QStringLiteral("lostDesktop%1").arg(round));
        QDBusConnection us = own.connect(QStringLiteral("lostProgram%1").arg(round++));
        FakeMutterMonitor mutter;
        mutter.milliseconds = 600'000;
        testing::WaylandTestCompositor compositor;
        auto now = std::chrono::steady_clock::now();
        std::unique_ptr<WaylandIdleTime> wayland;
        if (mutterGoes) {
            ASSERT_TRUE(side.registerObject(QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"),
                                            &mutter, QDBusConnection::ExportAllSlots));
            ASSERT_TRUE(side.registerService(QStringLiteral("org.gnome.Mutter.IdleMonitor")));
        } else {
            ASSERT_TRUE(compositor.isUp());
            wayland = WaylandIdleTime::open(compositor.socketPath(), std::chrono::seconds(10),
                                            [&now] { return now; });
            ASSERT_NE(wayland, nullptr);
            WaylandIdleTime* events = wayland.get();
            compositor.sendIdled();
            ASSERT_TRUE(runUntil([&] { return events->dispatch() && events->isIdle(); }, 5000));
            now += std::chrono::seconds(590);
        }
        DesktopIdleTimeSource source(us, nullptr, std::move(wayland));
        EXPECT_DOUBLE_EQ(settledAnswer(source), 600.0);
        ASSERT_TRUE(runUntil([&] { return !source.isRefreshing(); }, 5000));

        if (mutterGoes)
            side.unregisterObject(QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"));
        else
            compositor.stop();
        EXPECT_EQ(settledAnswer(source), 0.0);
        EXPECT_EQ(source.backend(), DesktopIdleTimeSource::Backend::none);
        EXPECT_EQ(source.secondsSinceLastEvent(IdleEventKind::keyDown), 0.0);
    }
}

// logind's side: hands out a pipe as the inhibitor and keeps the other end, so the test can see
// when the program lets go of it.
class FakeLogind final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    ~FakeLogind() override {
        for (int fd : writeEnds)
            ::close(fd);
    }
    QStringList requests;
    std::vector<int> writeEnds;

    // Whether the program still holds the inhibitor handed out `index`-th.
    bool held(std::size_t index) const {
        pollfd watch{writeEnds.at(index), 0, 0};
        return ::poll(&watch, 1, 0) == 0;  // POLLERR once every read end is closed
    }

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode) {
        requests << QStringList{what, who, why, mode}.join(QLatin1Char('|'));
        int ends[2];
        if (::pipe(ends) != 0)
            return {};
        writeEnds.push_back(ends[1]);
        QDBusUnixFileDescriptor handed(ends[0]);  // a duplicate travels; ours closes now
        ::close(ends[0]);
        return handed;
    }
};

TEST(LogindSleepWatcher, HoldsTheSleepDelayWhileTimersRunAndLetsGoOnceSleepWasHandled) {
    PrivateBus bus;
    if (!bus.isUp())
        GTEST_SKIP() << "dbus-daemon did not start";
    QDBusConnection system = bus.connect(QStringLiteral("logind"));
    FakeLogind logind;
    ASSERT_TRUE(system.registerObject(QStringLiteral("/org/freedesktop/login1"), &logind,
                                      QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(system.registerService(QStringLiteral("org.freedesktop.login1")));
    auto announce = [&](bool sleeping) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"));
        signal << sleeping;
        ASSERT_TRUE(system.send(signal));
    };

    LogindSleepWatcher watcher(bus.connect(QStringLiteral("program")));
    ASSERT_TRUE(watcher.isConnected());
    int sleeps = 0;
    int wakes = 0;
    bool heldWhileHandling = false;
    QObject::connect(&watcher, &LogindSleepWatcher::goingToSleep, [&] {
        ++sleeps;
        heldWhileHandling = logind.held(0);
    });
    QObject::connect(&watcher, &LogindSleepWatcher::wokeUp, [&] { ++wakes; });

    watcher.setHoldInhibitor(true);
    ASSERT_TRUE(runUntil([&] { return watcher.holdsInhibitor(); }, 5000));
    EXPECT_EQ(logind.requests,
              QStringList{QStringLiteral("sleep|Ravelong|Stopping timers before sleep|delay")});
    EXPECT_TRUE(logind.held(0));

    announce(true);
    ASSERT_TRUE(runUntil([&] { return sleeps == 1; }, 5000));
    EXPECT_TRUE(heldWhileHandling);  // the timers are dealt with before the machine may sleep
    EXPECT_FALSE(watcher.holdsInhibitor());
    EXPECT_FALSE(logind.held(0));

    announce(false);
    ASSERT_TRUE(runUntil([&] { return wakes == 1 && watcher.holdsInhibitor(); }, 5000));
    EXPECT_EQ(logind.requests.size(), 2);
    EXPECT_TRUE(logind.held(1));

    // The last timer stopped: the delay goes at once.
    watcher.setHoldInhibitor(false);
    EXPECT_FALSE(logind.held(1));
}

TEST(LogindSleepWatcher, IsQuietWithoutLogind) {
    PrivateBus bus;
    if (!bus.isUp())
        GTEST_SKIP() << "dbus-daemon did not start";
    LogindSleepWatcher watcher(bus.connect(QStringLiteral("lonely")));
    EXPECT_FALSE(watcher.isConnected());
    watcher.setHoldInhibitor(true);
    runFor(50);
    EXPECT_FALSE(watcher.holdsInhibitor());
}

}  // namespace
}  // namespace ravelong

#include "IdleDesktopServicesTest.moc"
