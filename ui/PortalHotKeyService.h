#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QVariantMap>
#include <map>
#include <string>

#include "menubar/GlobalHotKeyService.h"

namespace ravelong {

// Global shortcuts through the desktop portal (org.freedesktop.portal.GlobalShortcuts), the way
// Wayland sessions offer them (KDE Plasma, GNOME 48 and later).
//
// The portal binds a whole set of shortcuts to a session and lets the user confirm or change the
// triggers in its own dialog, so every change of the set closes the session and binds the full
// set in a new one (changes made in one pass of the event loop are bound together). Each
// shortcut goes with its stored combination as the preferred trigger ("CTRL+ALT+t"); the trigger
// the desktop settled on is reported by triggerDescription(). registerHotKey() succeeds at once;
// a refusal by the portal arrives later and is logged and reported by lastError(). Activations
// of the current session call the handler. Main thread only.
class PortalHotKeyService final : public QObject, public GlobalHotKeyService {
    Q_OBJECT

public:
    // `bus` is the session bus in the program and a private bus in tests.
    explicit PortalHotKeyService(QDBusConnection bus, QObject* parent = nullptr);
    ~PortalHotKeyService() override;

    // False once the portal did not answer the first question (asked at construction without
    // waiting); true before that.
    bool isAvailable() const override { return available_; }
    bool hasProbed() const { return probed_; }
    Status registerHotKey(std::string_view identifier,
                          const HotKeyCombination& combination) override;
    void unregisterHotKey(std::string_view identifier) override;
    void setActivationHandler(std::function<void(const std::string&)> handler) override {
        handler_ = std::move(handler);
    }

    // The trigger the desktop reported for a bound shortcut ("" when unknown).
    std::string triggerDescription(std::string_view identifier) const;
    bool isBound() const { return bound_; }
    const std::string& lastError() const { return lastError_; }

private slots:
    void createSessionResponse(uint response, const QVariantMap& results);
    void bindResponse(uint response, const QVariantMap& results);
    void activated(const QDBusMessage& message);

private:
    void scheduleRebind();
    void rebind();
    QString requestPath(const QString& token) const;
    void watchRequest(const QString& path, const char* slot);
    void unwatchRequest();
    void fail(const std::string& what);

    QDBusConnection bus_;
    bool available_ = true;
    bool probed_ = false;
    bool rebindScheduled_ = false;
    bool bound_ = false;
    int generation_ = 0;
    QString session_;
    QString watchedRequest_;
    const char* watchedSlot_ = nullptr;
    std::map<std::string, HotKeyCombination, std::less<>> shortcuts_;
    std::map<std::string, std::string, std::less<>> triggers_;
    std::function<void(const std::string&)> handler_;
    std::string lastError_;
};

}  // namespace ravelong
