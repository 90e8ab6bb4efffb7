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
        {504, 0, &t::kNotConnected, kThemeBusy, false, false, true},
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
