#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "foundation/Log.h"

namespace ravelong {
namespace {

TEST(Log, CaptureCollectsLinesWithLevelOperationAndMessage) {
    LogCapture capture;
    logError("save settings", "disk full");
    logWarning("sync", "offline");
    logInfo("launch", "ready");
    const std::vector<LogRecord> records = capture.records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].level, LogLevel::error);
    EXPECT_EQ(records[0].line(), "ravelong: save settings: disk full");
    EXPECT_EQ(records[1].level, LogLevel::warning);
    EXPECT_EQ(records[2].line(), "ravelong: launch: ready");
    EXPECT_TRUE(capture.contains("sync"));
    EXPECT_TRUE(capture.contains("save settings", "full"));
    EXPECT_TRUE(capture.contains(LogLevel::info, "launch"));
    EXPECT_FALSE(capture.contains(LogLevel::error, "launch"));
    EXPECT_FALSE(capture.contains("save settings", "empty"));
    capture.clear();
    EXPECT_EQ(capture.count(), 0u);
}

TEST(Log, ACaptureKeepsLinesOffStderrUnlessItPassesThemThrough) {
    ::testing::internal::CaptureStderr();
    {
        LogCapture silent;
        logError("quiet", "not printed");
    }
    {
        LogCapture capture(LogCapture::Output::passThrough);
        logWarning("loud", "printed");
        EXPECT_EQ(capture.count(), 1u);
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "ravelong: loud: printed\n");
}

TEST(Log, NestedCapturesEachSeeTheLinesLoggedWhileTheyLive) {
    LogCapture outer;
    logInfo("a", "1");
    {
        LogCapture inner;
        logInfo("b", "2");
        EXPECT_EQ(inner.count(), 1u);
    }
    logInfo("c", "3");
    EXPECT_EQ(outer.count(), 3u);
}

TEST(Log, LinesFromManyThreadsAreAllCaptured) {
    LogCapture capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 250; ++i) {
                logInfo("worker", std::to_string(i));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(capture.count(), 1000u);
}

}  // namespace
}  // namespace ravelong
