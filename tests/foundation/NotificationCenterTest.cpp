#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/NotificationCenter.h"

namespace ravelong {
namespace {

TEST(NotificationCenter, ObserversRunInRegistrationOrderForTheirName) {
    NotificationCenter center;
    std::string calls;
    center.addObserver("ZRTimeUpdate", nullptr, [&](const Notification&) { calls += 'a'; });
    center.addObserver("Other", nullptr, [&](const Notification&) { calls += 'x'; });
    center.addObserver("", nullptr, [&](const Notification&) { calls += 'b'; });
    center.addObserver("ZRTimeUpdate", nullptr, [&](const Notification&) { calls += 'c'; });
    center.post("ZRTimeUpdate");
    EXPECT_EQ(calls, "abc");
}

TEST(NotificationCenter, ObjectFilterMatchesOnlyThatSender) {
    NotificationCenter center;
    int senderA = 0;
    int senderB = 0;
    std::vector<const void*> seen;
    center.addObserver("Changed", &senderA,
                       [&](const Notification& n) { seen.push_back(n.object); });
    center.post("Changed", &senderB);
    center.post("Changed");
    center.post("Changed", &senderA);
    EXPECT_EQ(seen, (std::vector<const void*>{&senderA}));
}

TEST(NotificationCenter, ObserverReceivesNameObjectAndUserInfo) {
    NotificationCenter center;
    int sender = 0;
    Notification received;
    center.addObserver("Saved", nullptr, [&](const Notification& n) { received = n; });
    center.post("Saved", &sender, {{"count", 3}, {"name", std::string("Write")}});
    EXPECT_EQ(received.name, "Saved");
    EXPECT_EQ(received.object, &sender);
    ASSERT_NE(received.value<int>("count"), nullptr);
    EXPECT_EQ(*received.value<int>("count"), 3);
    EXPECT_EQ(*received.value<std::string>("name"), "Write");
    EXPECT_EQ(received.value<double>("count"), nullptr);  // wrong type
    EXPECT_EQ(received.value<int>("missing"), nullptr);
}

TEST(NotificationCenter, ObserverRemovedBeforeItsTurnDuringAPostIsNotCalled) {
    NotificationCenter center;
    std::string calls;
    NotificationCenter::ObserverId second = 0;
    center.addObserver("N", nullptr, [&](const Notification&) {
        calls += 'a';
        center.removeObserver(second);
    });
    second = center.addObserver("N", nullptr, [&](const Notification&) { calls += 'b'; });
    center.addObserver("N", nullptr, [&](const Notification&) { calls += 'c'; });
    center.post("N");
    center.post("N");
    EXPECT_EQ(calls, "acac");
    // Removing it again, or an id never given, is harmless.
    center.removeObserver(second);
    center.removeObserver(424242);
    EXPECT_EQ(center.observerCount(), 2u);
}

TEST(NotificationCenter, ObserverMayRemoveItselfWhileRunning) {
    NotificationCenter center;
    int calls = 0;
    NotificationCenter::ObserverId self = 0;
    std::string captured = "kept alive by the capture";
    self = center.addObserver("N", nullptr, [&, captured](const Notification&) {
        center.removeObserver(self);
        ++calls;
        EXPECT_EQ(captured, "kept alive by the capture");  // the callable survived its removal
    });
    center.post("N");
    center.post("N");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(center.observerCount(), 0u);
}

TEST(NotificationCenter, ObserverAddedDuringAPostIsCalledFromTheNextPost) {
    NotificationCenter center;
    std::string calls;
    bool added = false;
    center.addObserver("N", nullptr, [&](const Notification&) {
        calls += 'a';
        if (!added) {
            added = true;
            center.addObserver("N", nullptr, [&](const Notification&) { calls += 'n'; });
        }
    });
    center.post("N");
    EXPECT_EQ(calls, "a");
    center.post("N");
    EXPECT_EQ(calls, "aan");
}

TEST(NotificationCenter, ObserverMayPostAnotherNotification) {
    NotificationCenter center;
    std::string calls;
    center.addObserver("First", nullptr, [&](const Notification&) {
        calls += '1';
        center.post("Second");
        calls += '3';
    });
    center.addObserver("Second", nullptr, [&](const Notification&) { calls += '2'; });
    center.post("First");
    EXPECT_EQ(calls, "123");
}

TEST(NotificationCenter, DefaultCenterCanBeSubstituted) {
    NotificationCenter& processCenter = NotificationCenter::defaultCenter();
    NotificationCenter mine;
    NotificationCenter::setDefaultCenter(&mine);
    EXPECT_EQ(&NotificationCenter::defaultCenter(), &mine);
    NotificationCenter::setDefaultCenter(nullptr);
    EXPECT_EQ(&NotificationCenter::defaultCenter(), &processCenter);
}

}  // namespace
}  // namespace ravelong
