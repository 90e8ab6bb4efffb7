#include "ui/SyncIndicator.h"

#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPropertyAnimation>
#include <QVariantAnimation>
#include <QtMath>
#include <algorithm>
#include <cmath>

namespace ravelong {

SyncIndicator::SyncIndicator(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("SyncIndicator"));
    setToolTip(tr("Synchronising"));
    opacity_ = new QGraphicsOpacityEffect(this);
    opacity_->setOpacity(1.0);
    setGraphicsEffect(opacity_);
    fade_ = new QPropertyAnimation(opacity_, "opacity", this);
    fade_->setDuration(static_cast<int>(kFadeSeconds * 1000));
    connect(fade_, &QPropertyAnimation::finished, this, [this] {
        if (state_ == 0) {
            hide();
            stopSpin();
        }
    });
    spin_ = new QVariantAnimation(this);
    spin_->setStartValue(0.0);
    spin_->setEndValue(-360.0);
    spin_->setDuration(static_cast<int>(kSpinSeconds * 1000));
    spin_->setLoopCount(-1);
    connect(spin_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        angle_ = value.toDouble();
        update();
    });
    hide();
}

SyncIndicator::~SyncIndicator() = default;

bool SyncIndicator::isSpinning() const {
    return spin_->state() == QAbstractAnimation::Running;
}

void SyncIndicator::stopSpin() {
    spin_->stop();
    angle_ = 0.0;
    update();
}

void SyncIndicator::setSyncStateTo(std::int32_t state, bool animate) {
    if (state == state_)
        return;
    state_ = state;
    fade_->stop();
    if (state == 0) {
        if (animate && isVisible()) {
            fade_->setEasingCurve(QEasingCurve::OutQuad);
            fade_->setStartValue(opacity_->opacity());
            fade_->setEndValue(0.0);
            fade_->start();
        } else {
            hide();
            stopSpin();
        }
        return;
    }
    if (animate && isHidden()) {
        opacity_->setOpacity(0.0);
        show();
        fade_->setEasingCurve(QEasingCurve::InQuad);
        fade_->setStartValue(0.0);
        fade_->setEndValue(1.0);
        fade_->start();
    } else {
        opacity_->setOpacity(1.0);
        show();
    }
    if (state == 1) {
        if (!isSpinning())
            spin_->start();
    } else {
        stopSpin();
    }
}

QSize SyncIndicator::sizeHint() const {
    const int side = fontMetrics().height();
    return {side, side};
}

void SyncIndicator::paintEvent(QPaintEvent*) {
    // Two arrows chasing each other round a circle: the usual sync symbol.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(width(), height());
    painter.translate(width() / 2.0, height() / 2.0);
    painter.rotate(angle_);
    const double radius = side * 0.32;
    QPen pen(palette().color(QPalette::WindowText), std::max(1.5, side * 0.1));
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    const QRectF circle(-radius, -radius, 2 * radius, 2 * radius);
    for (int half = 0; half < 2; ++half) {
        const double start = half * 180.0 + 20.0;
        painter.drawArc(circle, static_cast<int>(start * 16), static_cast<int>(140.0 * 16));
        // The arrow head at the arc's end, its barbs pointing back along the arc.
        const double end = qDegreesToRadians(start + 140.0);
        const QPointF tip(radius * std::cos(end), -radius * std::sin(end));
        const QPointF back(std::sin(end), std::cos(end));
        const double head = side * 0.16;
        for (double turn : {0.6, -0.6}) {
            const QPointF barb(back.x() * std::cos(turn) - back.y() * std::sin(turn),
                               back.x() * std::sin(turn) + back.y() * std::cos(turn));
            painter.drawLine(tip, tip + barb * head);
        }
    }
}

}  // namespace ravelong
