#pragma once

#include <QDBusConnection>
#include <QObject>
#include <functional>
#include <optional>

namespace ravelong {

// One running program per user and session: the first start owns the session-bus name
// "app.ravelong.Ravelong" and exports an object with Activate() at "/app/ravelong/Ravelong";
// a later start finds the name taken, calls Activate on the running program (which brings its
// panel or window forward) and ends. Without a session bus every start runs on its own.
//
// The same object runs the global hot keys' actions for the command line (`ravelong-cli
// hot-key`), which desktops without key grabs or the shortcuts portal bind instead:
// HotKey("ToggleTimer" | "AddNote" | "ToggleMenuBarPanel" | "ToggleTimerAndAddNote" |
// "ShowRecentTasks") answers whether the action is known and the program could run it.
// Main thread only.
class SingleInstance final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.ravelong.Ravelong")

public:
    enum class Role {
        primary,        // this process owns the name, or there is no bus: run
        secondary,      // another process owns it and was asked to come forward: end
        activateFailed  // another process owns it but did not answer: end, with a message
    };

    explicit SingleInstance(QObject* parent = nullptr);
    // The same on a given bus (tests use a private one).
    explicit SingleInstance(const QDBusConnection& bus, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Claims the name, or hands over to the owner.
    Role claim();

public slots:
    // Called over the bus by a later start.
    Q_SCRIPTABLE void Activate();
    // Runs a hot key's action through the handler; false without one or for an unknown action.
    Q_SCRIPTABLE bool HotKey(const QString& identifier);

public:
    void setHotKeyHandler(std::function<bool(const QString&)> handler) {
        hotKeyHandler_ = std::move(handler);
    }

signals:
    void activateRequested();

private:
    QDBusConnection& bus();

    std::optional<QDBusConnection> bus_;  // the session bus, looked up on first use
    std::function<bool(const QString&)> hotKeyHandler_;
    bool registered_ = false;
};

}  // namespace ravelong
