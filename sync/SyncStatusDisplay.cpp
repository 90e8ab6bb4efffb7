#include "sync/SyncStatusDisplay.h"

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
