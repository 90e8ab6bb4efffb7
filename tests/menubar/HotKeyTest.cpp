#include "app/PreferenceKeys.h"
#include "core/timer/TimerTexts.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "menubar/HotKeyActions.h"
#include "menubar/HotKeyCombination.h"
#include "menubar/HotKeyController.h"
#include "tests/stats/StatsTestWorld.h"

namespace ravelong {
namespace {

using stats_testing::berlinTime;
using Combination = HotKeyCombination;

TEST(HotKeyCombination, ReadsBothStoredFormsAndRefusesOthers) {
    struct Case {
        const char* json;
        std::optional<Combination> expected;
        bool ok;
    };
    const Case cases[] = {
        {R"({"keyCode": 116, "modifierFlags": 786432})",
         Combination{0x74, Combination::kControl | Combination::kAlt}, true},
        // Unknown bits (device-dependent ones) are dropped.
        {R"({"keyCode": 65474, "modifierFlags": 1179904})",
         Combination{0xffc2, Combination::kSuper | Combination::kShift}, true},
        // The older form: 256 super, 512 shift, 1024 caps lock (ignored), 2048 alt, 4096 ctrl.
        {R"({"keyCode": 116, "modifiers": 6400})",
         Combination{0x74, Combination::kControl | Combination::kAlt | Combination::kSuper}, true},
        {R"({"keyCode": 32, "modifiers": 1536})", Combination{0x20, Combination::kShift}, true},
        {"null", std::nullopt, true},
        {R"({"keyCode": 65536, "modifierFlags": 0})", std::nullopt, false},
        {R"({"keyCode": -1, "modifierFlags": 0})", std::nullopt, false},
        {R"({"keyCode": "t", "modifierFlags": 0})", std::nullopt, false},
        {R"({"keyCode": 116, "modifierFlags": "ctrl"})", std::nullopt, false},
        {R"({"keyCode": 116})", std::nullopt, false},
        {R"({"modifierFlags": 0})", std::nullopt, false},
        {R"([116, 0])", std::nullopt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        const auto read = Combination::fromDictionary(nlohmann::json::parse(c.json));
        ASSERT_EQ(read.ok(), c.ok);
        if (c.ok) {
            EXPECT_EQ(read.value(), c.expected);
        }
    }
    // Writing gives the current form, which reads back the same.
    const Combination written{0xffc2, Combination::kShift | Combination::kSuper};
    EXPECT_EQ(written.toDictionary(),
              nlohmann::json::parse(R"({"keyCode": 65474, "modifierFlags": 1179648})"));
    EXPECT_EQ(Combination::fromDictionary(written.toDictionary()).value(), written);
}

TEST(HotKeyCombination, TriggerAndDisplayTexts) {
    struct Case {
        Combination combination;
        const char* trigger;
        const char* display;
    };
    const Case cases[] = {
        {{0x74, Combination::kControl | Combination::kAlt}, "CTRL+ALT+t", "Ctrl+Alt+T"},
        {{0xffc2, Combination::kShift | Combination::kSuper}, "SHIFT+LOGO+F5", "Shift+Super+F5"},
        {{0x20, Combination::kControl}, "CTRL+space", "Ctrl+space"},
        {{0xff0d, 0}, "Return", "Return"},
        {{0x54, Combination::kShift}, "SHIFT+t", "Shift+T"},
        {{0xfe03, Combination::kControl}, "", "Ctrl+?"},  // no name known: no trigger
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.combination.portalTriggerText(), c.trigger);
        EXPECT_EQ(c.combination.displayText(), c.display);
    }
    EXPECT_EQ(hotKeyActionName("ZRToggleTimerHotKey"), "hitToggleTimerHotKey");
    EXPECT_EQ(hotKeyActionName("ZRShowRecentTasksHotKey"), "hitShowRecentTasksHotKey");
}

// A desktop service that records registrations and lets the test press a shortcut.
class FakeHotKeyService final : public GlobalHotKeyService {
public:
    bool isAvailable() const override { return true; }
    Status registerHotKey(std::string_view identifier,
                          const HotKeyCombination& combination) override {
        if (combination == taken)
            return Error{kRavelongErrorDomain, 2, "taken", {}};
        registered[std::string(identifier)] = combination;
        return {};
    }
    void unregisterHotKey(std::string_view identifier) override {
        registered.erase(std::string(identifier));
        ++unregistrations;
    }
    void setActivationHandler(std::function<void(const std::string&)> handler) override {
        handler_ = std::move(handler);
    }
    // A press reaches the program only for a combination that is registered.
    void press(const HotKeyCombination& combination) {
        for (const auto& [identifier, registeredCombination] : registered)
            if (registeredCombination == combination && handler_)
                handler_(identifier);
    }

    std::map<std::string, HotKeyCombination> registered;
    HotKeyCombination taken{0x71, HotKeyCombination::kControl};
    int unregistrations = 0;

private:
    std::function<void(const std::string&)> handler_;
};

class HotKeyTest : public stats_testing::StatsWorld {
protected:
    HotKeyTest() { tree("Client Design<Client Admin"); }
    std::size_t funks() const { return delegate->sound.played().size(); }

    ZRTimerControllerOSX controller{*delegate};
    ZRCDTask* current = nullptr;
    int panelToggles = 0;
    int stackMenus = 0;
    HotKeyActions actions{
        controller, HotKeyActions::Hooks{[this] { return current; }, [this] { ++panelToggles; },
                                         [this] { ++stackMenus; }}};
};

TEST_F(HotKeyTest, ToggleTimerRefusesAParentOrNoTaskAndTogglesALeaf) {
    EXPECT_FALSE(actions.hitToggleTimerHotKey());
    current = tasks.at("Client");
    EXPECT_FALSE(actions.hitToggleTimerHotKey());
    EXPECT_EQ(funks(), 2u);
    EXPECT_EQ(ZRCDTiming::numberOfTimings_inContext(*context), 0u);
    current = tasks.at("Admin");
    ASSERT_TRUE(actions.hitToggleTimerHotKey());
    EXPECT_EQ(ZRCDTiming::numberOfRunningTimings_inContext(*context), 1u);
    EXPECT_FALSE(context->hasChanges());
    EXPECT_EQ(undoName(), "Start Timer");
    // The note panel is asked without looking at the keys.
    loop.advance(1);
    ASSERT_EQ(delegate->notePanel.openings().size(), 1u);
    EXPECT_EQ(delegate->notePanel.openings()[0].type, kNotePanelAfterStart);
    EXPECT_FALSE(delegate->notePanel.openings()[0].considerModifierKeys);
    clock.advance(600);
    ASSERT_TRUE(actions.hitToggleTimerHotKey());
    EXPECT_EQ(ZRCDTiming::numberOfRunningTimings_inContext(*context), 0u);
}

TEST_F(HotKeyTest, ToggleTimerAndAddNoteUsesTheLastChangedLeafAndAlwaysAsksForTheNote) {
    EXPECT_TRUE(actions.perform("ToggleTimerAndAddNote"));
    loop.advance(1);
    ASSERT_EQ(ZRCDTiming::numberOfRunningTimings_inContext(*context), 1u);
    ZRCDTiming* running = ZRCDTiming::getRunningTimings_inContext(*context)[0];
    EXPECT_EQ(running->task(), ZRCDTask::getLastModifiedUnarchivedLeafTask_inContext(*context));
    ASSERT_EQ(delegate->notePanel.openings().size(), 1u);
    EXPECT_EQ(delegate->notePanel.openings()[0].type, kNotePanelAfterStartAlways);

    EXPECT_TRUE(actions.perform("AddNote"));
    EXPECT_EQ(delegate->notePanel.openings().back(),
              (RecordingAddNotePanel::Opening{1, nullptr, false}));
    EXPECT_TRUE(actions.perform("ToggleMenuBarPanel"));
    EXPECT_TRUE(actions.perform("ShowRecentTasks"));
    EXPECT_EQ(panelToggles, 1);
    EXPECT_EQ(stackMenus, 1);
    EXPECT_FALSE(actions.perform("toggleTimer"));
}

TEST_F(HotKeyTest, ControllerFollowsThePreferencesAndForgetsAClearedShortcut) {
    FakeHotKeyService service;
    const Combination toggle{0x74, Combination::kControl | Combination::kAlt};
    defaults.setDictionary(kZRToggleTimerHotKey, toggle.toDictionary());
    defaults.setDictionary(kZRAddNoteHotKey,
                           nlohmann::json::parse(R"({"keyCode": 110, "modifiers": 4352})"));
    defaults.setDictionary(kZRShowRecentTasksHotKey,
                           nlohmann::json::parse(R"({"keyCode": "x", "modifierFlags": 0})"));
    HotKeyController hotKeys(defaults, service, actions);
    EXPECT_EQ(service.registered.size(), 2u);
    EXPECT_EQ(service.registered.at("AddNote"),
              (Combination{0x6e, Combination::kControl | Combination::kSuper}));
    ASSERT_EQ(hotKeys.lastErrors().count("ZRShowRecentTasksHotKey"), 1u);
    // The unreadable value is left as it was for the user to fix.
    EXPECT_EQ(defaults.dictionaryForKey(kZRShowRecentTasksHotKey)["keyCode"], "x");

    current = tasks.at("Admin");
    service.press(toggle);
    EXPECT_EQ(ZRCDTiming::numberOfRunningTimings_inContext(*context), 1u);

    // Cleared: unregistered at once, and the old combination does nothing any more.
    defaults.remove(kZRToggleTimerHotKey);
    EXPECT_FALSE(hotKeys.isRegistered(kZRToggleTimerHotKey));
    clock.advance(600);
    service.press(toggle);
    EXPECT_EQ(ZRCDTiming::numberOfRunningTimings_inContext(*context), 1u);

    // Changed to a combination another program holds: the error is kept, nothing registered.
    defaults.setDictionary(kZRToggleMenuBarPanelHotKey, service.taken.toDictionary());
    EXPECT_FALSE(hotKeys.isRegistered(kZRToggleMenuBarPanelHotKey));
    EXPECT_EQ(hotKeys.lastErrors().count("ZRToggleMenuBarPanelHotKey"), 1u);
    // Moved to another combination: the old registration goes first.
    const int before = service.unregistrations;
    defaults.setDictionary(kZRAddNoteHotKey, Combination{0x6e, Combination::kAlt}.toDictionary());
    EXPECT_EQ(service.unregistrations, before + 1);
    EXPECT_EQ(service.registered.at("AddNote"), (Combination{0x6e, Combination::kAlt}));
}

}  // namespace
}  // namespace ravelong
