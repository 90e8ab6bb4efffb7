#include <gtest/gtest.h>

#include "sync/SECloudFileSystem.h"
#include "sync/SyncStatusDisplay.h"
#include "sync/SyncTexts.h"

namespace ravelong {
namespace {

namespace t = sync_texts;

TEST(ConnectionState, ServiceStatusAndBusyFollowTheHundreds) {
    struct Case {
        std::int64_t value, service;
        bool busy;
    } cases[] = {{0, 0, false},  {2, 0, false},   {100, 1, false}, {101, 1, true},
                 {204, 2, true}, {500, 5, false}, {503, 5, true},  {-101, -1, false}};
    for (const auto& c : cases) {
        ConnectionState s{c.value};
        EXPECT_EQ(s.service(), c.service) << c.value;
        EXPECT_EQ(s.isBusy(), c.busy) << c.value;
    }
    EXPECT_EQ(ConnectionState::of(SyncService::folder, 3).value, 503);
}

TEST(SyncPane, EveryConnectionStateShowsItsRowOfTheTable) {
    struct Case {
        std::int64_t value;
        int chooser;
        const std::string_view* label;  // nullptr: left to the last-sync routine
        std::optional<int> theme;
        bool indeterminate;
        bool forceSync, chooserEnabled;
    } cases[] = {
        {100, 1, nullptr, kThemeConnected, false, true, true},
        {200, 2, nullptr, kThemeConnected, false, true, true},
        {500, 3, nullptr, kThemeConnected, false, true, true},
        {101, 1, &t::kConnected, std::nullopt, false, true, true},
        {203, 2, &t::kConnected, std::nullopt, false, true, true},
        {503, 3, &t::kConnected, std::nullopt, false, true, true},
        {102, 1, &t::kConnecting, kThemeBusy, true, false, true},
        {502, 3, &t::kConnecting, kThemeBusy, true, false, true},
        {104, 1, &t::kNetworkUnavailable, kThemeWarning, false, true, true},
        {204, 2, &t::kNetworkUnavailable, kThemeWarning, false, true, true},
        {2, 0, &t::kDisconnecting, kThemeBusy, true, false, false},
        {0, 0, &t::kNotConnected, kThemeBusy, false, false, true},
        {103, 0, &t::kNotConnected, kThemeBusy, false, false, true},
        {504, 3, &t::kNetworkUnavailable, kThemeWarning, false, true, true},
        {501, 0, &t::kNotConnected, kThemeBusy, false, false, true},
        {201, 0, &t::kNotConnected, kThemeBusy, false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        auto d = displayForConnectionState(c.value);
        EXPECT_EQ(d.chooserItem, c.chooser);
        EXPECT_EQ(d.refreshLastSync, c.label == nullptr);
        if (c.label)
            EXPECT_EQ(d.label, std::string(*c.label));
        else
            EXPECT_FALSE(d.label.has_value());
        EXPECT_EQ(d.theme, c.theme);
        EXPECT_EQ(d.indeterminate, c.indeterminate);
        EXPECT_EQ(d.forceSyncEnabled, c.forceSync);
        EXPECT_EQ(d.chooserEnabled, c.chooserEnabled);
    }
    EXPECT_EQ(displayForConnectionState(0).barValue, 0.0);
    EXPECT_EQ(displayForConnectionState(104).barValue, 1.0);
}

TEST(SyncPane, TheEndOfAnActivityIsClassifiedByItsError) {
    struct Case {
        std::optional<Error> error;
        std::string_view label;
        int theme;
        bool forceSync;
    } cases[] = {
        {std::nullopt, t::kConnected, kThemeConnected, true},
        {Error{"CKErrorDomain", 3}, t::kNetworkUnavailable, kThemeWarning, true},
        {Error{"CKErrorDomain", 4}, t::kNetworkUnavailable, kThemeWarning, true},
        {Error{"NSURLErrorDomain", -1009}, t::kNetworkUnavailable, kThemeWarning, true},
        {Error{"NSURLErrorDomain", -1004}, t::kNetworkUnavailable, kThemeWarning, true},
        {Error{kSEErrorDomain, kSEErrorNoConnection}, t::kNetworkUnavailable, kThemeWarning, true},
        {Error{"NSCocoaErrorDomain", 1560}, t::kResynching, kThemeWarning, false},
        {Error{"NSCocoaErrorDomain", 1570}, t::kResynching, kThemeWarning, false},
        {Error{"CKErrorDomain", 5}, t::kUnableToSync, kThemeBusy, true},
        {Error{"NSURLErrorDomain", -1001}, t::kUnableToSync, kThemeBusy, true},
        {Error{kSEErrorDomain, kSEErrorDamagedFile}, t::kUnableToSync, kThemeBusy, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.label));
        auto d = displayForActivityEnd(c.error);
        EXPECT_EQ(d.label, std::string(c.label));
        EXPECT_EQ(d.theme, c.theme);
        EXPECT_EQ(d.forceSyncEnabled, c.forceSync);
        EXPECT_EQ(d.barValue, 1.0);
        EXPECT_FALSE(d.indeterminate);
    }
}

TEST(SyncPane, ProgressMovesTheBarOnlyForMergesWithAPhaseAndDropboxConnections) {
    auto info = [](std::any activity, std::optional<std::any> fraction, bool phase) {
        UserInfo u{{std::string(t::kSESyncActivityKey), std::move(activity)}};
        if (fraction)
            u[std::string(t::kSEProgressFractionKey)] = *fraction;
        if (phase)
            u[std::string(t::kSEActivityPhaseKey)] = std::string("download");
        return u;
    };
    struct Case {
        const char* what;
        UserInfo userInfo;
        bool dropbox;
        std::optional<SyncProgress> expected;
    } cases[] = {
        {"merge half way", info(300, 0.5, true), false, SyncProgress{0.5, std::nullopt, true}},
        {"merge done", info(std::int64_t{300}, 1.0, true), false,
         SyncProgress{1.0, std::nullopt, false}},
        {"merge without a phase", info(300, 0.5, false), false, std::nullopt},
        {"connecting to dropbox", info(100, 0.25, false), true,
         SyncProgress{0.25, std::string(t::kConnecting), true}},
        {"connecting elsewhere", info(100, 0.25, false), false, std::nullopt},
        {"another activity", info(200, 0.5, true), true, std::nullopt},
        {"no activity", UserInfo{}, true, std::nullopt},
        {"activity of the wrong type", info(std::string("300"), 0.5, true), false, std::nullopt},
        {"fraction above the range", info(300, 7.0, true), false,
         SyncProgress{1.0, std::nullopt, false}},
        {"fraction not a number", info(300, std::string("x"), true), false,
         SyncProgress{0.0, std::nullopt, true}},
        {"fraction missing", info(300, std::nullopt, true), false,
         SyncProgress{0.0, std::nullopt, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(progressForActivity(c.userInfo, c.dropbox), c.expected);
    }
}

TEST(SyncPane, QuitWindowNamesTheService) {
    EXPECT_EQ(terminatingMergeLabel(1), t::kSynchronizingWithICloud);
    EXPECT_EQ(terminatingMergeLabel(2), t::kSynchronizingWithDropbox);
    EXPECT_EQ(terminatingMergeLabel(5), t::kSynchronizing);
    EXPECT_EQ(terminatingMergeLabel(0), t::kSynchronizing);
}

TEST(ClockWarningGate, ShowsTheFirstRequestThenAtMostOnceADay) {
    ClockWarningGate gate;
    const Instant launch = 800'000'000.0;
    EXPECT_TRUE(gate.shouldShow(launch));
    EXPECT_FALSE(gate.shouldShow(launch + 10));
    EXPECT_FALSE(gate.shouldShow(launch + 86400));
    EXPECT_TRUE(gate.shouldShow(launch + 86400.5));
    EXPECT_FALSE(gate.shouldShow(launch + 86401));
}

}  // namespace
}  // namespace ravelong
