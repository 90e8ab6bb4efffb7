#pragma once

#include <QWidget>
#include <array>
#include <memory>

#include "menubar/IdlePanelController.h"
#include "ui/PanelAnchor.h"

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QStandardItemModel;

namespace ravelong {

// The idle panel below the tray item: since when the computer has been idle, the four ways to
// resolve it (keep the time, stop and restart, stop, assign it to another task) with the task
// menu, and the resolve button (Return) and a close button (Escape). It opens without taking the
// keyboard focus from the program the user returns to. Main thread only.
class IdlePanelWindow final : public QWidget, public IdlePanelView {
    Q_OBJECT

public:
    IdlePanelWindow(ApplicationDelegate& delegate, UserDefaults& defaults, MainLoop& loop,
                    Clock& clock, PanelAnchor anchor, QWidget* parent = nullptr);
    ~IdlePanelWindow() override;

    IdlePanelController& controller() { return *controller_; }
    // Called before the panel opens: the task panel and the add-note panel close.
    void setCloseOtherPanels(std::function<void()> close) { closeOthers_ = std::move(close); }

    bool isPanelVisible() const override { return isVisible(); }
    void openPanel() override;
    void closePanel() override;
    void showTexts(const IdlePanelTexts& texts) override;
    void showOption(IdleResolution option, bool resolveEnabled) override;
    void showPutAwayMenu(const std::vector<PutAwayItem>& items,
                         std::optional<std::size_t> selected) override;

    QRadioButton* optionButton(IdleResolution option) const {
        return options_[static_cast<std::size_t>(option)];
    }
    QComboBox* putAwayMenu() const { return putAway_; }
    QPushButton* resolveButton() const { return resolve_; }
    QLabel* idleText() const { return idleSince_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<IdlePanelController> controller_;
    PanelAnchor anchor_;
    std::function<void()> closeOthers_;
    QLabel* idleSince_;
    std::array<QRadioButton*, 4> options_{};
    QComboBox* putAway_;
    QStandardItemModel* putAwayModel_;
    QPushButton* resolve_;
    QPushButton* close_;
    bool filling_ = false;
};

}  // namespace ravelong
