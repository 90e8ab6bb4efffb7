#pragma once

#include <QWidget>
#include <memory>

#include "menubar/AddNotePanelController.h"
#include "ui/PanelAnchor.h"

class QComboBox;
class QLineEdit;

namespace ravelong {

// The add-note panel: a list of the running and recently ended timings and the note field of
// the chosen one. Return stores the note and closes, Escape closes without storing, and leaving
// the field (another timing chosen, the panel closed by a click elsewhere) stores it.
//
// Whether it opens after a start or stop follows the add-note preference; holding Alt or Ctrl
// while clicking (or using the right mouse button) inverts that for the one action. Main thread.
class AddNotePanelWindow final : public QWidget, public AddNotePanelView {
    Q_OBJECT

public:
    AddNotePanelWindow(ApplicationDelegate& delegate, UserDefaults& defaults, PanelAnchor anchor,
                       QWidget* parent = nullptr);
    ~AddNotePanelWindow() override;

    AddNotePanelController& controller() { return *controller_; }
    // Called before the panel opens: the task panel and the idle panel close.
    void setCloseOtherPanels(std::function<void()> close) { closeOthers_ = std::move(close); }

    bool isPanelVisible() const override { return isVisible(); }
    void bringPanelToFront() override;
    void openPanel() override;
    void showTimingList(const std::vector<AddNoteListEntry>& entries,
                        std::size_t selected) override;
    bool invertingInputHeld() const override;

    QComboBox* timingList() const { return timings_; }
    QLineEdit* noteField() const { return note_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void commit();
    void showNoteOfChosenTiming();

    std::unique_ptr<AddNotePanelController> controller_;
    PanelAnchor anchor_;
    std::function<void()> closeOthers_;
    QComboBox* timings_;
    QLineEdit* note_;
    bool filling_ = false;
};

}  // namespace ravelong
