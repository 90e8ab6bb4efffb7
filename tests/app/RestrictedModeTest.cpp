#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "app/AppController.h"
#include "app/AppDelegate.h"
#include "app/CalendarIdentifier.h"
#include "app/SavePathTexts.h"
#include "support/VirtualMainLoop.h"
#include "tests/app/LaunchHarness.h"

namespace ravelong {
namespace {

using ::testing::Contains;
using ::testing::Not;

const std::string kShowWindow = "showRestrictedModeWindow ";

class RestrictedMode : public ::testing::Test, protected app_testing::LaunchHarness {
protected:
    RestrictedMode() { delegate = std::make_unique<AppDelegate>(shell, options()); }

    AppController& controller() { return delegate->appController(); }
};

TEST_F(RestrictedMode, AnotherCalendarClosesTheMainWindowAndExplainsHalfASecondLater) {
    delegate->openMainWindow();
    ASSERT_TRUE(delegate->mainWindowIsOpen());
    shell.calls.clear();

    ScopedCalendarIdentifier buddhist("buddhist");
    controller().handleGregorianAlertWithMode(0);
    EXPECT_TRUE(delegate->codds());
    EXPECT_FALSE(delegate->mainWindowIsOpen());
    EXPECT_EQ(shell.count("closeMainWindow"), 1);

    loop.advance(0.49);
    EXPECT_EQ(shell.count(kShowWindow), 0);
    loop.advance(0.01);
    EXPECT_THAT(shell.calls, Contains(kShowWindow + std::string(kRestrictedModeText)));
    EXPECT_EQ(shell.count("activate"), 1);

    // While restricted, the main window stays shut.
    delegate->openMainWindow();
    EXPECT_FALSE(shell.mainWindowOpen);
    EXPECT_EQ(shell.sound.played().size(), 1u);

    // A second notice changes nothing while the mode is on.
    controller().handleGregorianAlertWithMode(1);
    loop.advance(1.0);
    EXPECT_EQ(shell.count(kShowWindow), 1);
}

TEST_F(RestrictedMode, ALocaleChangeWhileRunningSaysSwitchBack) {
    ScopedCalendarIdentifier japanese("japanese");
    controller().handleGregorianAlertWithMode(1);
    loop.advance(0.5);
    EXPECT_THAT(shell.calls, Contains(kShowWindow + std::string(kRestrictedModeAgainText)));
    EXPECT_EQ(shell.count("closeMainWindow"), 0);  // it was not open
}

TEST_F(RestrictedMode, BackToGregorianLeavesTheMode) {
    {
        ScopedCalendarIdentifier buddhist("buddhist");
        controller().handleGregorianAlertWithMode(0);
        loop.advance(0.5);
    }
    controller().handleGregorianAlertWithMode(1);
    EXPECT_FALSE(delegate->codds());
    EXPECT_EQ(shell.count("closeRestrictedModeWindow"), 1);

    delegate->openMainWindow();
    EXPECT_TRUE(shell.mainWindowOpen);
}

TEST_F(RestrictedMode, AnExplanationStillToComeIsDroppedWhenTheModeEndsFirst) {
    {
        ScopedCalendarIdentifier buddhist("buddhist");
        controller().handleGregorianAlertWithMode(0);
    }
    loop.advance(0.2);
    controller().handleGregorianAlertWithMode(1);
    loop.advance(5.0);
    EXPECT_EQ(shell.count(kShowWindow), 0);
    EXPECT_FALSE(delegate->codds());
}

TEST_F(RestrictedMode, AGregorianCalendarChangesNothing) {
    controller().handleGregorianAlertWithMode(0);
    controller().handleGregorianAlertWithMode(1);
    loop.advance(1.0);
    EXPECT_FALSE(delegate->codds());
    EXPECT_THAT(shell.calls, Not(Contains(::testing::StartsWith("closeRestrictedModeWindow"))));
    EXPECT_EQ(shell.count(kShowWindow), 0);
}

TEST_F(RestrictedMode, AnExplanationStillToComeIsDroppedWithTheDelegate) {
    ScopedCalendarIdentifier buddhist("buddhist");
    controller().handleGregorianAlertWithMode(0);
    delegate.reset();
    loop.advance(1.0);
    EXPECT_EQ(shell.count(kShowWindow), 0);
}

}  // namespace
}  // namespace ravelong
