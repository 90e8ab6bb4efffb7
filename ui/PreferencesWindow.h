#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

#include "app/ZRPreferenceView.h"
#include "foundation/NotificationCenter.h"
#include "ui/HotKeysPane.h"

class QLabel;
class QTabWidget;

namespace ravelong {

class AlertSound;
class BackupsPane;
class GeneralPane;
class IdlePane;
class SyncPane;
class TimerPane;
class UserDefaults;
class ZRPreferenceController;

// The preferences window: the General, Timer, Idle and sleep, Hot keys, Backups and Sync panes.
// It is the preference controller's view while it exists; every control writes through the
// controller, and a refused value is reported in the window's message line. The panes follow
// their settings when they change elsewhere; the synced settings are shown again when the
// window is shown and when the new-day hour changes. Main thread; the controller, the defaults
// and the notification center must outlive the window.
class PreferencesWindow final : public QWidget {
    Q_OBJECT

public:
    struct Services {
        ZRPreferenceController& controller;
        UserDefaults& defaults;  // the settings the controller writes
        NotificationCenter& notifications;
        AlertSound* sound = nullptr;
        HotKeysPane::Options hotKeys;
        // The Backups pane, taken over by the window (nullptr: no Backups pane).
        BackupsPane* backupsPane = nullptr;
        // The Sync pane, taken over by the window (nullptr: no Sync pane).
        SyncPane* syncPane = nullptr;
    };

    explicit PreferencesWindow(Services services, QWidget* parent = nullptr);
    ~PreferencesWindow() override;

    // Shows the stored values again (also done on every show).
    void refresh();
    // Brings the pane with this title to the front ("General", "Timer", ...).
    // False when there is no such pane.
    bool showPane(const QString& title);

    // The last refusal shown ("" when none since the window was made).
    QString message() const;

    GeneralPane* generalPane() const { return general_; }
    TimerPane* timerPane() const { return timer_; }
    IdlePane* idlePane() const { return idle_; }
    HotKeysPane* hotKeysPane() const { return hotKeys_; }
    SyncPane* syncPane() const { return sync_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    class View;

    void refuse(const QString& message);
    void showHotKeyLabel();

    ZRPreferenceController& controller_;
    UserDefaults& defaults_;
    NotificationCenter& notifications_;
    std::unique_ptr<View> view_;
    BackupsPane* backups_;
    SyncPane* sync_;
    NotificationCenter::ObserverId newDayObserver_ = 0;
    std::uint64_t addNoteObserver_ = 0;

    QTabWidget* tabs_;
    GeneralPane* general_;
    TimerPane* timer_;
    IdlePane* idle_;
    HotKeysPane* hotKeys_;
    QLabel* message_;
};

}  // namespace ravelong
