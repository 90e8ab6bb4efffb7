#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QTimer>

#include "sync/SyncAlerts.h"
#include "sync/SyncTexts.h"
#include "ui/CloudDataAvailableWindow.h"
#include "ui/FinishingSyncWindow.h"
#include "ui/QtText.h"
#include "ui/ReleechWindow.h"
#include "ui/SyncAlertWindow.h"
#include "ui/SyncIndicator.h"
#include "ui/SyncMergeConflictWindow.h"
#include "ui/UiTestSupport.h"

namespace ravelong {
namespace {

namespace t = sync_texts;

// Answers the window once its modal loop runs: presses the button with that identifier, or
// closes the window (Escape) when the identifier is empty.
int answer(SyncQuestionDialog& window, const QString& identifier) {
    QTimer::singleShot(0, &window, [&window, identifier] {
        if (identifier.isEmpty()) {
            window.reject();
            return;
        }
        auto* button = window.findChild<QPushButton*>(identifier);
        ASSERT_TRUE(button) << identifier.toStdString();
        button->click();
    });
    const int code = window.ask();
    EXPECT_FALSE(window.isVisible());  // each answer closes its window
    return code;
}

TEST(SyncWindows, EachAnswerGivesItsModalCode) {
    struct Case {
        const char* what;
        std::function<std::unique_ptr<SyncQuestionDialog>()> make;
        QString identifier;
        int code;
    } cases[] = {
        {"use cloud", [] { return std::make_unique<SyncMergeConflictWindow>(); }, "useCloud",
         SyncAlerts::kUseCloud},
        {"use local", [] { return std::make_unique<SyncMergeConflictWindow>(); }, "useLocal",
         SyncAlerts::kUseLocal},
        {"conflict closed", [] { return std::make_unique<SyncMergeConflictWindow>(); }, "",
         SyncAlerts::kUseLocal},
        {"continue", [] { return std::make_unique<CloudDataAvailableWindow>(); },
         "continueWithCloudData", SyncAlerts::kCloudDataContinue},
        {"delete", [] { return std::make_unique<CloudDataAvailableWindow>(); }, "deleteCloudData",
         SyncAlerts::kCloudDataDelete},
        {"cloud data closed", [] { return std::make_unique<CloudDataAvailableWindow>(); }, "",
         SyncAlerts::kCloudDataOther},
        {"releech", [] { return std::make_unique<ReleechWindow>(); }, "releech",
         SyncAlerts::kReleechNow},
        {"not now", [] { return std::make_unique<ReleechWindow>(); }, "notNow",
         SyncAlerts::kReleechLater},
        {"alert", [] { return std::make_unique<SyncAlertWindow>("Gone", "The folder went."); },
         "ok", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto window = c.make();
        EXPECT_EQ(answer(*window, c.identifier), c.code);
    }
    // The rule of the cloud-data window goes by the identifier's beginning.
    EXPECT_EQ(CloudDataAvailableWindow::codeForButton("continueLater"), 2);
    EXPECT_EQ(CloudDataAvailableWindow::codeForButton("deleteAll"), 1);
    EXPECT_EQ(CloudDataAvailableWindow::codeForButton("cancel"), 0);
}

TEST(SyncWindows, TheConflictWindowFitsItsMessageAndRemembersApplyToAll) {
    SyncMergeConflictWindow window;
    window.resize(480, 120);
    const std::string shortText =
        "A value has been changed since the last connection with the cloud.";
    const std::string longText =
        "A task's name has been changed since the last connection with the cloud.\nCloud "
        "value: Writing <draft>\nLocal value: Writing & reading";
    window.setConflictMessage(qt(shortText));
    const int shortHeight = window.height();
    window.setConflictMessage(qt(longText));
    EXPECT_EQ(window.width(), 480);  // the width stays
    EXPECT_GT(window.height(), shortHeight);
    auto* label = window.findChild<QLabel*>("message");
    ASSERT_TRUE(label);
    const int messageWidth = 480 - window.layout()->contentsMargins().left() -
                             window.layout()->contentsMargins().right();
    EXPECT_EQ(window.height(),
              label->heightForWidth(messageWidth) + SyncMergeConflictWindow::kExtraHeight);
    // Three paragraphs, the markup of the values shown as text.
    EXPECT_EQ(window.message().count(QStringLiteral("<p ")), 3);
    EXPECT_TRUE(window.message().contains(QStringLiteral("Writing &lt;draft&gt;")));
    EXPECT_TRUE(window.message().contains(QStringLiteral("margin-bottom:8px")));

    window.findChild<QCheckBox*>("applyToAll")->setChecked(true);
    EXPECT_EQ(answer(window, "useCloud"), SyncAlerts::kUseCloud);
    EXPECT_TRUE(window.applyToAll());
    EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST(SyncWindows, TheFinishingWindowNamesTheServiceAndFollowsProgress) {
    struct Case {
        std::int64_t service;
        std::string_view label;
    } cases[] = {{1, t::kSynchronizingWithICloud},
                 {2, t::kSynchronizingWithDropbox},
                 {5, t::kSynchronizing}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.service);
        FinishingSyncWindow window(c.service);
        window.present();
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(window.label(), qt(c.label));
        EXPECT_TRUE(window.isIndeterminate());
        window.mergeMadeProgress(0.4);
        EXPECT_FALSE(window.isIndeterminate());
        EXPECT_DOUBLE_EQ(window.barValue(), 0.4);
        window.mergeMadeProgress(0.999);
        EXPECT_FALSE(window.isIndeterminate());
        window.mergeMadeProgress(1.0);
        EXPECT_TRUE(window.isIndeterminate());
        EXPECT_EQ(window.label(), qt(c.label));
    }
}

TEST(SyncIndicator, HiddenSpinningOrStillByState) {
    QWidget host;
    SyncIndicator* indicator = new SyncIndicator(&host);
    host.show();
    EXPECT_FALSE(indicator->isVisible());
    indicator->setSyncStateTo(1, false);
    EXPECT_TRUE(indicator->isVisible());
    EXPECT_TRUE(indicator->isSpinning());
    // It turns anticlockwise.
    EXPECT_TRUE(ui_testing::runUntil([&] { return indicator->angle() < -10.0; }));
    indicator->setSyncStateTo(3, false);
    EXPECT_TRUE(indicator->isVisible());
    EXPECT_FALSE(indicator->isSpinning());
    EXPECT_EQ(indicator->angle(), 0.0);
    indicator->setSyncStateTo(1, true);
    EXPECT_TRUE(indicator->isSpinning());
    // Animated away: still there while it fades, hidden and still afterwards.
    indicator->setSyncStateTo(0, true);
    EXPECT_TRUE(indicator->isVisible());
    EXPECT_TRUE(ui_testing::runUntil([&] { return !indicator->isVisible(); }, 2000));
    EXPECT_FALSE(indicator->isSpinning());
    // Animated in from hidden: shown at once, fading in.
    indicator->setSyncStateTo(1, true);
    EXPECT_TRUE(indicator->isVisible());
    EXPECT_TRUE(indicator->isSpinning());
    indicator->setSyncStateTo(0, false);
    EXPECT_FALSE(indicator->isVisible());
    EXPECT_EQ(indicator->syncState(), 0);
}

}  // namespace
}  // namespace ravelong
