#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "ui/TaskEditDialog.h"

namespace ravelong {
namespace {

MenuBarTaskEditor::TaskValues values(std::int16_t rounding) {
    return {"Design", TaskColor{0.2, 0.4, 0.6, 1.0}, "Logo work", rounding};
}

TEST(TaskEditDialog, RoundingCodesAndChoicesMapBothWays) {
    struct Case {
        int code;
        int choice;
        int minutes;
    };
    // choice: 0 inherit, 1 none, 2 up, 3 nearest, 4 down
    for (const Case& c : {Case{-1, 0, 15}, Case{0, 1, 15}, Case{105, 2, 5}, Case{215, 3, 15},
                          Case{399, 4, 99}, Case{101, 2, 1}}) {
        EXPECT_EQ(TaskEditDialog::choiceOfRoundingCode(c.code), std::make_pair(c.choice, c.minutes))
            << c.code;
        EXPECT_EQ(TaskEditDialog::roundingCode(c.choice, c.minutes), c.code) << c.code;
    }
    // Codes that round nothing read as "none"; minutes out of range are limited.
    EXPECT_EQ(TaskEditDialog::choiceOfRoundingCode(30).first, 1);
    EXPECT_EQ(TaskEditDialog::choiceOfRoundingCode(200).first, 1);
    EXPECT_EQ(TaskEditDialog::roundingCode(3, 0), 201);
    EXPECT_EQ(TaskEditDialog::roundingCode(4, 250), 399);
}

TEST(TaskEditDialog, GivesBackWhatWasChangedAndKeepsAnUntouchedOverride) {
    // A subtask's explicit "no rounding" with minutes (type 0) stays as stored when untouched.
    TaskEditDialog untouched(values(30));
    EXPECT_EQ(untouched.values(), values(30));

    TaskEditDialog dialog(values(-1));
    EXPECT_FALSE(dialog.roundingMinutes()->isEnabled());
    dialog.nameField()->setText("  Branding ");
    dialog.roundingChoice()->setCurrentIndex(4);
    EXPECT_TRUE(dialog.roundingMinutes()->isEnabled());
    dialog.roundingMinutes()->setValue(10);
    const MenuBarTaskEditor::TaskValues changed = dialog.values();
    EXPECT_EQ(changed.name, "Branding");
    EXPECT_EQ(changed.rounding, 310);
    EXPECT_EQ(changed.description, "Logo work");
    EXPECT_EQ(changed.color, values(-1).color);
}

TEST(TaskEditDialog, ABlankNameCannotBeConfirmed) {
    TaskEditDialog dialog(values(-1));
    QPushButton* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    EXPECT_TRUE(ok->isEnabled());
    dialog.nameField()->setText("   ");
    EXPECT_FALSE(ok->isEnabled());
    dialog.nameField()->setText("x");
    EXPECT_TRUE(ok->isEnabled());
}

}  // namespace
}  // namespace ravelong
