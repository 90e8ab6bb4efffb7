#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "foundation/MainLoop.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "sync/SyncStatusDisplay.h"

class QComboBox;
class QFormLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace ravelong {

class DropboxSyncBackend;
class ICloudAccountBox;
class ICloudSyncBackend;
class SyncSetup;

// The Sync pane of the preferences window: the service chooser (none, iCloud, Dropbox and a
// synced folder; a service this build does not offer is listed and cannot be chosen), the
// folder, the iCloud account (ICloudAccountBox), the Dropbox app key and account, the status line
// and bar that follow "ZRConnectionState", "ZRLastSync" and the sync activity, "Sync Now" and the
// help.
//
// Choosing the synced folder (or "Choose...") asks for a folder and connects it through the
// SyncSetup; choosing "None" disconnects. Choosing iCloud connects it once the user has signed in
// (else the message line says what is missing); signing out of iCloud while it is in use leaves
// it. Choosing Dropbox (or "Link...") links the account first when none is: the sign-in page
// opens in the browser, which comes back by itself or leaves a code to paste into the pane.
// "Unlink" leaves Dropbox and removes the tokens. What cannot be done is explained in the pane's
// message line and changes nothing. Notifications may arrive on any thread; the pane changes
// only on the main thread. Main thread; the services must outlive the pane.
class SyncPane final : public QWidget {
    Q_OBJECT

public:
    struct Services {
        UserDefaults& standardDefaults;  // "ZRConnectionState", the folder
        UserDefaults& groupDefaults;     // "ZRLastSync"
        NotificationCenter& notifications;
        MainLoop& loop;  // the 6-second timer of a stalled phase
        // nullptr: the state is shown and cannot be changed.
        SyncSetup* setup = nullptr;
        // Asks for a folder, starting in `current`; "" when cancelled. Empty: a folder dialog.
        std::function<QString(const QString& current)> askForFolder;
        // Opens a page in the user's browser; false when it could not. Empty: QDesktopServices.
        std::function<bool(const QString& url)> openBrowser;
    };

    explicit SyncPane(Services services, QWidget* parent = nullptr);
    ~SyncPane() override;

    // Shows the stored state again (connectionStateChanged).
    void refresh();

    // What the pane shows, for tests.
    int chooserItem() const;
    QString statusText() const;
    QString folderText() const;
    QString message() const;
    double barValue() const;  // -1 while indeterminate
    bool isIndeterminate() const;
    int theme() const { return theme_; }
    bool forceSyncEnabled() const;
    bool chooserEnabled() const;
    bool stallTimerPending() const { return stallTimer_ != 0; }
    QString dropboxAccountText() const;
    bool dropboxLinkVisible() const;  // "Link..." (else "Unlink")
    bool dropboxCodeVisible() const;  // the pasted-code row of a sign-in
    bool chooserItemEnabled(int item) const;
    bool folderRowVisible() const;  // the synced folder and "Choose..."

    // The controls' actions, as a click reaches them.
    void syncMethodChanged(int item);
    void chooseFolder();
    void chooseService(SyncService service);
    void forceSync();
    void getHelp();
    void linkDropbox();
    void useDropboxCode(const QString& pasted);
    void cancelDropboxLink();
    void unlinkDropbox();

private:
    void connectionStateChanged();
    void lastSyncChanged(bool force);
    void apply(const SyncPaneDisplay& display);
    void mergeMadeProgress(const UserInfo& userInfo);
    void activityBegan();
    void activityEnded(const std::optional<Error>& error);
    void setBar(double value);
    void setIndeterminate(bool on);
    void stopStallTimer();
    void setTheme(int theme);
    void showMessage(const QString& text);
    void connectFolder(const QString& folder);
    void chooseDropbox();
    void dropboxLinkEnded(Status status);
    void showDropbox();
    // Answers an asynchronous choice of the SyncSetup: its error in the message line.
    std::function<void(Status)> choiceDone();
    DropboxSyncBackend* dropbox() const;
    ICloudSyncBackend* icloudBackend() const;
    void icloudAccountChanged();
    // Runs `work` on the pane's thread, at once when called there, dropped once the pane is gone.
    void onMainThread(std::function<void()> work);

    Services services_;
    std::vector<UserDefaults::ObserverId> standardObservers_;
    std::vector<UserDefaults::ObserverId> groupObservers_;
    std::vector<NotificationCenter::ObserverId> notificationObservers_;
    MainLoop::TimerId stallTimer_ = 0;
    double lastShownSync_ = 0.0;
    int theme_ = kThemeBusy;

    QComboBox* service_;
    QFormLayout* form_;
    QHBoxLayout* folderRow_;
    QLabel* folder_;
    QPushButton* chooseFolder_;
    QLabel* status_;
    QProgressBar* bar_;
    QPushButton* syncNow_;
    QPushButton* help_;
    QLabel* lastSync_;
    QLabel* message_;
    QLineEdit* appKey_;
    QPushButton* link_;
    QPushButton* unlink_;
    QLabel* account_;
    QWidget* codeRow_;
    QLineEdit* code_;
    QPushButton* useCode_;
    QPushButton* cancelLink_;
    ICloudAccountBox* icloud_ = nullptr;
};

}  // namespace ravelong
