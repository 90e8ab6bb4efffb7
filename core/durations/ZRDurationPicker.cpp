#include "core/durations/ZRDurationPicker.h"

#include <cmath>

#include "core/durations/DurationConstants.h"
#include "core/durations/DurationForms.h"
#include "core/durations/ZRDurationPickerDelegate.h"
#include "core/durations/ZRDurationPickerTimePickers.h"
#include "foundation/Clock.h"

namespace ravelong {

namespace {

double clamped(double seconds) {
    if (!(seconds > 0.0)) {
        return 0.0;  // negative and NaN
    }
    return seconds > ZRDurationPicker::kMaximumDuration ? ZRDurationPicker::kMaximumDuration
                                                        : seconds;
}

bool allDigits(std::string_view text) {
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

// A field's number; fields hold at most two digits, and an empty field counts as 0.
unsigned fieldNumber(std::string_view text) {
    unsigned value = 0;
    for (const char c : text) {
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value;
}

}  // namespace

ZRDurationPicker::ZRDurationPicker(MainLoop& loop) : loop_(loop) {}

ZRDurationPicker::~ZRDurationPicker() {
    cancelTimer();
}

uint64_t ZRDurationPicker::hoursValue() const {
    return duration_forms::minutesNearest(durationInSeconds_) / 60;
}

uint64_t ZRDurationPicker::minutesValue() const {
    return duration_forms::minutesNearest(durationInSeconds_) % 60;
}

const std::string& ZRDurationPicker::text(Field field) const {
    return field == Field::hours ? hoursText_ : minutesText_;
}

std::string& ZRDurationPicker::mutableText(Field field) {
    return field == Field::hours ? hoursText_ : minutesText_;
}

void ZRDurationPicker::setDurationInSeconds(double seconds) {
    applyDuration(seconds, false, Commit::showValue);
}

void ZRDurationPicker::setDurationInSecondsAndPropagateToTimePickers(double seconds) {
    applyDuration(seconds, true, Commit::showValue);
}

void ZRDurationPicker::applyDuration(double seconds, bool propagateChange, Commit commit) {
    const double value = clamped(seconds);
    if (value == durationInSeconds_) {
        return;
    }
    durationInSeconds_ = value;
    if (commit == Commit::showValue) {
        // A value from outside (or a step) replaces whatever was half typed.
        cancelTimer();
        typed_ = false;
        showValue();
    }
    if (propagateChange) {
        propagate();
    }
    // Typing commits tell the view themselves, once their field texts are final too.
    if (commit == Commit::showValue) {
        notifyChange();
    }
}

void ZRDurationPicker::propagate() {
    if (timePickers_ == nullptr) {
        return;
    }
    // An end picker showing a text stands for "now": the timing runs, so only its start can give.
    if (timePickers_->endTimePickerHasText()) {
        timePickers_->setStartTime(Clock::current().now() - durationInSeconds_);
    } else {
        timePickers_->setEndTime(timePickers_->startTime() + durationInSeconds_);
    }
}

void ZRDurationPicker::showValue() {
    const uint64_t minutes = duration_forms::minutesNearest(durationInSeconds_);
    hoursText_ = std::to_string(minutes / 60);
    minutesText_ = duration_forms::twoDigits(minutes % 60);
}

void ZRDurationPicker::increaseOneMinute() {
    step(60.0, true);
}

void ZRDurationPicker::decreaseOneMinute() {
    step(60.0, false);
}

void ZRDurationPicker::increaseOneHour() {
    step(3600.0, true);
}

void ZRDurationPicker::decreaseOneHour() {
    step(3600.0, false);
}

void ZRDurationPicker::step(double seconds, bool up) {
    if (!editable_) {
        refuse();
        return;
    }
    // Step from what the user sees, not from a value typed a moment ago and not yet taken.
    cancelTimer();
    if (typed_) {
        commitTyping();
    }
    const double current = durationInSeconds_;
    double next = 0.0;
    if (up) {
        next = current >= kMaximumDuration ? 0.0 : std::min(current + seconds, kMaximumDuration);
    } else {
        next = current <= 0.0 ? kMaximumDuration : (current < seconds ? 0.0 : current - seconds);
    }
    applyDuration(next, true, Commit::showValue);
}

void ZRDurationPicker::setToMaxAndPropagateToEndTimePicker() {
    applyDuration(kMaximumDuration, false, Commit::showValue);
    if (timePickers_ != nullptr) {
        timePickers_->setEndTime(timePickers_->startTime() + kMaximumDuration);
    }
}

void ZRDurationPicker::setEditable(bool editable) {
    if (!editable) {
        endEditing();
    }
    editable_ = editable;
}

bool ZRDurationPicker::beginEditing(Field field) {
    if (!editable_) {
        refuse();
        return false;
    }
    if (editingField_ == field) {
        return true;
    }
    if (editingField_) {
        cancelTimer();
        tidyField(*editingField_);
        commitTyping();
        notifyChange();
    }
    editingField_ = field;
    return true;
}

void ZRDurationPicker::endEditing() {
    if (!editingField_) {
        return;
    }
    cancelTimer();
    tidyField(Field::hours);
    tidyField(Field::minutes);
    editingField_.reset();
    commitTyping();
    notifyChange();
}

bool ZRDurationPicker::changeFieldText(Field field, std::string_view proposedText) {
    if (!beginEditing(field)) {
        return false;
    }
    const std::string& current = text(field);
    if (proposedText == current) {
        return true;
    }
    if (!allDigits(proposedText) || !fieldFormatter_.isPartialStringValid(proposedText, current)) {
        refuse();
        return false;
    }
    if (field == Field::minutes) {
        // No minute value starts with 6...9, so a lone 6...9 is complete: a second digit is
        // refused and the field becomes "07" after the completion delay, counted from this key.
        if (current.size() == 1 && current[0] >= '6' && proposedText.size() > current.size()) {
            refuse();
            scheduleCompletion(field);
            return false;
        }
        if (proposedText.size() == 2 && fieldNumber(proposedText) >= 60) {
            refuse();
            return false;
        }
    }
    const std::string_view hours = field == Field::hours ? proposedText : hoursText_;
    const std::string_view minutes = field == Field::minutes ? proposedText : minutesText_;
    if (fieldNumber(hours) * 3600.0 + fieldNumber(minutes) * 60.0 > kMaximumDuration) {
        refuse();
        return false;
    }

    mutableText(field).assign(proposedText);
    typed_ = true;
    if (proposedText.size() == 1) {
        scheduleCompletion(field);
    } else {
        scheduleCommit();
    }
    notifyChange();
    return true;
}

void ZRDurationPicker::scheduleCompletion(Field field) {
    cancelTimer();
    const double delay = field == Field::minutes ? kMinutesCompletionDelay : kHoursCompletionDelay;
    timer_ = loop_.runAfter(delay, [this, field] {
        timer_ = 0;
        completeField(field);
    });
}

void ZRDurationPicker::scheduleCommit() {
    cancelTimer();
    timer_ = loop_.runAfter(kCommitPause, [this] {
        timer_ = 0;
        commitTyping();
        notifyChange();
    });
}

void ZRDurationPicker::cancelTimer() {
    if (timer_ != 0) {
        loop_.cancel(timer_);
        timer_ = 0;
    }
}

void ZRDurationPicker::completeField(Field field) {
    // Only a lone minute digit gets completed ("7" -> "07"); a lone hour digit already is a
    // whole number of hours.
    std::string& fieldText = mutableText(field);
    if (field == Field::minutes && fieldText.size() == 1) {
        fieldText.insert(fieldText.begin(), '0');
    }
    commitTyping();
    notifyChange();
}

void ZRDurationPicker::tidyField(Field field) {
    std::string& fieldText = mutableText(field);
    if (field == Field::minutes) {
        if (fieldText.size() < 2) {
            fieldText.insert(0, 2 - fieldText.size(), '0');
        }
    } else if (fieldText.empty()) {
        fieldText = "0";
    } else if (fieldText.size() == 2 && fieldText[0] == '0') {
        fieldText.erase(0, 1);
    }
}

void ZRDurationPicker::commitTyping() {
    if (!typed_) {
        return;
    }
    typed_ = false;
    applyDuration(typedDuration(), true, Commit::keepTexts);
}

double ZRDurationPicker::typedDuration() const {
    return fieldNumber(hoursText_) * 3600.0 + fieldNumber(minutesText_) * 60.0;
}

void ZRDurationPicker::refuse() {
    if (delegate_ != nullptr) {
        delegate_->durationPickerPlaySound(kFunkSound);
    }
}

void ZRDurationPicker::notifyChange() {
    if (delegate_ != nullptr) {
        delegate_->durationPickerDidChange(*this);
    }
}

}  // namespace ravelong
