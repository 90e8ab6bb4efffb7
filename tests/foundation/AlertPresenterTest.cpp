#include <gtest/gtest.h>

#include "foundation/AlertPresenter.h"
#include "foundation/Log.h"

namespace ravelong {
namespace {

TEST(AlertPresenter, ScriptedPresenterRecordsAlertsAndAnswersInOrder) {
    ScriptedAlertPresenter presenter;
    ScopedAlertPresenter installed(presenter);
    presenter.queueButton(1);

    Alert question{.messageText = "Delete the task?",
                   .informativeText = "It has archived subtasks.",
                   .buttons = {"Delete", "Cancel"}};
    EXPECT_EQ(AlertPresenter::current().runModal(question).buttonIndex, 1);
    // Nothing queued any more: the default button answers.
    EXPECT_EQ(AlertPresenter::current().runModal(question).buttonIndex, 0);
    ASSERT_EQ(presenter.shownAlerts().size(), 2u);
    EXPECT_EQ(presenter.shownAlerts()[0], question);
}

TEST(AlertPresenter, ErrorsShowTheirDescriptionAndReason) {
    ScriptedAlertPresenter presenter;
    ScopedAlertPresenter installed(presenter);
    AlertPresenter::current().presentError(Error{"YOUR_ERROR_DOMAIN", 9999,
                                                 "Failed to initialize the store",
                                                 "There was an error building up the data file."});
    ASSERT_EQ(presenter.shownAlerts().size(), 1u);
    EXPECT_EQ(presenter.shownAlerts()[0].messageText, "Failed to initialize the store");
    EXPECT_EQ(presenter.shownAlerts()[0].informativeText,
              "There was an error building up the data file.");
}

TEST(AlertPresenter, WithoutAnInstalledPresenterAlertsAreLoggedAndTakeTheDefault) {
    LogCapture capture(LogCapture::Output::silent);
    const AlertResponse response = AlertPresenter::current().runModal(
        Alert{"Something happened", "Details", {"OK", "Cancel"}});
    EXPECT_EQ(response.buttonIndex, 0);
    EXPECT_TRUE(capture.contains("alert", "Something happened"));
}

}  // namespace
}  // namespace ravelong
