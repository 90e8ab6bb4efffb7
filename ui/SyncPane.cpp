#include "ui/SyncPane.h"

#include <QComboBox>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "app/AppStrings.h"
#include "app/MaintenanceServices.h"
#include "app/PreferenceKeys.h"
#include "foundation/Instant.h"
#include "sync/SyncSetup.h"
#include "sync/SyncTexts.h"
#include "sync/cloudkit/ICloudSyncBackend.h"
#include "sync/dropbox/DropboxSyncBackend.h"
#include "ui/ICloudAccountBox.h"
#include "ui/QtText.h"
#include "ui/SyncAlertWindow.h"

namespace ravelong {

namespace t = sync_texts;

namespace {

constexpr int kBarSteps = 1000;

// The bar's colour for each theme: the connected look, the plain (busy or idle) look and the
// warning look.
QColor themeColour(int theme, const QPalette& palette) {
    switch (theme) {
        case kThemeConnected:
            return QColor(0x3a, 0x9a, 0x4a);
        case kThemeWarning:
            return QColor(0xd8, 0x8a, 0x1c);
        default:
            return palette.color(QPalette::Highlight);
    }
}

QString dateText(Instant instant) {
    const double unix = unixTimeFromInstant(instant);
    return QLocale().toString(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(unix * 1000.0)),
                              QLocale::ShortFormat);
}

}  // namespace

SyncPane::SyncPane(Services services, QWidget* parent)
    : QWidget(parent), services_(std::move(services)) {
    service_ = new QComboBox(this);
    service_->setObjectName(QStringLiteral("SyncService"));
    // The entries of the chooser, in the order of kChooserNone...kChooserFolder. A service
    // this build does not offer is listed so that its place is known, and cannot be chosen.
    const bool dropboxOffered = dropbox() != nullptr;
    service_->addItems({tr("None"), icloudBackend() ? tr("iCloud") : tr("iCloud (coming)"),
                        dropboxOffered ? tr("Dropbox") : tr("Dropbox (coming)"),
                        tr("A synced folder")});
    if (auto* model = qobject_cast<QStandardItemModel*>(service_->model())) {
        model->item(kChooserICloud)->setEnabled(icloudBackend() != nullptr);
        model->item(kChooserDropbox)->setEnabled(dropboxOffered);
    }
    if (ICloudSyncBackend* icloud = icloudBackend()) {
        icloud_ = new ICloudAccountBox(*icloud, this);
        connect(icloud_, &ICloudAccountBox::accountChanged, this, &SyncPane::icloudAccountChanged);
    }
    folder_ = new QLabel(this);
    folder_->setObjectName(QStringLiteral("SyncFolder"));
    folder_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    folder_->setWordWrap(true);
    chooseFolder_ = new QPushButton(tr("Choose..."), this);
    chooseFolder_->setObjectName(QStringLiteral("SyncChooseFolder"));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("SyncStatus"));
    status_->setWordWrap(true);
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("SyncProgress"));
    bar_->setRange(0, kBarSteps);
    bar_->setTextVisible(false);
    syncNow_ = new QPushButton(tr("Sync Now"), this);
    syncNow_->setObjectName(QStringLiteral("SyncNow"));
    help_ = new QPushButton(QStringLiteral("?"), this);
    help_->setObjectName(QStringLiteral("SyncHelp"));
    help_->setToolTip(tr("How to set up synchronisation"));
    help_->setFixedWidth(help_->sizeHint().height());
    lastSync_ = new QLabel(this);
    lastSync_->setObjectName(qt(kZRLastSync));
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("SyncMessage"));
    message_->setWordWrap(true);
    message_->setStyleSheet(QStringLiteral("color: palette(highlight);"));
    message_->hide();

    appKey_ = new QLineEdit(this);
    appKey_->setObjectName(QStringLiteral("DropboxAppKey"));
    appKey_->setPlaceholderText(tr("The app key of your Dropbox app"));
    link_ = new QPushButton(tr("Link..."), this);
    link_->setObjectName(QStringLiteral("DropboxLink"));
    unlink_ = new QPushButton(tr("Unlink"), this);
    unlink_->setObjectName(QStringLiteral("DropboxUnlink"));
    account_ = new QLabel(this);
    account_->setObjectName(QStringLiteral("DropboxAccount"));
    account_->setWordWrap(true);
    account_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse);
    account_->setOpenExternalLinks(false);
    codeRow_ = new QWidget(this);
    code_ = new QLineEdit(codeRow_);
    code_->setObjectName(QStringLiteral("DropboxCode"));
    code_->setPlaceholderText(tr("Code, or the address the browser shows"));
    useCode_ = new QPushButton(tr("Use Code"), codeRow_);
    useCode_->setObjectName(QStringLiteral("DropboxUseCode"));
    cancelLink_ = new QPushButton(tr("Cancel"), codeRow_);
    cancelLink_->setObjectName(QStringLiteral("DropboxCancel"));
    auto* codeLayout = new QHBoxLayout(codeRow_);
    codeLayout->setContentsMargins(0, 0, 0, 0);
    codeLayout->addWidget(code_, 1);
    codeLayout->addWidget(useCode_);
    codeLayout->addWidget(cancelLink_);
    codeRow_->hide();

    auto* folderRow = folderRow_ = new QHBoxLayout;
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(chooseFolder_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(help_);
    buttons->addStretch(1);
    buttons->addWidget(syncNow_);
    auto* form = form_ = new QFormLayout(this);
    form->addRow(tr("Synchronise with:"), service_);
    form->addRow(tr("Folder:"), folderRow);
    if (icloud_)
        form->addRow(icloud_);
    if (dropboxOffered) {
        auto* keyRow = new QHBoxLayout;
        keyRow->addWidget(appKey_, 1);
        keyRow->addWidget(link_);
        keyRow->addWidget(unlink_);
        form->addRow(tr("Dropbox app key:"), keyRow);
        form->addRow(tr("Dropbox:"), account_);
        form->addRow(codeRow_);
    } else {
        for (QWidget* w : std::initializer_list<QWidget*>{appKey_, link_, unlink_, account_})
            w->hide();
    }
    form->addRow(status_);
    form->addRow(bar_);
    form->addRow(tr("Last sync:"), lastSync_);
    form->addRow(buttons);
    form->addRow(message_);

    connect(service_, &QComboBox::activated, this, &SyncPane::syncMethodChanged);
    connect(chooseFolder_, &QPushButton::clicked, this, &SyncPane::chooseFolder);
    connect(syncNow_, &QPushButton::clicked, this, &SyncPane::forceSync);
    connect(help_, &QPushButton::clicked, this, &SyncPane::getHelp);
    connect(link_, &QPushButton::clicked, this, &SyncPane::linkDropbox);
    connect(unlink_, &QPushButton::clicked, this, &SyncPane::unlinkDropbox);
    connect(useCode_, &QPushButton::clicked, this, [this] { useDropboxCode(code_->text()); });
    connect(code_, &QLineEdit::returnPressed, this, [this] { useDropboxCode(code_->text()); });
    connect(cancelLink_, &QPushButton::clicked, this, &SyncPane::cancelDropboxLink);

    standardObservers_.push_back(services_.standardDefaults.addObserver(
        std::string(t::kZRConnectionState),
        [this](const std::string&) { onMainThread([this] { connectionStateChanged(); }); }));
    standardObservers_.push_back(services_.standardDefaults.addObserver(
        std::string(t::kRavelongSyncFolder),
        [this](const std::string&) { onMainThread([this] { connectionStateChanged(); }); }));
    groupObservers_.push_back(services_.groupDefaults.addObserver(
        std::string(t::kZRLastSync),
        [this](const std::string&) { onMainThread([this] { lastSyncChanged(false); }); }));
    NotificationCenter& center = services_.notifications;
    notificationObservers_.push_back(center.addObserver(
        std::string(t::kSEPersistentStoreSyncDidMakeProgressWithActivityNotification), nullptr,
        [this](const Notification& n) {
            onMainThread([this, info = n.userInfo] { mergeMadeProgress(info); });
        }));
    notificationObservers_.push_back(center.addObserver(
        std::string(t::kZRSyncActivityDidBegin), nullptr,
        [this](const Notification&) { onMainThread([this] { activityBegan(); }); }));
    notificationObservers_.push_back(center.addObserver(
        std::string(t::kZRSyncActivityDidEnd), nullptr, [this](const Notification& n) {
            std::optional<Error> error;
            if (const Error* e = n.value<Error>(std::string(t::kErrorKey)))
                error = *e;
            onMainThread([this, error] { activityEnded(error); });
        }));
    refresh();
}

SyncPane::~SyncPane() {
    // A sign-in of this pane ends with it: nothing would show its outcome.
    if (DropboxSyncBackend* backend = dropbox(); backend && backend->isLinking())
        backend->cancelLink();
    stopStallTimer();
    for (auto id : standardObservers_)
        services_.standardDefaults.removeObserver(id);
    for (auto id : groupObservers_)
        services_.groupDefaults.removeObserver(id);
    for (auto id : notificationObservers_)
        services_.notifications.removeObserver(id);
}

void SyncPane::onMainThread(std::function<void()> work) {
    if (QThread::currentThread() == thread())
        work();
    else
        QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void SyncPane::refresh() {
    connectionStateChanged();
}

void SyncPane::connectionStateChanged() {
    const std::int64_t state = services_.standardDefaults.integerForKey(t::kZRConnectionState, 0);
    const std::string folder = services_.standardDefaults.stringForKey(t::kRavelongSyncFolder);
    folder_->setText(folder.empty() ? tr("No folder chosen") : qt(folder));
    const bool changeable = services_.setup != nullptr;
    chooseFolder_->setEnabled(changeable && state != 2);
    showDropbox();
    apply(displayForConnectionState(state));
    // The folder belongs to the synced folder; iCloud and Dropbox have their own rows.
    const int chosen = service_->currentIndex();
    form_->setRowVisible(folderRow_, chosen != kChooserICloud && chosen != kChooserDropbox);
    if (!changeable) {
        service_->setEnabled(false);
        syncNow_->setEnabled(false);
    }
    lastSyncChanged(true);
}

void SyncPane::lastSyncChanged(bool force) {
    const bool exists = services_.groupDefaults.exists(t::kZRLastSync);
    const Instant date = services_.groupDefaults.dateForKey(t::kZRLastSync, 0.0);
    lastSync_->setText(exists ? dateText(date) : tr("Never"));
    if (!force && date == lastShownSync_)
        return;
    if (!exists)
        return;
    lastShownSync_ = date;
    const std::int64_t state = services_.standardDefaults.integerForKey(t::kZRConnectionState, 0);
    if (state == 100 || state == 200)
        status_->setText(qt(formatText(t::kConnectedLastSync, {dateText(date).toStdString()})));
}

void SyncPane::apply(const SyncPaneDisplay& display) {
    if (display.chooserItem)
        service_->setCurrentIndex(*display.chooserItem);
    if (display.label)
        status_->setText(qt(*display.label));
    else if (status_->text().isEmpty())
        // The idle state of a service leaves the line to the last sync; until there is one,
        // it says what holds.
        status_->setText(qt(t::kConnected));
    if (display.theme)
        setTheme(*display.theme);
    if (display.indeterminate) {
        setIndeterminate(true);
    } else {
        stopStallTimer();
        setIndeterminate(false);
    }
    if (display.barValue)
        setBar(*display.barValue);
    if (display.forceSyncEnabled)
        syncNow_->setEnabled(*display.forceSyncEnabled);
    if (display.chooserEnabled)
        service_->setEnabled(*display.chooserEnabled);
}

void SyncPane::mergeMadeProgress(const UserInfo& userInfo) {
    const std::optional<SyncProgress> progress =
        progressForActivity(userInfo, service_->currentIndex() == kChooserDropbox);
    if (!progress)
        return;
    if (progress->label)
        status_->setText(qt(*progress->label));
    stopStallTimer();
    setIndeterminate(false);
    setBar(progress->fraction);
    if (progress->startStallTimer)
        stallTimer_ = services_.loop.runAfter(kStallSeconds, [this] {
            stallTimer_ = 0;
            setIndeterminate(true);
        });
}

void SyncPane::activityBegan() {
    setBar(0.0);
}

void SyncPane::activityEnded(const std::optional<Error>& error) {
    stopStallTimer();
    setIndeterminate(false);
    const SyncPaneDisplay display = displayForActivityEnd(error);
    if (display.label)
        status_->setText(qt(*display.label));
    if (display.theme)
        setTheme(*display.theme);
    setBar(display.barValue.value_or(1.0));
    if (display.forceSyncEnabled && services_.setup)
        syncNow_->setEnabled(*display.forceSyncEnabled);
    // The reason stays readable beside the short status line.
    if (error && !error->description.empty())
        status_->setToolTip(qt(error->description));
    else
        status_->setToolTip(QString());
}

void SyncPane::setBar(double value) {
    if (bar_->maximum() == 0)
        return;
    bar_->setValue(static_cast<int>(std::lround(std::clamp(value, 0.0, 1.0) * kBarSteps)));
}

void SyncPane::setIndeterminate(bool on) {
    // A bar with an empty range is Qt's busy (indeterminate, animating) bar.
    if (on)
        bar_->setRange(0, 0);
    else if (bar_->maximum() == 0)
        bar_->setRange(0, kBarSteps);
}

void SyncPane::stopStallTimer() {
    if (stallTimer_ != 0) {
        services_.loop.cancel(stallTimer_);
        stallTimer_ = 0;
    }
}

void SyncPane::setTheme(int theme) {
    theme_ = theme;
    bar_->setProperty("theme", theme);
    QPalette palette = bar_->palette();
    palette.setColor(QPalette::Highlight, themeColour(theme, this->palette()));
    bar_->setPalette(palette);
}

void SyncPane::showMessage(const QString& text) {
    message_->setText(text);
    message_->setVisible(!text.isEmpty());
}

void SyncPane::syncMethodChanged(int item) {
    if (!services_.setup)
        return;
    showMessage(QString());
    switch (item) {
        case kChooserNone:
            services_.setup->disconnect();
            break;
        case kChooserFolder:
            chooseFolder();
            break;
        case kChooserDropbox:
            chooseDropbox();
            break;
        case kChooserICloud:
            chooseService(SyncService::iCloud);
            break;
        default:
            break;
    }
    // The chooser shows what holds, not what was clicked: a cancelled folder dialog or a
    // service that is not offered leave the state as it was.
    connectionStateChanged();
}

void SyncPane::chooseFolder() {
    if (!services_.setup)
        return;
    const QString current = qt(services_.standardDefaults.stringForKey(t::kRavelongSyncFolder));
    const QString chosen =
        services_.askForFolder
            ? services_.askForFolder(current)
            : QFileDialog::getExistingDirectory(this, tr("Choose the synced folder"), current);
    if (chosen.isEmpty())
        return;
    connectFolder(chosen);
}

std::function<void(Status)> SyncPane::choiceDone() {
    return [pane = QPointer<SyncPane>(this)](Status status) {
        if (!pane)
            return;
        pane->showMessage(status ? QString() : qt(status.error().description));
        pane->connectionStateChanged();
    };
}

void SyncPane::connectFolder(const QString& folder) {
    showMessage(QString());
    services_.setup->chooseFolder(folder.toStdString(), choiceDone());
    connectionStateChanged();
}

DropboxSyncBackend* SyncPane::dropbox() const {
    if (!services_.setup)
        return nullptr;
    return dynamic_cast<DropboxSyncBackend*>(services_.setup->backend(SyncService::dropbox));
}

void SyncPane::showDropbox() {
    DropboxSyncBackend* backend = dropbox();
    if (!backend)
        return;
    const bool linked = backend->isLinked();
    const bool linking = backend->isLinking();
    if (!appKey_->hasFocus())
        appKey_->setText(qt(backend->appKey()));
    appKey_->setEnabled(!linked && !linking);
    link_->setVisible(!linked);
    link_->setEnabled(!linking);
    unlink_->setVisible(linked);
    codeRow_->setVisible(linking);
    if (linking)
        return;  // the sign-in's own instructions stay
    account_->setText(linked ? tr("Linked. Ravelong keeps its files in the folder \"%1\" of your "
                                  "app's Dropbox folder.")
                                   .arg(qt(std::string(DropboxSyncBackend::kRootFolder).substr(1)))
                             : tr("Not linked"));
}

void SyncPane::chooseDropbox() {
    DropboxSyncBackend* backend = dropbox();
    if (!backend)
        return;
    if (backend->isLinked()) {
        services_.setup->chooseService(SyncService::dropbox, choiceDone());
        return;
    }
    linkDropbox();
}

void SyncPane::linkDropbox() {
    DropboxSyncBackend* backend = dropbox();
    if (!backend)
        return;
    showMessage(QString());
    if (Status key = backend->setAppKey(appKey_->text().toStdString()); !key) {
        showMessage(qt(key.error().description));
        appKey_->setFocus();
        return;
    }
    Result<std::string> url = backend->beginLink([pane = QPointer<SyncPane>(this)](Status status) {
        if (pane)
            pane->dropboxLinkEnded(std::move(status));
    });
    if (!url.ok()) {
        showMessage(qt(url.error().description));
        appKey_->setFocus();
        return;
    }
    const QString address = qt(url.value());
    const bool opened = services_.openBrowser
                            ? services_.openBrowser(address)
                            : QDesktopServices::openUrl(QUrl(address, QUrl::StrictMode));
    QString text = backend->waitsForRedirect()
                       ? tr("Sign in to Dropbox in your browser and allow Ravelong; it comes back "
                            "here by itself. If the browser cannot reach Ravelong, paste the "
                            "address it shows below.")
                       : tr("Sign in to Dropbox in your browser, allow Ravelong and paste the "
                            "code Dropbox shows below.");
    if (!opened)
        text = tr("No browser could be opened. Open this address yourself:") +
               QStringLiteral("<br><a href=\"%1\">%1</a><br>").arg(address.toHtmlEscaped()) + text;
    account_->setTextFormat(opened ? Qt::PlainText : Qt::RichText);
    account_->setText(text);
    code_->clear();
    showDropbox();
    code_->setFocus();
}

void SyncPane::useDropboxCode(const QString& pasted) {
    DropboxSyncBackend* backend = dropbox();
    if (!backend)
        return;
    if (Status used = backend->finishLinkWithCode(pasted.toStdString()); !used) {
        showMessage(qt(used.error().description));
        return;
    }
    showMessage(QString());
    useCode_->setEnabled(false);
}

void SyncPane::cancelDropboxLink() {
    if (DropboxSyncBackend* backend = dropbox())
        backend->cancelLink();
}

void SyncPane::dropboxLinkEnded(Status status) {
    useCode_->setEnabled(true);
    code_->clear();
    account_->setTextFormat(Qt::PlainText);
    if (!status) {
        // A cancelled sign-in needs no explanation; the state stays what it was.
        showMessage(status.error().code == kSEErrorLinkCancelled ? QString()
                                                                 : qt(status.error().description));
        connectionStateChanged();
        return;
    }
    showMessage(QString());
    services_.setup->chooseService(SyncService::dropbox, choiceDone());
    connectionStateChanged();
}

void SyncPane::unlinkDropbox() {
    DropboxSyncBackend* backend = dropbox();
    if (!backend)
        return;
    showMessage(QString());
    auto removeTokens = [pane = QPointer<SyncPane>(this), backend] {
        Status removed = backend->unlink();
        if (!pane)
            return;
        pane->showMessage(removed ? QString() : qt(removed.error().description));
        pane->connectionStateChanged();
    };
    if (services_.setup->service() == SyncService::dropbox)
        services_.setup->disconnect(removeTokens);
    else
        removeTokens();
    connectionStateChanged();
}

QString SyncPane::dropboxAccountText() const {
    return account_->text();
}

bool SyncPane::dropboxLinkVisible() const {
    return !link_->isHidden();
}

bool SyncPane::dropboxCodeVisible() const {
    return !codeRow_->isHidden();
}

bool SyncPane::folderRowVisible() const {
    return !folder_->isHidden() && !chooseFolder_->isHidden();
}

bool SyncPane::chooserItemEnabled(int item) const {
    auto* model = qobject_cast<QStandardItemModel*>(service_->model());
    return model && model->item(item) && model->item(item)->isEnabled();
}

void SyncPane::chooseService(SyncService service) {
    showMessage(QString());
    services_.setup->chooseService(service, choiceDone());
    connectionStateChanged();
}

ICloudSyncBackend* SyncPane::icloudBackend() const {
    if (!services_.setup)
        return nullptr;
    return dynamic_cast<ICloudSyncBackend*>(services_.setup->backend(SyncService::iCloud));
}

void SyncPane::icloudAccountChanged() {
    // Without its sign-in iCloud cannot be reached: the program stops synchronising with it.
    ICloudSyncBackend* icloud = icloudBackend();
    if (icloud && !icloud->isSignedIn() && services_.setup->service() == SyncService::iCloud)
        services_.setup->disconnect();
    connectionStateChanged();
}

void SyncPane::forceSync() {
    if (services_.setup)
        services_.setup->forceSyncWithMergeOptions(kSyncMergeOptions);
}

void SyncPane::getHelp() {
    auto* help = new SyncAlertWindow(qt(t::kSyncHelpMessage), qt(t::kSyncHelpInformative), this);
    help->setObjectName(QStringLiteral("syncHelpWindow"));
    help->setWindowTitle(qt(t::kSyncHelpTitle));
    help->setAttribute(Qt::WA_DeleteOnClose);
    help->setModal(false);
    help->show();
}

int SyncPane::chooserItem() const {
    return service_->currentIndex();
}

QString SyncPane::statusText() const {
    return status_->text();
}

QString SyncPane::folderText() const {
    return folder_->text();
}

QString SyncPane::message() const {
    return message_->text();
}

double SyncPane::barValue() const {
    if (bar_->maximum() == 0)
        return -1.0;
    return static_cast<double>(bar_->value()) / kBarSteps;
}

bool SyncPane::isIndeterminate() const {
    return bar_->maximum() == 0;
}

bool SyncPane::forceSyncEnabled() const {
    return syncNow_->isEnabled();
}

bool SyncPane::chooserEnabled() const {
    return service_->isEnabled();
}

}  // namespace ravelong
