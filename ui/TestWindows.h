#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <span>

class QWidget;

namespace ravelong {

class AppDelegate;
class FinishingSyncWindow;
class QtApplicationShell;
class SyncServices;

// The windows the test commands "show-window NAME" and "close-window NAME" reach
// (ui/TestCommandChannel.h), so that an end-to-end run can look at each of them once. Each is
// opened the way the program itself opens it, in a plausible state: the synchronisation
// questions with their own texts, a merge conflict about the first task's name, the database
// update at 40 %, the idle panel for an idle stretch that began 25 minutes ago, an alert with the
// text of the no-tray notice. Questions that wait for their answer are asked from the event loop
// after the command returned; closing such a window answers it as Escape would, and nobody acts
// on that answer. Main thread only; the services must outlive this object.
class TestWindows final {
public:
    struct Services {
        QtApplicationShell& shell;
        AppDelegate& delegate;
        SyncServices* sync = nullptr;  // nullptr: no synchronisation window can be shown
    };

    explicit TestWindows(Services services);
    ~TestWindows();
    TestWindows(const TestWindows&) = delete;
    TestWindows& operator=(const TestWindows&) = delete;

    // Opens the window; false for an unknown name and when the program cannot show it now (no
    // store open, no task for the task windows, the main window closed for its sheets).
    bool show(const QString& name);
    // Closes the shown window of that name as its title bar's close button does; false when
    // none is shown.
    static bool close(const QString& name);
    // The names, in the order of the table.
    static QStringList names();
    // The visible top-level window of exactly that class ("ravelong::MainWindow"), or nullptr.
    static QWidget* shownWindowOfClass(const char* className);

private:
    struct Entry;
    static std::span<const Entry> table();
    static const Entry* entryNamed(const QString& name);

    Services services_;
    // The finishing-sync window belongs to the merge that is waited for at quit; the one shown
    // here belongs to this object.
    QPointer<FinishingSyncWindow> finishing_;
};

}  // namespace ravelong
