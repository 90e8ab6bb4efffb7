#include "sync/SyncStatusDisplay.h"

#include <algorithm>
#include <cmath>

#include "sync/SECloudFileSystem.h"
#include "sync/SyncTexts.h"

namespace ravelong {

namespace t = sync_texts;

int chooserItemForService(std::int64_t service) {
    switch (service) {
        case 1:
            return kChooserICloud;
        case 5:
            return kChooserFolder;
        case 2:
            return kChooserDropbox;
        default:
            return kChooserNone;
    }
}

SyncPaneDisplay displayForConnectionState(std::int64_t value) {
    SyncPaneDisplay d;
    d.chooserItem = chooserItemForService(value / 100);
    switch (value) {
        case 100:
        case 200:
        case 500:
            d.refreshLastSync = true;
            d.barValue = 1.0;
            d.theme = kThemeConnected;
            d.forceSyncEnabled = true;
            d.chooserEnabled = true;
            break;
        case 101:
        case 203:
        case 503:
            d.label = std::string(t::kConnected);
            d.forceSyncEnabled = true;
            d.chooserEnabled = true;
            break;
        case 102:
        case 202:
        case 502:
            d.label = std::string(t::kConnecting);
            d.theme = kThemeBusy;
            d.barValue = 1.0;
            d.indeterminate = true;
            d.forceSyncEnabled = false;
            d.chooserEnabled = true;
            break;
        case 104:
        case 204:
        // The synced folder on a network share that is not reachable: the same outage, and the
        // folder stays chosen (shown as "Not connected" it would read as a lost set-up).
        case 504:
            d.label = std::string(t::kNetworkUnavailable);
            d.barValue = 1.0;
            d.theme = kThemeWarning;
            d.forceSyncEnabled = true;
            d.chooserEnabled = true;
            break;
        case 2:
            d.label = std::string(t::kDisconnecting);
            d.theme = kThemeBusy;
            d.barValue = 1.0;
            d.indeterminate = true;
            d.forceSyncEnabled = false;
            d.chooserEnabled = false;
            break;
        default:
            d.label = std::string(t::kNotConnected);
            d.chooserItem = kChooserNone;
            d.barValue = 0.0;
            d.theme = kThemeBusy;
            d.forceSyncEnabled = false;
            d.chooserEnabled = true;
            break;
    }
    return d;
}

SyncPaneDisplay displayForActivityEnd(const std::optional<Error>& error) {
    SyncPaneDisplay d;
    d.barValue = 1.0;
    if (!error) {
        d.theme = kThemeConnected;
        d.label = std::string(t::kConnected);
        d.forceSyncEnabled = true;
        return d;
    }
    const bool network =
        (error->domain == "CKErrorDomain" && (error->code == 3 || error->code == 4)) ||
        (error->domain == "NSURLErrorDomain" && (error->code == -1009 || error->code == -1004)) ||
        // Our back-ends' own "service not reachable" (an unmounted folder).
        (error->domain == kSEErrorDomain && error->code == kSEErrorNoConnection);
    const bool validation =
        error->domain == "NSCocoaErrorDomain" && (error->code == 1560 || error->code == 1570);
    if (network) {
        d.theme = kThemeWarning;
        d.label = std::string(t::kNetworkUnavailable);
        d.forceSyncEnabled = true;
    } else if (validation) {
        d.theme = kThemeWarning;
        d.label = std::string(t::kResynching);
        d.forceSyncEnabled = false;
    } else {
        d.theme = kThemeBusy;
        d.label = std::string(t::kUnableToSync);
        d.forceSyncEnabled = true;
    }
    return d;
}

std::optional<SyncProgress> progressForActivity(const UserInfo& userInfo, bool dropboxSelected) {
    const auto activity = numberIn(userInfo, std::string(t::kSESyncActivityKey));
    if (!activity)
        return std::nullopt;
    SyncProgress progress;
    if (*activity == kActivityMerging) {
        if (!userInfo.contains(std::string(t::kSEActivityPhaseKey)))
            return std::nullopt;
    } else if (*activity == kActivityConnecting) {
        if (!dropboxSelected)
            return std::nullopt;
        progress.label = std::string(t::kConnecting);
    } else {
        return std::nullopt;
    }
    // A missing or unreadable fraction reads as no progress yet; a value out of range is held
    // to the bar's range.
    const double fraction =
        numberIn(userInfo, std::string(t::kSEProgressFractionKey)).value_or(0.0);
    progress.fraction = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    progress.startStallTimer = progress.fraction < 1.0;
    return progress;
}

std::optional<double> numberIn(const UserInfo& userInfo, const std::string& key) {
    const auto found = userInfo.find(key);
    if (found == userInfo.end())
        return std::nullopt;
    const std::any& value = found->second;
    if (const auto* d = std::any_cast<double>(&value))
        return *d;
    if (const auto* f = std::any_cast<float>(&value))
        return *f;
    if (const auto* i = std::any_cast<int>(&value))
        return *i;
    if (const auto* l = std::any_cast<std::int64_t>(&value))
        return static_cast<double>(*l);
    if (const auto* u = std::any_cast<std::uint64_t>(&value))
        return static_cast<double>(*u);
    return std::nullopt;
}

std::string terminatingMergeLabel(std::int64_t service) {
    if (service == 1)
        return std::string(t::kSynchronizingWithICloud);
    if (service == 2)
        return std::string(t::kSynchronizingWithDropbox);
    return std::string(t::kSynchronizing);
}

bool ClockWarningGate::shouldShow(Instant now) {
    if (now - lastShown_ <= 86400.0)
        return false;
    lastShown_ = now;
    return true;
}

}  // namespace ravelong
