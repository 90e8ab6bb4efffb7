#include "ui/CalendarGrid.h"

#include <QLocale>
#include <QMouseEvent>
#include <QPainter>

#include "app/ZRUserDefaults2.h"
#include "core/calendar/DayNumbers.h"
#include "stats/ZRDatePickerManager.h"
#include "ui/StatisticsTaskListModel.h"

namespace ravelong {

namespace {

constexpr int kCellWidth = 52;
constexpr int kCellHeight = 34;
constexpr int kHeaderHeight = 24;
constexpr int kWeekRows = 6;
constexpr int kMonthHeight = kHeaderHeight + kWeekRows * kCellHeight + 8;

// Column of a date in its week, counted from the locale's first weekday.
int columnOf(QDate date) {
    const int first = static_cast<int>(QLocale().firstDayOfWeek());
    return (date.dayOfWeek() - first + 7) % 7;
}

}  // namespace

ZRYearMonthDay yearMonthDayOf(QDate date) {
    return static_cast<ZRYearMonthDay>(date.year() * 10000 + date.month() * 100 + date.day());
}

QDate CalendarGrid::today() {
    const ZRYearMonthDay day = date_additions::zrYearMonthDayFromZRDate(
        DateRangeChooser::presetDays(DateRangeChooser::Preset::today).first);
    return {static_cast<int>(day / 10000), static_cast<int>(day / 100 % 100),
            static_cast<int>(day % 100)};
}

CalendarGrid::CalendarGrid(ZRDatePickerManager& manager, QWidget* parent)
    : QWidget(parent), manager_(manager) {
    setObjectName(QStringLiteral("calendarGrid"));
    setMonths(today(), 2);
}

void CalendarGrid::setMonths(QDate lastMonth, int count) {
    count_ = std::max(1, count);
    const QDate last(lastMonth.year(), lastMonth.month(), 1);
    first_ = last.addMonths(-(count_ - 1));
    const QDate end = last.addMonths(1).addDays(-1);
    manager_.setVisibleDays(date_additions::zrDateFromZRYearMonthDay(yearMonthDayOf(first_)),
                            date_additions::zrDateFromZRYearMonthDay(yearMonthDayOf(end)));
    updateGeometry();
    update();
}

QString CalendarGrid::totalText(ZRYearMonthDay day) const {
    const auto& days = manager_.calendarData().days;
    const auto found = days.find(day);
    if (found == days.end() || found->second.seconds <= 0.0)
        return {};
    const auto minutes = static_cast<long long>(found->second.seconds / 60.0 + 0.5);
    return QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

bool CalendarGrid::dayIsOffered(QDate day) const {
    const DateRangeChooser& chooser = manager_.rangeChooser();
    const ZRYearMonthDay ymd = yearMonthDayOf(day);
    return ymd >= chooser.firstOfferedDay() && ymd <= chooser.lastOfferedDay();
}

int CalendarGrid::monthTop(int monthIndex) const {
    return monthIndex * kMonthHeight;
}

QRect CalendarGrid::monthLabelRect(int monthIndex) const {
    if (monthIndex < 0 || monthIndex >= count_)
        return {};
    return QRect(0, monthTop(monthIndex), kCellWidth * 4, kHeaderHeight);
}

QRect CalendarGrid::yearLabelRect(int monthIndex) const {
    if (monthIndex < 0 || monthIndex >= count_)
        return {};
    return QRect(kCellWidth * 5, monthTop(monthIndex), kCellWidth * 2, kHeaderHeight);
}

QRect CalendarGrid::dayRect(QDate day) const {
    const int index = (day.year() - first_.year()) * 12 + day.month() - first_.month();
    if (index < 0 || index >= count_)
        return {};
    const QDate firstOfMonth(day.year(), day.month(), 1);
    const int cell = columnOf(firstOfMonth) + day.day() - 1;
    return QRect((cell % 7) * kCellWidth,
                 monthTop(index) + kHeaderHeight + (cell / 7) * kCellHeight, kCellWidth,
                 kCellHeight);
}

std::optional<QDate> CalendarGrid::dayAt(QPoint point) const {
    const int index = point.y() / kMonthHeight;
    if (point.y() < 0 || index >= count_ || point.x() < 0 || point.x() >= 7 * kCellWidth)
        return std::nullopt;
    const int y = point.y() - monthTop(index) - kHeaderHeight;
    if (y < 0 || y >= kWeekRows * kCellHeight)
        return std::nullopt;
    const QDate firstOfMonth = monthAt(index);
    const int day = (y / kCellHeight) * 7 + point.x() / kCellWidth - columnOf(firstOfMonth) + 1;
    if (day < 1 || day > firstOfMonth.daysInMonth())
        return std::nullopt;
    return QDate(firstOfMonth.year(), firstOfMonth.month(), day);
}

QSize CalendarGrid::sizeHint() const {
    return {7 * kCellWidth, count_ * kMonthHeight};
}

void CalendarGrid::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QLocale locale;
    const auto start = ZRUserDefaults2::generalStartDate();
    const auto end = ZRUserDefaults2::generalEndDate();
    QFont bold = font();
    bold.setBold(true);
    QFont small = font();
    small.setPointSizeF(std::max(6.0, font().pointSizeF() * 0.8));
    for (int index = 0; index < count_; ++index) {
        const QDate month = monthAt(index);
        painter.setPen(palette().color(QPalette::Active, QPalette::Text));
        painter.setFont(bold);
        painter.drawText(monthLabelRect(index), Qt::AlignLeft | Qt::AlignVCenter,
                         locale.standaloneMonthName(month.month()));
        painter.drawText(yearLabelRect(index), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(month.year()));
        for (int day = 1; day <= month.daysInMonth(); ++day) {
            const QDate date(month.year(), month.month(), day);
            const QRect rect = dayRect(date).adjusted(1, 1, -1, -1);
            const ZRYearMonthDay ymd = yearMonthDayOf(date);
            const bool offered = dayIsOffered(date);
            if (offered && ymd >= start && ymd <= end)
                painter.fillRect(rect, palette().highlight().color().lighter(160));
            painter.setPen(
                palette().color(offered ? QPalette::Active : QPalette::Disabled, QPalette::Text));
            painter.setFont(font());
            painter.drawText(rect, Qt::AlignTop | Qt::AlignHCenter, QString::number(day));
            painter.setFont(small);
            painter.drawText(rect, Qt::AlignBottom | Qt::AlignHCenter, totalText(ymd));
        }
    }
}

void CalendarGrid::mousePressEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    const unsigned keys = modifierKeysOf(event->modifiers());
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    DateRangeChooser& chooser = manager_.rangeChooser();
    for (int index = 0; index < count_; ++index) {
        const QDate month = monthAt(index);
        if (monthLabelRect(index).contains(point)) {
            if (chooser.clickMonth(month.year(), month.month(), shift))
                emit rangeChosen();
            update();
            return;
        }
        if (yearLabelRect(index).contains(point)) {
            if (chooser.clickYear(month.year(), shift))
                emit rangeChosen();
            update();
            return;
        }
    }
    const auto day = dayAt(point);
    if (!day)
        return;
    const ZRYearMonthDay ymd = yearMonthDayOf(*day);
    const bool hasTasks = manager_.calendarData().days.contains(ymd);
    switch (chooser.clickDay(ymd, keys, hasTasks)) {
        case DateRangeChooser::DayClick::rangeChanged:
            emit rangeChosen();
            break;
        case DateRangeChooser::DayClick::showDayInformation:
        case DateRangeChooser::DayClick::showDayTasks:
            emit dayInformationRequested(ymd);
            break;
        case DateRangeChooser::DayClick::ignored:
            break;
    }
    update();
}

}  // namespace ravelong
