#pragma once

#include <QDBusConnection>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>

#include "core/services/IdleTimeSource.h"
#include "platform/WaylandIdleTime.h"
#include "platform/XScreenSaverIdleTime.h"

class QSocketNotifier;

namespace ravelong {

// How long the user has left keyboard and mouse alone, from the first of these that answers:
//   1. org.gnome.Mutter.IdleMonitor (GNOME, X11 and Wayland), GetIdletime in milliseconds;
//   2. the Wayland compositor's idle notifications (ext-idle-notify-v1: Sway and other wlroots
//      compositors, KWin), read from its socket as the events arrive;
//   3. org.freedesktop.ScreenSaver (KDE and others), GetSessionIdleTime, milliseconds as KDE
//      answers it;
//   4. the X server's screen-saver extension (any X11 session).
// These report one idle time for all input, so every event kind gets the same answer.
//
// The tick asks on the main thread and must not wait for another process: the answer is the
// latest one received, and each question starts an asynchronous refresh (one at a time) whose
// answer serves the next question; the compositor's events and the X server answer within the
// question itself. refresh() asks early (at start, before sleep). A source that fails is passed
// over for the rest of the session; 0 is answered while nothing is known.
// Main thread only.
class DesktopIdleTimeSource final : public QObject, public IdleTimeSource {
    Q_OBJECT

public:
    enum class Backend { none, mutter, wayland, screenSaver, x11 };

    // `bus` is the session bus in the program and a private bus in tests; `x11` and `wayland`
    // may be null.
    DesktopIdleTimeSource(QDBusConnection bus, std::unique_ptr<XScreenSaverIdleTime> x11,
                          std::unique_ptr<WaylandIdleTime> wayland = nullptr,
                          QObject* parent = nullptr);
    ~DesktopIdleTimeSource() override;

    double secondsSinceLastEvent(IdleEventKind kind) override;
    // Starts an asynchronous refresh unless one is under way.
    void refresh();

    // The source that gave the last answer.
    Backend backend() const { return answeredBy_; }
    bool isRefreshing() const { return refreshing_; }

signals:
    // An answer arrived (seconds).
    void refreshed(double seconds);

private:
    // Asks the first usable source from `first` on in the order above.
    void askFrom(Backend first);
    bool usable(Backend backend) const;
    void ask(Backend backend);
    void readWayland();
    void answer(Backend backend, double seconds);
    void failed(Backend backend);
    // No source answered this question: 0 from now on, until one does.
    void nothingKnown();

    QDBusConnection bus_;
    std::unique_ptr<XScreenSaverIdleTime> x11_;
    std::unique_ptr<WaylandIdleTime> wayland_;
    QSocketNotifier* waylandNotifier_ = nullptr;
    bool mutterFailed_ = false;
    bool waylandFailed_ = false;
    bool screenSaverFailed_ = false;
    bool refreshing_ = false;
    Backend answeredBy_ = Backend::none;
    double seconds_ = 0.0;
};

}  // namespace ravelong
