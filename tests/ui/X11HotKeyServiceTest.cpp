#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include "UiTestSupport.h"
#include "platform/XScreenSaverIdleTime.h"
#include "ui/X11HotKeyService.h"

namespace ravelong {
namespace {

using ui_testing::runFor;
using ui_testing::runUntil;
using Combination = HotKeyCombination;

// An X server of the test's own (Xvfb on a free display number) for the test's lifetime.
class PrivateXServer {
public:
    PrivateXServer() {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
            return;
        server_.start(QStringLiteral("Xvfb"),
                      {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                       QStringLiteral("0"), QStringLiteral("640x480x24"),
                       QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!server_.waitForStarted(5000) || !server_.waitForReadyRead(10000))
            return;
        display_ = QStringLiteral(":") + QString::fromUtf8(server_.readLine()).trimmed();
    }
    ~PrivateXServer() {
        server_.kill();
        server_.waitForFinished(5000);
    }
    bool isUp() const { return display_.size() > 1; }
    const QString& display() const { return display_; }

    // Types a key combination ("ctrl+alt+t") on this server.
    bool type(const QString& keys) const {
        QProcess xdotool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), display_);
        xdotool.setProcessEnvironment(environment);
        xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("key"), keys});
        return xdotool.waitForFinished(5000) && xdotool.exitCode() == 0;
    }

private:
    QProcess server_;
    QString display_;
};

class X11HotKeyServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.isUp())
            GTEST_SKIP() << "Xvfb is not available";
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            GTEST_SKIP() << "xdotool is not installed";
    }
    PrivateXServer server;
};

// The grab works whatever the lock keys are, and only for its own modifiers.
TEST_F(X11HotKeyServiceTest, PressesReachTheActionWithAnyLockStateAndOnlyForTheirCombination) {
    X11HotKeyService service(server.display().toStdString());
    ASSERT_TRUE(service.isAvailable());
    std::vector<std::string> pressed;
    service.setActivationHandler(
        [&](const std::string& identifier) { pressed.push_back(identifier); });
    ASSERT_TRUE(service
                    .registerHotKey("ToggleTimer",
                                    Combination{0x74, Combination::kControl | Combination::kAlt})
                    .ok());
    ASSERT_TRUE(service.registerHotKey("AddNote", Combination{0xffc2, Combination::kSuper}).ok());

    struct Case {
        const char* keys;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"ctrl+alt+t", {"ToggleTimer"}},
        {"super+F5", {"AddNote"}},
        {"ctrl+t", {}},
        {"ctrl+alt+shift+t", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        pressed.clear();
        ASSERT_TRUE(server.type(QString::fromUtf8(c.keys)));
        if (c.expected.empty())
            runFor(200);
        else
            runUntil([&] { return !pressed.empty(); }, 3000);
        EXPECT_EQ(pressed, c.expected);
    }
    // With Num Lock on, the same combination still arrives.
    ASSERT_TRUE(server.type(QStringLiteral("Num_Lock")));
    pressed.clear();
    ASSERT_TRUE(server.type(QStringLiteral("ctrl+alt+t")));
    runUntil([&] { return !pressed.empty(); }, 3000);
    EXPECT_EQ(pressed, std::vector<std::string>{"ToggleTimer"});

    // Unregistered: the combination does nothing any more.
    service.unregisterHotKey("ToggleTimer");
    pressed.clear();
    ASSERT_TRUE(server.type(QStringLiteral("ctrl+alt+t")));
    runFor(200);
    EXPECT_TRUE(pressed.empty());
}

TEST_F(X11HotKeyServiceTest, ACombinationAnotherClientHoldsIsRefused) {
    X11HotKeyService other(server.display().toStdString());
    X11HotKeyService ours(server.display().toStdString());
    const Combination taken{0x6e, Combination::kControl | Combination::kAlt};
    ASSERT_TRUE(other.registerHotKey("Theirs", taken).ok());
    EXPECT_TRUE(ours.isTakenByAnotherClient(taken));
    const Status refused = ours.registerHotKey("AddNote", taken);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().code, 2);
    // A free one is not reported taken, and the check leaves nothing grabbed behind.
    const Combination free{0x6d, Combination::kControl | Combination::kAlt};
    EXPECT_FALSE(ours.isTakenByAnotherClient(free));
    EXPECT_TRUE(other.registerHotKey("Free", free).ok());
    // Once the other client lets go, ours can take it.
    other.unregisterHotKey("Theirs");
    EXPECT_TRUE(ours.registerHotKey("AddNote", taken).ok());
}

// The server's idle time grows while nothing happens and starts again at a key press.
TEST_F(X11HotKeyServiceTest, ScreenSaverIdleTimeFollowsInput) {
    auto idle = XScreenSaverIdleTime::open(server.display().toStdString());
    ASSERT_NE(idle, nullptr);
    runFor(1200);
    const std::optional<double> quiet = idle->idleSeconds();
    ASSERT_TRUE(quiet.has_value());
    EXPECT_GE(*quiet, 1.0);
    ASSERT_TRUE(server.type(QStringLiteral("shift")));
    const std::optional<double> busy = idle->idleSeconds();
    ASSERT_TRUE(busy.has_value());
    EXPECT_LT(*busy, *quiet);
    EXPECT_LT(*busy, 1.0);
    EXPECT_EQ(XScreenSaverIdleTime::open(":999"), nullptr);  // no such display
}

}  // namespace
}  // namespace ravelong
