#pragma once

#include <QWidget>
#include <cstdint>

class QGraphicsOpacityEffect;
class QPropertyAnimation;
class QVariantAnimation;

namespace ravelong {

// The small sync symbol of the panel and the main window. State 0 hides it, 1 shows it spinning
// (one turn anticlockwise every kSpinSeconds), any other value shows it still. Animated changes
// fade it in or out over kFadeSeconds; a state equal to the current one changes nothing.
// Main thread.
class SyncIndicator final : public QWidget {
    Q_OBJECT

public:
    static constexpr double kSpinSeconds = 2.0;
    static constexpr double kFadeSeconds = 0.2;

    explicit SyncIndicator(QWidget* parent = nullptr);
    ~SyncIndicator() override;

    void setSyncStateTo(std::int32_t state, bool animate);
    std::int32_t syncState() const { return state_; }
    bool isSpinning() const;
    // The rotation drawn now, in degrees (0 when still).
    double angle() const { return angle_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void stopSpin();

    std::int32_t state_ = 0;
    double angle_ = 0.0;
    QVariantAnimation* spin_;
    QGraphicsOpacityEffect* opacity_;
    QPropertyAnimation* fade_;
};

}  // namespace ravelong
