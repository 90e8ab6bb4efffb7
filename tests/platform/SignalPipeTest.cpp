#include <gtest/gtest.h>
#include <poll.h>

#include <csignal>

#include "platform/SignalPipe.h"

namespace ravelong {
namespace {

bool readable(int fd) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, 0) == 1 && (entry.revents & POLLIN);
}

TEST(SignalPipe, CaughtSignalsArriveOnThePipeInOrder) {
    SignalPipe pipe({SIGUSR1, SIGUSR2});
    ASSERT_TRUE(pipe.isValid());
    EXPECT_FALSE(readable(pipe.readFd()));

    ASSERT_EQ(::raise(SIGUSR2), 0);
    ASSERT_EQ(::raise(SIGUSR1), 0);
    ASSERT_EQ(::raise(SIGUSR2), 0);

    EXPECT_TRUE(readable(pipe.readFd()));
    EXPECT_EQ(pipe.takeSignals(), (std::vector<int>{SIGUSR2, SIGUSR1, SIGUSR2}));
    EXPECT_FALSE(readable(pipe.readFd()));
    EXPECT_TRUE(pipe.takeSignals().empty());
}

TEST(SignalPipe, TheHandlersBeforeItComeBackWhenItGoes) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction before {};
    ASSERT_EQ(::sigaction(SIGUSR1, &ignore, &before), 0);
    {
        SignalPipe pipe({SIGUSR1});
        ASSERT_TRUE(pipe.isValid());
        struct sigaction during {};
        ::sigaction(SIGUSR1, nullptr, &during);
        EXPECT_NE(during.sa_handler, SIG_IGN);
    }
    struct sigaction after {};
    ::sigaction(SIGUSR1, nullptr, &after);
    EXPECT_EQ(after.sa_handler, SIG_IGN);
    ::sigaction(SIGUSR1, &before, nullptr);
}

TEST(SignalPipe, OnlyOneAtATime) {
    SignalPipe first({SIGUSR1});
    ASSERT_TRUE(first.isValid());
    SignalPipe second({SIGUSR2});
    EXPECT_FALSE(second.isValid());
    // The first still works.
    ASSERT_EQ(::raise(SIGUSR1), 0);
    EXPECT_EQ(first.takeSignals(), std::vector<int>{SIGUSR1});
}

}  // namespace
}  // namespace ravelong
