#pragma once

#include <optional>
#include <vector>

#include "menubar/AddNotePanelController.h"
#include "menubar/IdlePanelController.h"

namespace ravelong::testing {

// An add-note panel view that records what it was asked to draw.
class RecordingAddNoteView final : public AddNotePanelView {
public:
    bool isPanelVisible() const override { return visible; }
    void bringPanelToFront() override { ++raises; }
    void openPanel() override {
        visible = true;
        ++openings;
    }
    void showTimingList(const std::vector<AddNoteListEntry>& entries,
                        std::size_t selected) override {
        shownEntries = entries;
        shownSelection = selected;
    }
    bool invertingInputHeld() const override { return inverting; }

    bool visible = false;
    bool inverting = false;
    int openings = 0;
    int raises = 0;
    std::vector<AddNoteListEntry> shownEntries;
    std::size_t shownSelection = 0;
};

// An idle panel view that records what it was asked to draw.
class RecordingIdleView final : public IdlePanelView {
public:
    bool isPanelVisible() const override { return visible; }
    void openPanel() override {
        visible = true;
        ++openings;
    }
    void closePanel() override {
        visible = false;
        ++closings;
    }
    void showTexts(const IdlePanelTexts& shown) override { texts = shown; }
    void showOption(IdleResolution shown, bool enabled) override {
        option = shown;
        resolveEnabled = enabled;
    }
    void showPutAwayMenu(const std::vector<PutAwayItem>& shown,
                         std::optional<std::size_t> selection) override {
        items = shown;
        selected = selection;
    }

    bool visible = false;
    int openings = 0;
    int closings = 0;
    IdlePanelTexts texts;
    IdleResolution option = IdleResolution::keep;
    bool resolveEnabled = false;
    std::vector<PutAwayItem> items;
    std::optional<std::size_t> selected;
};

}  // namespace ravelong::testing
