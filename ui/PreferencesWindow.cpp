#include "ui/PreferencesWindow.h"

#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/AppStrings.h"
#include "app/ZRPreferenceController.h"
#include "core/timer/TimerTexts.h"
#include "foundation/UserDefaults.h"
#include "ui/BackupsPane.h"
#include "ui/GeneralPane.h"
#include "ui/IdlePane.h"
#include "ui/QtText.h"
#include "ui/SyncPane.h"
#include "ui/TimerPane.h"

namespace ravelong {

// What the controller tells the window, handed to the panes that show it.
class PreferencesWindow::View final : public ZRPreferenceView {
public:
    explicit View(PreferencesWindow& window) : window_(window) {}

    void showDeviceName(const std::string& name) override {
        window_.general_->showDeviceName(name);
    }
    void showUserName(const std::string& name) override { window_.general_->showUserName(name); }
    void setShowSecondsDurationEnabled(bool enabled) override {
        window_.general_->setShowSecondsDurationEnabled(enabled);
    }
    void setToggleTimerHotKeyLabel(std::string_view label) override {
        window_.hotKeys_->setToggleTimerHotKeyLabel(label);
    }
    void showStartAtLogin(bool enabled) override { window_.general_->showStartAtLogin(enabled); }
    void showAllowSimultaneousTimers(bool allowed) override {
        window_.timer_->showAllowSimultaneousTimers(allowed);
    }
    void showNewDay(int hour) override { window_.timer_->showNewDay(hour); }

private:
    PreferencesWindow& window_;
};

PreferencesWindow::PreferencesWindow(Services services, QWidget* parent)
    : QWidget(parent, Qt::Window),
      controller_(services.controller),
      defaults_(services.defaults),
      notifications_(services.notifications),
      view_(std::make_unique<View>(*this)),
      backups_(services.backupsPane),
      sync_(services.syncPane) {
    setWindowTitle(tr("Ravelong Preferences"));
    auto refuse = [this](const QString& message) { this->refuse(message); };
    tabs_ = new QTabWidget(this);
    general_ = new GeneralPane(controller_, defaults_, refuse, tabs_);
    timer_ = new TimerPane(controller_, defaults_, refuse, tabs_);
    idle_ = new IdlePane(controller_, defaults_, refuse, tabs_);
    hotKeys_ = new HotKeysPane(defaults_, services.sound, std::move(services.hotKeys), tabs_);
    tabs_->addTab(general_, tr("General"));
    tabs_->addTab(timer_, tr("Timer"));
    tabs_->addTab(idle_, tr("Idle and sleep"));
    tabs_->addTab(hotKeys_, tr("Hot keys"));
    if (backups_)
        tabs_->addTab(backups_, tr("Backups"));
    if (sync_)
        tabs_->addTab(sync_, tr("Sync"));

    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("PreferencesMessage"));
    message_->setWordWrap(true);
    message_->setStyleSheet(QStringLiteral("color: palette(highlight);"));
    message_->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(message_);

    newDayObserver_ = notifications_.addObserver(
        std::string(kZRNewDayChanged), nullptr,
        [this](const Notification&) { controller_.reloadCoreDataPreferences(); });
    addNoteObserver_ = defaults_.addObserver(std::string(kZRShowAddNoteToTiming),
                                             [this](const std::string&) { showHotKeyLabel(); });
    controller_.setView(view_.get());
    refresh();
}

PreferencesWindow::~PreferencesWindow() {
    notifications_.removeObserver(newDayObserver_);
    defaults_.removeObserver(addNoteObserver_);
    controller_.setView(nullptr);
}

void PreferencesWindow::refresh() {
    general_->refresh();
    timer_->refresh();
    idle_->refresh();
    if (sync_)
        sync_->refresh();
    if (backups_)
        backups_->refresh();
    controller_.reloadCoreDataPreferences();
    showHotKeyLabel();
}

void PreferencesWindow::showHotKeyLabel() {
    hotKeys_->setToggleTimerHotKeyLabel(ZRPreferenceController::toggleTimerHotKeyLabel(
        static_cast<int>(defaults_.integerForKey(kZRShowAddNoteToTiming, 0))));
}

bool PreferencesWindow::showPane(const QString& title) {
    for (int i = 0; i < tabs_->count(); ++i) {
        if (tabs_->tabText(i) == title) {
            tabs_->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

QString PreferencesWindow::message() const {
    return message_->text();
}

void PreferencesWindow::showEvent(QShowEvent* event) {
    refresh();
    QWidget::showEvent(event);
}

void PreferencesWindow::refuse(const QString& message) {
    message_->setText(message);
    message_->show();
}

}  // namespace ravelong
