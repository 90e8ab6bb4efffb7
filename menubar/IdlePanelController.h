#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/services/IdleTimePanel.h"
#include "foundation/Instant.h"
#include "foundation/MainLoop.h"

namespace ravelong {

class ApplicationDelegate;
class Clock;
class UserDefaults;
class ZRCDOrigin;
class ZRCDTask;
class ZRCDTiming;

// The four ways to resolve an idle stretch, numbered as the user default "ZRIdleTimeResolve"
// stores them.
enum class IdleResolution : int { keep = 0, stopAndStart = 1, stop = 2, putAway = 3 };

// One item of the put-away task menu.
struct PutAwayItem {
    enum class Kind { item, heading, separator };
    Kind kind = Kind::item;
    std::string title;
    int indentation = 0;
    bool enabled = false;
    std::optional<std::string> uuid;  // the task of an enabled item
};

// The idle panel's texts.
struct IdlePanelTexts {
    std::string idleSince;
    std::string stopOption;
    std::string stopStartOption;
};

// What the interface layer draws for the idle panel, below the tray item. Main thread only.
class IdlePanelView {
public:
    virtual ~IdlePanelView() = default;
    virtual bool isPanelVisible() const = 0;
    // Closes the task panel and the add-note panel, then fades the idle panel in without
    // activating the program.
    virtual void openPanel() = 0;
    virtual void closePanel() = 0;
    virtual void showTexts(const IdlePanelTexts& texts) = 0;
    // The chosen option and whether the resolve button is enabled.
    virtual void showOption(IdleResolution option, bool resolveEnabled) = 0;
    // The put-away menu with the item at `selected` chosen (nullopt: "Select task...").
    virtual void showPutAwayMenu(const std::vector<PutAwayItem>& items,
                                 std::optional<std::size_t> selected) = 0;
};

// The idle panel's behaviour: when and with which texts it shows, the put-away menu, the
// remembered option and task, and the four resolutions against the store. Reached by the timer
// controller's idle check and the wake handling as the delegate's IdleTimePanel.
//
// Resolutions end the running timings at the instant the user went idle, each as one undo step
// with a save, then ask the add-note panel (type 3 for a stop or a put-away, 4 for a stop and
// restart, modifier keys considered) and redraw the tray item's time when
// "ZRShowTimeInStatusIcon" is on. Main thread only; every service must outlive the controller.
class IdlePanelController final : public IdleTimePanel {
public:
    IdlePanelController(ApplicationDelegate& delegate, UserDefaults& defaults, MainLoop& loop,
                        Clock& clock, IdlePanelView& view);
    ~IdlePanelController() override;
    IdlePanelController(const IdlePanelController&) = delete;
    IdlePanelController& operator=(const IdlePanelController&) = delete;

    void showIdleTimePanel(Instant idleSince) override;
    void closeIdleTimePanel() override;

    // The option the user chose; stores it in "ZRIdleTimeResolve" at once.
    void optionSelected(IdleResolution option);
    // The user chose the put-away menu's item at `index` (only enabled items count).
    void popupButtonSelected(std::size_t index);
    // Acts on the stored option and closes the panel.
    void resolveButtonClicked();

    // Fills the put-away menu now (opening the panel does it 0.3 s later).
    void populatePutAwayPopUpButton();

    void idleResolveStop();
    void idleResolveStopStart();
    void idleResolvePutAway();

    std::optional<Instant> dateWhenComputerWentIdle() const { return dateWhenComputerWentIdle_; }
    std::int64_t previousIdleTime() const { return previousIdleTime_; }
    IdleResolution option() const;
    bool resolveEnabled() const;
    const std::vector<PutAwayItem>& putAwayItems() const { return putAwayItems_; }
    std::optional<std::size_t> selectedPutAwayItem() const { return selectedPutAwayItem_; }

private:
    void openIdleTimePanel();
    void showOption();
    void afterResolution(int notePanelType, ZRCDTiming* timing);
    // Ends every running timing at the idle instant; the stopped ones in order, with the task and
    // origin each had.
    struct Stopped {
        ZRCDTask* task;
        ZRCDOrigin* origin;
        ZRCDTiming* timing;
    };
    std::vector<Stopped> stopRunningTimingsAtIdleStart();
    void restart(const std::vector<Stopped>& stopped);
    void addTaskItems(ZRCDTask* task, int level);

    ApplicationDelegate& delegate_;
    UserDefaults& defaults_;
    MainLoop& loop_;
    Clock& clock_;
    IdlePanelView& view_;
    std::optional<Instant> dateWhenComputerWentIdle_;
    std::int64_t previousIdleTime_ = 0;
    bool didSelectPutAwayTask_ = false;
    bool putAwayEnabled_ = false;
    std::vector<PutAwayItem> putAwayItems_;
    std::optional<std::size_t> selectedPutAwayItem_;
    MainLoop::TimerId fillTimer_ = 0;
};

}  // namespace ravelong
