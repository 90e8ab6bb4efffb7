#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "foundation/Error.h"
#include "foundation/Instant.h"
#include "foundation/NotificationCenter.h"

namespace ravelong {

// "ZRConnectionState" = service x 100 + status; 0 is no service, 2 is disconnecting.
enum class SyncService : int { none = 0, iCloud = 1, dropbox = 2, folder = 5 };

struct ConnectionState {
    std::int64_t value = 0;

    std::int64_t service() const { return value / 100; }  // truncates toward zero
    std::int64_t status() const { return value % 100; }
    // Busy (a merge or connection under way) is any value with a service that is not a whole
    // multiple of 100; the wake-from-sleep check waits while it holds.
    bool isBusy() const { return service() > 0 && value % 100 != 0; }
    static ConnectionState of(SyncService service, int status) {
        return {static_cast<std::int64_t>(service) * 100 + status};
    }
};

// Items of the service chooser.
inline constexpr int kChooserNone = 0, kChooserICloud = 1, kChooserDropbox = 2, kChooserFolder = 3;

// Themes of the progress bar.
inline constexpr int kThemeConnected = 2, kThemeBusy = 3, kThemeWarning = 6;

// What the synchronisation pane shows: each field that is set is applied, the others are left as
// they are. `refreshLastSync` asks for the last-sync routine to write the label.
struct SyncPaneDisplay {
    std::optional<int> chooserItem;
    std::optional<std::string> label;
    std::optional<double> barValue;
    std::optional<int> theme;
    bool indeterminate = false;  // animating when true; the pending indeterminate timer is stopped
    std::optional<bool> forceSyncEnabled;
    std::optional<bool> chooserEnabled;
    bool refreshLastSync = false;

    bool operator==(const SyncPaneDisplay&) const = default;
};

int chooserItemForService(std::int64_t service);

// The pane for a value of "ZRConnectionState".
SyncPaneDisplay displayForConnectionState(std::int64_t value);

// The pane at the end of a sync activity, from the error that ended it (none on success).
SyncPaneDisplay displayForActivityEnd(const std::optional<Error>& error);

// Activity codes of the engine's progress notification that the pane shows.
inline constexpr int kActivityConnecting = 100, kActivityMerging = 300;

// What one progress notification of the engine does to the pane's bar.
struct SyncProgress {
    double fraction = 0.0;             // 0.0 ... 1.0
    std::optional<std::string> label;  // set while connecting to Dropbox
    // Below 1.0 a stalled phase turns the bar indeterminate after kStallSeconds.
    bool startStallTimer = false;
    bool operator==(const SyncProgress&) const = default;
};
inline constexpr double kStallSeconds = 6.0;

// The bar's change for a progress notification's user info, or nullopt when the pane ignores
// it: a merge (300) without a phase, a connection (100) unless Dropbox is the chosen service,
// any other activity, or no activity at all. Numbers may arrive as any arithmetic type.
std::optional<SyncProgress> progressForActivity(const UserInfo& userInfo, bool dropboxSelected);

// The number under `key` of a notification's user info, whatever arithmetic type it was put in
// as; nullopt when absent or not a number.
std::optional<double> numberIn(const UserInfo& userInfo, const std::string& key);

// The label of the finishing-sync window shown at quit, by service.
std::string terminatingMergeLabel(std::int64_t service);

// Shows the warning about clocks that disagree at most once a day: the first request after
// launch shows it.
class ClockWarningGate {
public:
    // True when the warning is to be shown now (and remembers now).
    bool shouldShow(Instant now);

private:
    Instant lastShown_ = 0.0;  // the reference date
};

}  // namespace ravelong
