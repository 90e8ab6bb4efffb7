#include <gtest/gtest.h>

#include "platform/SessionAutostart.h"

namespace ravelong {
namespace {

using session_autostart::startedBySessionAutostart;

TEST(SessionAutostart, TheSessionManagersMarksCount) {
    // gnome-session and xfce4-session hand their autostart programs an id.
    EXPECT_TRUE(startedBySessionAutostart("10d2a0b7e1f", "0::/user.slice/session-2.scope\n"));
    // systemd's autostart generator runs the entry in its own unit.
    EXPECT_TRUE(
        startedBySessionAutostart(nullptr,
                                  "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                                  "app-ravelong@autostart.service\n"));
}

TEST(SessionAutostart, AStartByTheUserIsNotAnAutostart) {
    EXPECT_FALSE(startedBySessionAutostart(nullptr, ""));
    EXPECT_FALSE(startedBySessionAutostart("",
                                           "0::/user.slice/user-1000.slice/user@1000.service/"
                                           "app.slice/app-gnome-ravelong-4242.scope\n"));
}

}  // namespace
}  // namespace ravelong
