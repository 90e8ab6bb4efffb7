#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/services/AddNotePanel.h"

namespace ravelong {

class ApplicationDelegate;
class UserDefaults;
class ZRCDTask;
class ZRCDTiming;

// A task's name components from the top-level task down ("Client", "Project", "Design").
std::vector<std::string> taskNameComponents(const ZRCDTask* task);

// One entry of the add-note panel's timing list.
struct AddNoteListEntry {
    ZRCDTiming* timing = nullptr;  // nullptr for the "--" entry
    // The task's name components from the top-level task down, for the view to shorten from the
    // left (see shortenedTaskName); empty for "--".
    std::vector<std::string> nameComponents;
    // " | 09:15 - now" or " | 09:15 - 10:40", start and end in the timing's own zone; "--" for
    // the entry that stands for no timing.
    std::string suffix;
};

// What the interface layer draws for the add-note panel. Main thread only.
class AddNotePanelView {
public:
    virtual ~AddNotePanelView() = default;
    virtual bool isPanelVisible() const = 0;
    // Raises an open panel and activates the program.
    virtual void bringPanelToFront() = 0;
    // Closes the task panel and the idle panel, gives the note field the focus, fades in.
    virtual void openPanel() = 0;
    // Shows the list with entry `selected` chosen, and the note of that entry's timing.
    virtual void showTimingList(const std::vector<AddNoteListEntry>& entries,
                                std::size_t selected) = 0;
    // Whether the input event being handled inverts the note decision: Alt or Ctrl held, or a
    // right mouse button press or release.
    virtual bool invertingInputHeld() const = 0;
};

// Whether the add-note panel opens. `showAddNote` is the user default "ZRShowAddNoteToTiming"
// (0 never, 1 after a stop, 2 after a start, 3 both; other values as 0); `inverting` whether the
// user held an inverting key or used the right button. Types 1, 5 and 6 always open; 2 follows
// the after-start flag, 3 the after-stop flag, each inverted by `inverting`; 4 (a stop and a
// start) opens when either flag is set and nothing inverts, or neither is set and something
// inverts. Any other type never opens.
bool shouldOpenAddNotePanel(int type, std::int64_t showAddNote, bool inverting);

// The task name that fits: the components joined with " ❯ ", dropping them from the left until
// `fits` accepts the text; the last component alone when even that does not fit.
std::string shortenedTaskName(const std::vector<std::string>& components,
                              const std::function<bool(const std::string&)>& fits);

// The add-note panel's behaviour: the decision rule, the timing list and the committing of a
// note. The timer controller, the idle resolutions and the add-note hot key reach it as the
// AddNotePanel of the application delegate. Main thread only; the delegate, defaults and view
// must outlive it.
class AddNotePanelController final : public AddNotePanel {
public:
    AddNotePanelController(ApplicationDelegate& delegate, UserDefaults& defaults,
                           AddNotePanelView& view);

    void openAddTimingNotePanelWithType(int type, ZRCDTiming* timing,
                                        bool considerModifierKeys) override;
    void setTiming(ZRCDTiming* timing) override { timing_ = timing; }
    ZRCDTiming* timing() const;

    // Refills the list: running timings by last modification, then the timings ended within the
    // last hour (latest end first, at most 10), then "--", which stands for no timing.
    // `preferred` is chosen when listed, else "--"; the chosen entry's timing becomes the
    // current timing.
    void updatePopUpButtonWithPreferredTiming(ZRCDTiming* preferred);
    const std::vector<AddNoteListEntry>& entries() const { return entries_; }
    // The user chose another entry (an index past the end is ignored).
    void selectEntry(std::size_t index);

    // Stores `text` as the current timing's note in one undo step "Edit Timing Notes" and saves.
    // Text of white space only removes the note; other text is stored as typed. False (nothing
    // changed) without a current timing or when the note is already that text.
    bool commitNote(const std::string& text);

private:
    ApplicationDelegate& delegate_;
    UserDefaults& defaults_;
    AddNotePanelView& view_;
    ZRCDTiming* timing_ = nullptr;
    std::vector<AddNoteListEntry> entries_;
};

}  // namespace ravelong
