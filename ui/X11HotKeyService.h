#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <map>
#include <memory>
#include <string>

#include "menubar/GlobalHotKeyService.h"

namespace ravelong {

// Global shortcuts on an X11 session: a passive key grab on the root window (XGrabKey), once for
// each combination of the Num Lock and Caps Lock states so the shortcut works whatever those
// locks are. A grab another client holds fails with BadAccess, which is reported as the
// combination being taken. Presses arrive on the program's own display connection, watched by
// the Qt event loop. Main thread only.
class X11HotKeyService final : public QObject, public GlobalHotKeyService {
    Q_OBJECT

public:
    // Opens `displayName` (empty: $DISPLAY); isAvailable() is false without an X display.
    explicit X11HotKeyService(const std::string& displayName = {}, QObject* parent = nullptr);
    ~X11HotKeyService() override;

    bool isAvailable() const override;
    Status registerHotKey(std::string_view identifier,
                          const HotKeyCombination& combination) override;
    void unregisterHotKey(std::string_view identifier) override;
    void setActivationHandler(std::function<void(const std::string&)> handler) override {
        handler_ = std::move(handler);
    }

    // Whether another client holds a grab of this combination (tried and released at once).
    bool isTakenByAnotherClient(const HotKeyCombination& combination);

private:
    struct Grab {
        unsigned int keycode = 0;
        unsigned int modifiers = 0;
    };
    struct Display;
    // Grabs every lock variant; false (and nothing left grabbed) when any is refused.
    bool grab(const Grab& grab);
    void ungrab(const Grab& grab);
    std::optional<Grab> grabFor(const HotKeyCombination& combination) const;
    void readEvents();

    std::unique_ptr<Display> display_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::map<std::string, Grab, std::less<>> grabs_;
    std::function<void(const std::string&)> handler_;
};

}  // namespace ravelong
