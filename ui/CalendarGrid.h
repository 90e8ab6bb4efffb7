#pragma once

#include <QDate>
#include <QRect>
#include <QWidget>
#include <optional>

#include "core/calendar/CalendarTypes.h"

namespace ravelong {

class ZRDatePickerManager;

// The main window's calendar: whole months one under the other, each headed by its month and
// year, with every day's total of the selected tasks (the picker manager's calendar data) and the
// chosen range shaded. Days the calendar does not offer (after today, before the first offered
// day) are drawn greyed, as clicks on them choose nothing. A click on a day, on a month's name or
// on its year chooses through the manager's range chooser, with the keyboard modifiers held; the
// visible days are reported to the manager, which refreshes the totals.
class CalendarGrid final : public QWidget {
    Q_OBJECT

public:
    explicit CalendarGrid(ZRDatePickerManager& manager, QWidget* parent = nullptr);

    // Today under the day's cut-off, by the program's clock.
    static QDate today();
    // Shows `count` months (at least 1) ending with the month of `lastMonth`.
    void setMonths(QDate lastMonth, int count);
    QDate firstMonth() const { return first_; }
    int monthCount() const { return count_; }

    // Whether a click on the day can choose it (the range chooser's offered days).
    bool dayIsOffered(QDate day) const;

    // What a day's cell shows below its number: the total as "h:mm", empty without time.
    QString totalText(ZRYearMonthDay day) const;

    // Where things are drawn, for clicks and tests; empty rectangles for what is not shown.
    QRect dayRect(QDate day) const;
    QRect monthLabelRect(int monthIndex) const;
    QRect yearLabelRect(int monthIndex) const;

    QSize sizeHint() const override;

signals:
    // The range changed through a click.
    void rangeChosen();
    // Control-click on a day: its task information is asked for.
    void dayInformationRequested(ZRYearMonthDay day);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QDate monthAt(int monthIndex) const { return first_.addMonths(monthIndex); }
    int monthTop(int monthIndex) const;
    std::optional<QDate> dayAt(QPoint point) const;

    ZRDatePickerManager& manager_;
    QDate first_;
    int count_ = 1;
};

ZRYearMonthDay yearMonthDayOf(QDate date);

}  // namespace ravelong
