#include "ui/SyncServices.h"

#include <QDesktopServices>
#include <QNetworkInformation>
#include <QUrl>

#include "app/SavePathTexts.h"
#include "foundation/Log.h"
#include "platform/NetworkFolder.h"
#include "platform/SecretServiceStore.h"
#include "sync/SyncTexts.h"
#include "sync/cloudkit/ICloudSyncBackend.h"
#include "sync/dropbox/DropboxSyncBackend.h"
#include "ui/CloudDataAvailableWindow.h"
#include "ui/FinishingSyncWindow.h"
#include "ui/MilestoneReport.h"
#include "ui/QtText.h"
#include "ui/ReleechWindow.h"
#include "ui/SyncAlertWindow.h"
#include "ui/SyncMergeConflictWindow.h"
#include "ui/WindowPlacement.h"

namespace ravelong {

namespace t = sync_texts;

SyncServices::SyncServices(Options options) : options_(std::move(options)) {
    ZRPersistentStoreSyncDelegate::Services driver{
        options_.loop,
        options_.clock,
        options_.notifications,
        options_.standardDefaults,
        options_.groupDefaults,
        options_.setSyncState,
        [this] { showSystemTimesNotSynchronousAlert(); }};
    driver.alerts = this;
    setup_ = std::make_unique<SyncSetup>(
        SyncSetup::Services{driver, options_.makeMerger, [](const std::filesystem::path& folder) {
                                return network_folder::isOnNetworkFileSystem(folder);
                            }});
    DBSecretStore* secrets = options_.dropboxSecrets;
    if (!secrets) {
        ownSecrets_ = std::make_unique<SecretServiceStore>(SecretServiceStore::dropboxServiceName(),
                                                           "Ravelong: Dropbox account");
        secrets = ownSecrets_.get();
    }
    setup_->addBackend(std::make_unique<DropboxSyncBackend>(
        DropboxSyncBackend::Services{options_.loop, options_.standardDefaults, *secrets}));
    icloudToken_ = std::make_unique<SecretServiceStore>(SecretServiceStore::iCloudServiceName(),
                                                        "Ravelong: iCloud");
    setup_->addBackend(std::make_unique<ICloudSyncBackend>(ICloudSyncBackend::Services{
        options_.loop, options_.standardDefaults, *icloudToken_, [](const std::string& url) {
            return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
        }}));
}

SyncServices::~SyncServices() {
    if (savedObserver_ != 0)
        options_.notifications.removeObserver(savedObserver_);
    if (activityObserver_ != 0)
        options_.notifications.removeObserver(activityObserver_);
    if (progressObserver_ != 0)
        options_.notifications.removeObserver(progressObserver_);
    delete finishing_;
    delete clockWindow_;
    setup_.reset();
}

void SyncServices::start() {
    // For the end-to-end tests: what each sync came to.
    activityObserver_ = options_.notifications.addObserver(
        std::string(t::kZRSyncActivityDidEnd), nullptr, [](const Notification& n) {
            const Error* error = n.value<Error>(std::string(t::kErrorKey));
            milestone_report::line(
                "sync-ended",
                error ? error->domain + " " + std::to_string(error->code) : std::string("ok"));
        });
    setup_->start();
    savedObserver_ = options_.notifications.addObserver(
        std::string(kRavelongChangesSaved), nullptr,
        [this](const Notification&) { setup_->localChangesSaved(); });
    if (options_.followNetwork)
        followNetwork();
}

void SyncServices::followNetwork() {
    using Feature = QNetworkInformation::Feature;
    if (!QNetworkInformation::loadBackendByFeatures(Feature::Reachability)) {
        logInfo("SyncServices", "no network information backend: the network counts as there");
        return;
    }
    QNetworkInformation* info = QNetworkInformation::instance();
    auto reachable = [](QNetworkInformation::Reachability r) {
        // A local network is enough for a share on it; only a machine with no network at all
        // is offline. Unknown is taken as there, so a missing answer never stops syncing.
        return r != QNetworkInformation::Reachability::Disconnected;
    };
    connect(info, &QNetworkInformation::reachabilityChanged, this,
            [this, reachable](QNetworkInformation::Reachability r) {
                networkReachabilityChanged(reachable(r));
            });
    networkReachabilityChanged(reachable(info->reachability()));
}

void SyncServices::networkReachabilityChanged(bool reachable) {
    setup_->setNetworkReachable(reachable);
}

void SyncServices::waitForTerminatingMerge(std::function<void()> finished) {
    ZRPersistentStoreSyncDelegate* driver = setup_->driver();
    if (!driver || driver->activeMergeCount() == 0) {
        setup_->waitForTerminatingMerge(std::move(finished));
        return;
    }
    if (options_.closeWindows)
        options_.closeWindows();
    const std::int64_t service =
        options_.standardDefaults.integerForKey(t::kZRConnectionState, 0) / 100;
    finishing_ = new FinishingSyncWindow(service);
    finishing_->present();
    progressObserver_ = options_.notifications.addObserver(
        std::string(t::kSEPersistentStoreSyncDidMakeProgressWithActivityNotification), nullptr,
        [this](const Notification& n) {
            const auto fraction = numberIn(n.userInfo, std::string(t::kSEProgressFractionKey));
            if (!fraction)
                return;
            QMetaObject::invokeMethod(this, [this, value = *fraction] {
                if (finishing_)
                    finishing_->mergeMadeProgress(value);
            });
        });
    setup_->waitForTerminatingMerge([this, finished = std::move(finished)] {
        options_.notifications.removeObserver(progressObserver_);
        progressObserver_ = 0;
        if (finishing_)
            finishing_->close();
        delete finishing_;
        finished();
    });
}

void SyncServices::showSystemTimesNotSynchronousAlert() {
    if (!clockWindow_) {
        clockWindow_ = new SyncAlertWindow(qt(t::kClocksMessage), qt(t::kClocksInformative));
        clockWindow_->setObjectName(QStringLiteral("clocksDifferWindow"));
        clockWindow_->setWindowTitle(qt(t::kClocksTitle));
        clockWindow_->setAttribute(Qt::WA_DeleteOnClose);
        clockWindow_->setModal(false);
    }
    presentCentred(*clockWindow_, false);
}

void SyncServices::closeSynchronousAlertWindow() {
    if (clockWindow_)
        clockWindow_->close();
}

FinishingSyncWindow* SyncServices::finishingWindow() const {
    return finishing_;
}

SyncAlertWindow* SyncServices::clockWindow() const {
    return clockWindow_;
}

SyncAlerts::ConflictAnswer SyncServices::askMergeConflict(const std::string& message) {
    SyncMergeConflictWindow window;
    window.setConflictMessage(qt(message));
    ConflictAnswer answer;
    answer.code = window.ask();
    answer.applyToAll = window.applyToAll();
    return answer;
}

int SyncServices::askCloudDataAvailable() {
    CloudDataAvailableWindow window;
    return window.ask();
}

int SyncServices::askReleech() {
    ReleechWindow window;
    return window.ask();
}

void SyncServices::showAlert(const std::string& message, const std::string& additionalMessage) {
    SyncAlertWindow window(qt(message), qt(additionalMessage));
    window.ask();
}

}  // namespace ravelong
