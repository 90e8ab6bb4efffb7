#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/durations/ZRCustomTextFieldFormatter.h"
#include "foundation/MainLoop.h"

namespace ravelong {

class ZRDurationPickerDelegate;
class ZRDurationPickerTimePickers;

// The behaviour of the duration picker: a timing's length as an hours field and a minutes field
// ("2" and "05"), with steps, typing rules and the start and end time pickers kept in step. The
// widget draws the fields, turns each key into a proposed field text and calls in here; it
// redraws on ZRDurationPickerDelegate::durationPickerDidChange.
//
// Durations are seconds, 0 to kMaximumDuration (96 hours, the longest timing). The fields show
// the duration in whole minutes, rounded to the nearest.
//
// Typing: the widget calls changeFieldText with the text a key would leave in a field. Only
// digits are taken, at most two per field; a value above the maximum, minutes of 60 or more, or
// a second minute digit after a 6...9 are refused with the sound "Funk". What was typed becomes
// the duration after a pause (kCommitPause), or, for a field holding one digit, after the
// field's completion delay (a lone minute digit "7" becomes "07" then). endEditing tidies the
// fields ("5" minutes become "05", "05" hours become "5") and commits at once.
//
// Main thread only. Timers run on the given MainLoop, which must outlive the picker; destroying
// the picker cancels them. Delegate and time pickers are not owned and may be null.
class ZRDurationPicker {
public:
    enum class Field { hours, minutes };

    static constexpr double kMaximumDuration = 345600.0;
    static constexpr double kCommitPause = 1.6;
    static constexpr double kMinutesCompletionDelay = 1.5;
    static constexpr double kHoursCompletionDelay = 1.7;
    static constexpr int32_t kFieldLength = 2;

    explicit ZRDurationPicker(MainLoop& loop = MainLoop::current());
    ~ZRDurationPicker();
    ZRDurationPicker(const ZRDurationPicker&) = delete;
    ZRDurationPicker& operator=(const ZRDurationPicker&) = delete;

    void setDelegate(ZRDurationPickerDelegate* delegate) { delegate_ = delegate; }
    void setTimePickers(ZRDurationPickerTimePickers* timePickers) { timePickers_ = timePickers; }

    double durationInSeconds() const { return durationInSeconds_; }
    // The duration in whole minutes (nearest), split as the fields show it.
    uint64_t hoursValue() const;
    uint64_t minutesValue() const;
    // The fields' texts, as typed while editing.
    const std::string& hoursText() const { return hoursText_; }
    const std::string& minutesText() const { return minutesText_; }
    const std::string& text(Field field) const;

    // Shows a duration; below 0 or NaN counts as 0, above the maximum as the maximum. Setting the
    // value it already has does nothing; a new value drops whatever was being typed. The first
    // form leaves the time pickers alone; the second moves the start (end picker showing a text)
    // or else the end, to match.
    void setDurationInSeconds(double seconds);
    void setDurationInSecondsAndPropagateToTimePickers(double seconds);

    // Steps, propagated to the time pickers. Up stops at the maximum and wraps from it to 0; down
    // stops at 0 (when less than a step remains) and wraps from 0 to the maximum. A step while
    // typing first takes what was typed. Refused with "Funk" when not editable.
    void increaseOneMinute();
    void decreaseOneMinute();
    void increaseOneHour();
    void decreaseOneHour();

    // The maximum, with the end picker set to start + maximum.
    void setToMaxAndPropagateToEndTimePicker();

    // A picker that is not editable refuses typing and steps. Making it not editable ends editing.
    void setEditable(bool editable);
    bool isEditable() const { return editable_; }

    // Editing moves between the fields with beginEditing; leaving a field tidies and commits it
    // as endEditing does. False (and "Funk") when not editable.
    bool beginEditing(Field field);
    void endEditing();
    bool isEditing() const { return editingField_.has_value(); }
    std::optional<Field> editingField() const { return editingField_; }

    // Proposes `proposedText` as the new text of a field (starting to edit it if needed). True
    // when taken; false, with "Funk", when refused (the field keeps its text).
    bool changeFieldText(Field field, std::string_view proposedText);

private:
    enum class Commit { keepTexts, showValue };

    void applyDuration(double seconds, bool propagate, Commit commit);
    void propagate();
    void step(double seconds, bool up);
    void showValue();
    void refuse();
    void notifyChange();

    std::string& mutableText(Field field);
    void scheduleCompletion(Field field);
    void scheduleCommit();
    void cancelTimer();
    void completeField(Field field);
    void tidyField(Field field);
    void commitTyping();
    double typedDuration() const;

    MainLoop& loop_;
    ZRDurationPickerDelegate* delegate_ = nullptr;
    ZRDurationPickerTimePickers* timePickers_ = nullptr;
    ZRCustomTextFieldFormatter fieldFormatter_{kFieldLength};

    double durationInSeconds_ = 0.0;
    std::string hoursText_ = "0";
    std::string minutesText_ = "00";
    bool editable_ = true;
    std::optional<Field> editingField_;
    bool typed_ = false;  // the fields hold typing not yet committed
    MainLoop::TimerId timer_ = 0;
};

}  // namespace ravelong
