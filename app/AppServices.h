#pragma once

namespace ravelong {

class AlertPresenter;
class Clock;
class MainLoop;
class NotificationCenter;
class UserDefaults;

// The process services the parts of the application delegate work with, handed to each part when
// it is made. The referenced objects outlive the delegate. Main thread only.
struct AppServices {
    MainLoop& loop;
    Clock& clock;
    AlertPresenter& alerts;
    NotificationCenter& notifications;
    UserDefaults& defaults;  // the program's own settings (the standard suite)
};

}  // namespace ravelong
