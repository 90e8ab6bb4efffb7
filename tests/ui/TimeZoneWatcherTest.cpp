#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QVariantMap>
#include <filesystem>

#include "PrivateBus.h"
#include "foundation/Log.h"
#include "support/TestSupport.h"
#include "ui/TimeZoneWatcher.h"
#include "ui/UiTestSupport.h"

namespace ravelong {
namespace {

using ui_testing::PrivateBus;
using ui_testing::runFor;
using ui_testing::runUntil;

void announce(QDBusConnection& bus, const QString& interfaceName, const QVariantMap& changed,
              const QStringList& invalidated = {}) {
    QDBusMessage signal = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/timedate1"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
    signal << interfaceName << changed << invalidated;
    ASSERT_TRUE(bus.send(signal));
}

// The test plays timedated on a bus of its own, standing in for the system bus.
class TimeZoneWatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!bus.isUp())
            GTEST_SKIP() << "dbus-daemon did not start";
    }

    PrivateBus bus;
    testing::TemporaryDirectory etc;
};

TEST_F(TimeZoneWatcherTest, TimedatedAnnouncingANewZoneIsOneChange) {
    QDBusConnection timedated = bus.connect(QStringLiteral("timedated"));
    ASSERT_TRUE(timedated.registerService(QStringLiteral("org.freedesktop.timedate1")));
    QDBusConnection other = bus.connect(QStringLiteral("other"));
    TimeZoneWatcher watcher(bus.connect(QStringLiteral("watcher")), etc.path());
    ASSERT_TRUE(watcher.watchesTimedated());
    ASSERT_TRUE(watcher.watchesFiles());
    int changes = 0;
    QObject::connect(&watcher, &TimeZoneWatcher::zoneChanged, [&] { ++changes; });

    const QString timedate1 = QStringLiteral("org.freedesktop.timedate1");
    // Not the zone, not timedated's interface, not timedated: nothing.
    announce(timedated, timedate1, {{QStringLiteral("NTP"), true}});
    announce(timedated, QStringLiteral("org.example.Other"),
             {{QStringLiteral("Timezone"), QStringLiteral("Asia/Tokyo")}});
    announce(other, timedate1, {{QStringLiteral("Timezone"), QStringLiteral("Asia/Tokyo")}});
    runFor(600);
    EXPECT_EQ(changes, 0);

    // A new zone, announced twice in a burst (value, then invalidation): one change.
    announce(timedated, timedate1, {{QStringLiteral("Timezone"), QStringLiteral("Asia/Tokyo")}});
    announce(timedated, timedate1, {}, {QStringLiteral("Timezone")});
    EXPECT_TRUE(runUntil([&] { return changes > 0; }));
    runFor(400);
    EXPECT_EQ(changes, 1);
}

TEST_F(TimeZoneWatcherTest, ReplacingTheLocaltimeLinkIsOneChange) {
    TimeZoneWatcher watcher(bus.connect(QStringLiteral("watcher")), etc.path());
    int changes = 0;
    QObject::connect(&watcher, &TimeZoneWatcher::zoneChanged, [&] { ++changes; });
    std::filesystem::create_symlink("/usr/share/zoneinfo/Europe/Berlin", etc / "localtime");
    std::filesystem::remove(etc / "localtime");
    std::filesystem::create_symlink("/usr/share/zoneinfo/Asia/Tokyo", etc / "localtime");
    EXPECT_TRUE(runUntil([&] { return changes > 0; }));
    runFor(400);
    EXPECT_EQ(changes, 1);
}

TEST(TimeZoneWatcher, WithoutABusTheFilesAreStillWatched) {
    testing::TemporaryDirectory etc;
    LogCapture capture;
    TimeZoneWatcher watcher(QDBusConnection(QStringLiteral("never connected")), etc.path());
    EXPECT_FALSE(watcher.watchesTimedated());
    EXPECT_TRUE(watcher.watchesFiles());
    EXPECT_TRUE(capture.contains("TimeZoneWatcher", "no system bus"));
    int changes = 0;
    QObject::connect(&watcher, &TimeZoneWatcher::zoneChanged, [&] { ++changes; });
    std::filesystem::create_symlink("/usr/share/zoneinfo/Asia/Tokyo", etc / "localtime");
    EXPECT_TRUE(runUntil([&] { return changes == 1; }));
}

}  // namespace
}  // namespace ravelong
