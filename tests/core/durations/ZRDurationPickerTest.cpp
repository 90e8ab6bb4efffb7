#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/durations/ZRDurationPicker.h"
#include "core/durations/ZRDurationPickerDelegate.h"
#include "core/durations/ZRDurationPickerTimePickers.h"
#include "foundation/Clock.h"
#include "support/VirtualMainLoop.h"

namespace ravelong {
namespace {

using Field = ZRDurationPicker::Field;
constexpr double kMax = ZRDurationPicker::kMaximumDuration;

class RecordingDelegate final : public ZRDurationPickerDelegate {
public:
    void durationPickerDidChange(const ZRDurationPicker&) override { ++changes; }
    void durationPickerPlaySound(std::string_view soundName) override {
        sounds.emplace_back(soundName);
    }

    int changes = 0;
    std::vector<std::string> sounds;
};

class FakeTimePickers final : public ZRDurationPickerTimePickers {
public:
    bool endTimePickerHasText() const override { return endShowsNow; }
    Instant startTime() const override { return start; }
    void setStartTime(Instant instant) override { start = instant; }
    void setEndTime(Instant instant) override { end = instant; }

    bool endShowsNow = false;
    Instant start = 1000.0;
    Instant end = 1000.0;
};

class DurationPicker : public ::testing::Test {
protected:
    DurationPicker() {
        picker_.setDelegate(&delegate_);
        picker_.setTimePickers(&timePickers_);
    }

    // What the fields show, as "hours|minutes".
    std::string fields() const { return picker_.hoursText() + "|" + picker_.minutesText(); }
    size_t funks() const { return delegate_.sounds.size(); }

    SettableClock clock_{50000.0};
    ScopedClock scopedClock_{clock_};
    VirtualMainLoop loop_{clock_};
    ScopedMainLoop scopedLoop_{loop_};
    RecordingDelegate delegate_;
    FakeTimePickers timePickers_;
    ZRDurationPicker picker_{loop_};
};

TEST_F(DurationPicker, ShowsTheDurationInWholeMinutes) {
    EXPECT_EQ(fields(), "0|00");
    picker_.setDurationInSeconds(7500);
    EXPECT_EQ(fields(), "2|05");
    EXPECT_EQ(picker_.hoursValue(), 2u);
    EXPECT_EQ(picker_.minutesValue(), 5u);
    picker_.setDurationInSeconds(3599);
    EXPECT_EQ(fields(), "1|00");
    EXPECT_DOUBLE_EQ(picker_.durationInSeconds(), 3599);
    picker_.setDurationInSeconds(29);
    EXPECT_EQ(fields(), "0|00");
    picker_.setDurationInSeconds(30);
    EXPECT_EQ(fields(), "0|01");
}

TEST_F(DurationPicker, KeepsTheDurationBetweenZeroAndNinetySixHours) {
    picker_.setDurationInSeconds(400000);
    EXPECT_DOUBLE_EQ(picker_.durationInSeconds(), kMax);
    EXPECT_EQ(fields(), "96|00");
    picker_.setDurationInSeconds(-5);
    EXPECT_DOUBLE_EQ(picker_.durationInSeconds(), 0);
    picker_.setDurationInSeconds(std::numeric_limits<double>::quiet_NaN());
    EXPECT_DOUBLE_EQ(picker_.durationInSeconds(), 0);

    const int changes = delegate_.changes;
    picker_.setDurationInSeconds(0);
    EXPECT_EQ(delegate_.changes, changes) << "setting the same value again does nothing";
}

// Down stops at 0 when less than a step remains and wraps from 0 to 96:00; up stops at 96:00 and
// wraps from it to 0. Steps add to the exact seconds, not to the minutes shown.
TEST_F(DurationPicker, StepsStopAtTheEndsAndWrapFromThem) {
    const auto after = [&](double start, void (ZRDurationPicker::*step)()) {
        picker_.setDurationInSeconds(start);
        (picker_.*step)();
        return picker_.durationInSeconds();
    };
    using P = ZRDurationPicker;
    EXPECT_DOUBLE_EQ(after(30, &P::decreaseOneMinute), 0);
    EXPECT_DOUBLE_EQ(after(0, &P::decreaseOneMinute), kMax);
    EXPECT_DOUBLE_EQ(after(0, &P::decreaseOneHour), kMax);
    EXPECT_DOUBLE_EQ(after(3000, &P::decreaseOneHour), 0);
    EXPECT_DOUBLE_EQ(after(7200, &P::decreaseOneHour), 3600);
    EXPECT_DOUBLE_EQ(after(125.5, &P::increaseOneMinute), 185.5);
    EXPECT_DOUBLE_EQ(after(kMax - 60, &P::increaseOneMinute), kMax);
    EXPECT_DOUBLE_EQ(after(kMax - 3600, &P::increaseOneHour), kMax);
    EXPECT_DOUBLE_EQ(after(kMax - 1800, &P::increaseOneHour), kMax);
    EXPECT_DOUBLE_EQ(after(kMax, &P::increaseOneMinute), 0);
    EXPECT_DOUBLE_EQ(after(kMax, &P::increaseOneHour), 0);
    EXPECT_DOUBLE_EQ(after(kMax, &P::decreaseOneHour), kMax - 3600);
    EXPECT_EQ(fields(), "95|00");
    EXPECT_EQ(funks(), 0u);
}

TEST_F(DurationPicker, MovesTheEndOrWhileTheEndShowsNowTheStart) {
    picker_.setDurationInSecondsAndPropagateToTimePickers(600);
    EXPECT_DOUBLE_EQ(timePickers_.end, 1600);
    picker_.increaseOneHour();
    EXPECT_DOUBLE_EQ(timePickers_.end, 1000 + 4200);
    picker_.setDurationInSeconds(1200);
    EXPECT_DOUBLE_EQ(timePickers_.end, 1000 + 4200) << "the plain setter leaves the pickers";

    timePickers_.endShowsNow = true;
    picker_.setDurationInSecondsAndPropagateToTimePickers(900);
    EXPECT_DOUBLE_EQ(timePickers_.start, 50000 - 900);
    EXPECT_DOUBLE_EQ(timePickers_.end, 1000 + 4200);

    timePickers_.endShowsNow = false;
    timePickers_.start = 2000;
    picker_.setToMaxAndPropagateToEndTimePicker();
    EXPECT_DOUBLE_EQ(picker_.durationInSeconds(), kMax);
    EXPECT_DOUBLE_EQ(timePickers_.end, 2000 + kMax);
}

TEST_F(DurationPicker, TakesOnlyDigitsTwoPerFieldWithinTheMaximum) {
    EXPECT_FALSE(picker_.changeFieldText(Field::hours, "1a"));
    EXPECT_FALSE(picker_.changeFieldText(Field::hours, " 1"));
    EXPECT_FALSE(picker_.changeFieldText(Field::hours, "123"));
    EXPECT_FALSE(picker_.changeFieldText(Field::minutes, "75"));
    EXPECT_EQ(funks(), 4u);
    EXPECT_EQ(delegate_.sounds.front(), "Funk");
    EXPECT_EQ(fields(), "0|00");

    EXPECT_TRUE(picker_.changeFieldText(Field::minutes, "30"));
    EXPECT_FALSE(picker_.changeFieldText(Field::hours, "96")) << "96:30 is above the maximum";
    EXPECT_TRUE(picker_.changeFieldText(Field::minutes, "00"));
    EXPECT_TRUE(picker_.changeFieldText(Field::hours, "96"));
    EXPECT_FALSE(picker_.changeFieldText(Field::minutes, "01"));
    EXPECT_EQ(fields(), "96|00");
    EXPECT_EQ(funks(), 6u);
}

TEST_F(DurationPicker, CommitsTypingAfterAPauseAndEachKeyRestartsIt) {
    EXPECT_TRUE(picker_.changeFieldText(Field::hours, "12"));
    loop_.advance(1.0);
    EXPECT_TRUE(picker_.changeFieldText(Field::hours, "10"));
    loop_.advance(1.59);
    EXPECT_DOUBLE_EQ(picker_.durationInSeconds(), 0);
    EXPECT_DOUBLE_EQ(timePickers_.end, 1000);
    loop_.advance(0.01);
    EXPECT_DOUBLE_EQ(picker_.durationInSeconds(), 36000);
    EXPECT_DOUBLE_EQ(timePickers_.end, 1000 + 36000);
    EXPECT_TRUE(picker_.isEditing());
    EXPECT_EQ(fields(), "10|00");
}

TEST_F(DurationPicker, CompletesALoneDigitAfterTheFieldsOwnDelay) {
    EXPECT_TRUE(picker_.changeFieldText(Field::hours, "5"));
    loop_.advance(1.69);
    EXPECT_DOUBLE_EQ(picker_.durationInSeconds(), 0);
    loop_.advance(0.01);
    EXPECT_DOUBLE_EQ(picker_.durationInSeconds(), 5 * 3600);

    EXPECT_TRUE(picker_.changeFieldText(Field::minutes, "3"));
    loop_.advance(1.49);
    EXPECT_EQ(fields(), "5|3");
    loop_.advance(0.01);
    EXPECT_EQ(fields(), "5|03");
    EXPECT_DOUBLE_EQ(picker_.durationInSeconds(), 5 * 3600 + 180);
}

TEST_F(DurationPicker, ALoneMinuteDigitFromSixIsCompleteAndRefusesASecondDigit) {
    EXPECT_TRUE(picker_.changeFieldText(Field::minutes, "7"));
    loop_.advance(1.0);
    EXPECT_FALSE(picker_.changeFieldText(Field::minutes, "72"));
    EXPECT_FALSE(picker_.changeFieldText(Field::minutes, "27"));
    EXPECT_EQ(funks(), 2u);
    // Completed 1.5 seconds after the refused key, not after the first one.
    loop_.advance(1.4);
    EXPECT_EQ(fields(), "0|7");
    loop_.advance(0.1);
    EXPECT_EQ(fields(), "0|07");
    EXPECT_DOUBLE_EQ(picker_.durationInSeconds(), 420);

    // Below 6 a second digit is fine.
    EXPECT_TRUE(picker_.changeFieldText(Field::minutes, "5"));
    EXPECT_TRUE(picker_.changeFieldText(Field::minutes, "59"));
}

TEST_F(DurationPicker, EndingEditingTidiesTheFieldsAndCommitsAtOnce) {
    picker_.setDurationInSeconds(3 * 3600 + 1200);
    EXPECT_TRUE(picker_.changeFieldText(Field::hours, "05"));
    EXPECT_TRUE(picker_.changeFieldText(Field::minutes, "4"));
    picker_.endEditing();
    EXPECT_FALSE(picker_.isEditing());
    EXPECT_EQ(fields(), "5|04");
    EXPECT_DOUBLE_EQ(picker_.durationInSeconds(), 5 * 3600 + 240);
    EXPECT_DOUBLE_EQ(timePickers_.end, 1000 + 5 * 3600 + 240);
    EXPECT_EQ(loop_.pendingCount(), 0u);

    EXPECT_TRUE(picker_.changeFieldText(Field::hours, ""));
    EXPECT_TRUE(picker_.changeFieldText(Field::minutes, ""));
    picker_.endEditing();
    EXPECT_EQ(fields(), "0|00");
    EXPECT_DOUBLE_EQ(picker_.durationInSeconds(), 0);
}

TEST_F(DurationPicker, MovingToTheOtherFieldTakesWhatWasTyped) {
    EXPECT_TRUE(picker_.changeFieldText(Field::hours, "08"));
    EXPECT_TRUE(picker_.beginEditing(Field::minutes));
    EXPECT_EQ(picker_.editingField(), Field::minutes);
    EXPECT_EQ(fields(), "8|00");
    EXPECT_DOUBLE_EQ(picker_.durationInSeconds(), 8 * 3600);
    EXPECT_EQ(loop_.pendingCount(), 0u);
}

TEST_F(DurationPicker, EditingWithoutTypingLeavesSecondsUntouched) {
    // The fields show whole minutes; committing them would cut 125.4 s to 120 s and move the end.
    picker_.setDurationInSecondsAndPropagateToTimePickers(125.4);
    picker_.beginEditing(Field::minutes);
    picker_.endEditing();
    EXPECT_DOUBLE_EQ(picker_.durationInSeconds(), 125.4);
    EXPECT_DOUBLE_EQ(timePickers_.end, 1125.4);
}

TEST_F(DurationPicker, AStepWhileTypingStartsFromWhatWasTyped) {
    EXPECT_TRUE(picker_.changeFieldText(Field::hours, "2"));
    picker_.increaseOneMinute();
    EXPECT_DOUBLE_EQ(picker_.durationInSeconds(), 2 * 3600 + 60);
    EXPECT_EQ(fields(), "2|01");
    EXPECT_EQ(loop_.pendingCount(), 0u);
}

TEST_F(DurationPicker, AFixedPickerRefusesTypingAndSteps) {
    EXPECT_TRUE(picker_.changeFieldText(Field::hours, "3"));
    picker_.setEditable(false);
    EXPECT_FALSE(picker_.isEditing());
    EXPECT_DOUBLE_EQ(picker_.durationInSeconds(), 3 * 3600) << "typing is kept, not lost";

    EXPECT_FALSE(picker_.changeFieldText(Field::hours, "4"));
    picker_.increaseOneHour();
    EXPECT_FALSE(picker_.beginEditing(Field::minutes));
    EXPECT_EQ(funks(), 3u);
    EXPECT_DOUBLE_EQ(picker_.durationInSeconds(), 3 * 3600);

    picker_.setEditable(true);
    picker_.increaseOneHour();
    EXPECT_DOUBLE_EQ(picker_.durationInSeconds(), 4 * 3600);
}

TEST_F(DurationPicker, AValueFromOutsideDropsHalfTypedText) {
    EXPECT_TRUE(picker_.changeFieldText(Field::minutes, "4"));
    picker_.setDurationInSeconds(7200);
    EXPECT_EQ(fields(), "2|00");
    loop_.advance(5);
    EXPECT_DOUBLE_EQ(picker_.durationInSeconds(), 7200);
}

TEST_F(DurationPicker, DestroyingThePickerCancelsItsTimers) {
    auto picker = std::make_unique<ZRDurationPicker>(loop_);
    picker->setDelegate(&delegate_);
    EXPECT_TRUE(picker->changeFieldText(Field::hours, "4"));
    EXPECT_EQ(loop_.pendingCount(), 1u);
    picker.reset();
    EXPECT_EQ(loop_.pendingCount(), 0u);
    loop_.advance(5);
}

}  // namespace
}  // namespace ravelong
