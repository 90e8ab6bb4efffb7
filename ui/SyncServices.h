#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

#include "sync/SyncAlerts.h"
#include "sync/SyncSetup.h"

namespace ravelong {

class DBSecretStore;
class FinishingSyncWindow;
class SyncAlertWindow;

// Synchronisation in the running program: the SyncSetup with its driver and the services it
// offers (a synced folder; Dropbox, its sign-in kept in the Secret Service), and what connects it
// to the rest: the sync indicator (through the application delegate), a merge shortly after
// every save that wrote changes, the network's state from NetworkManager (QNetworkInformation;
// without a backend the network counts as there), the window that warns about clocks that
// differ, the questions of the engine (SyncAlerts) and the window shown at quit while the last
// merge finishes. It offers iCloud beside the synced folder, its sign-in token kept in the
// Secret Service and its sign-in page opened in the user's browser. Main thread only.
class SyncServices final : public QObject, public SyncAlerts {
    Q_OBJECT

public:
    struct Options {
        // The sync indicator (the application delegate's setSyncStateTo).
        std::function<void(std::int32_t state, bool animate)> setSyncState;
        MainLoop& loop;
        const Clock& clock;
        NotificationCenter& notifications;
        UserDefaults& standardDefaults;
        UserDefaults& groupDefaults;
        // The one place that makes the merge engine for a back-end.
        SyncSetup::MergerFactory makeMerger;
        // Closes the panel and the main window before the quit-time wait.
        std::function<void()> closeWindows;
        // Follow NetworkManager (false in tests, which call networkReachabilityChanged).
        bool followNetwork = true;
        // Where the Dropbox sign-in is kept; nullptr: the desktop's Secret Service.
        DBSecretStore* dropboxSecrets = nullptr;
    };

    explicit SyncServices(Options options);
    ~SyncServices() override;

    SyncSetup& setup() { return *setup_; }

    // Makes the driver for the stored choice and starts following saves and the network.
    void start();

    // For quit: `finished` runs once no merge runs. While one does, the panel and the main
    // window close and the finishing window shows its progress.
    void waitForTerminatingMerge(std::function<void()> finished);

    void networkReachabilityChanged(bool reachable);
    void showSystemTimesNotSynchronousAlert();
    void closeSynchronousAlertWindow();

    FinishingSyncWindow* finishingWindow() const;
    SyncAlertWindow* clockWindow() const;

    // --- SyncAlerts ---
    ConflictAnswer askMergeConflict(const std::string& message) override;
    int askCloudDataAvailable() override;
    int askReleech() override;
    void showAlert(const std::string& message, const std::string& additionalMessage) override;

private:
    void followNetwork();

    Options options_;
    std::unique_ptr<DBSecretStore> ownSecrets_;
    // The iCloud sign-in's token; declared before the SyncSetup, whose back-end keeps it.
    std::unique_ptr<DBSecretStore> icloudToken_;
    std::unique_ptr<SyncSetup> setup_;
    NotificationCenter::ObserverId savedObserver_ = 0;
    NotificationCenter::ObserverId progressObserver_ = 0;
    NotificationCenter::ObserverId activityObserver_ = 0;
    QPointer<FinishingSyncWindow> finishing_;
    QPointer<SyncAlertWindow> clockWindow_;
};

}  // namespace ravelong
