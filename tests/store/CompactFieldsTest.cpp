// The compact record fields read as the optionals they stand for and pass through Value, as the
// store's loading, saving, undo and merges move them.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "store/CompactFields.h"
#include "store/EntityDescription.h"

namespace ravelong {
namespace {

template <class Field>
Field throughValue(const Field& field) {
    Field result;
    entity_builder::valueToField(result, entity_builder::fieldToValue(field));
    return result;
}

TEST(CompactFieldsTest, OptionalDoubleKeepsEveryNumberAndTakesNaNAsNone) {
    for (const double number : {0.0, -0.0, -1.5, 8.64e12, -978307200.0}) {
        const OptionalDouble field(number);
        ASSERT_TRUE(field.has_value()) << number;
        EXPECT_EQ(std::signbit(*throughValue(field)), std::signbit(number));
        EXPECT_EQ(std::optional<double>(throughValue(field)), number);
    }
    EXPECT_FALSE(OptionalDouble(std::nan("")).has_value());
    EXPECT_FALSE(throughValue(OptionalDouble()).has_value());
    EXPECT_TRUE(isAbsent(entity_builder::fieldToValue(OptionalDouble(std::nullopt))));
    EXPECT_EQ(OptionalDouble(std::optional<double>()).value_or(7.0), 7.0);
}

TEST(CompactFieldsTest, TextsReadAsOptionalTexts) {
    const SharedText zone(std::string("Europe/Berlin"));
    const BoxedText note(std::string("a, \"quoted\" note"));
    EXPECT_EQ(*throughValue(zone), "Europe/Berlin");
    EXPECT_EQ(throughValue(note), std::optional<std::string>("a, \"quoted\" note"));
    EXPECT_FALSE(throughValue(SharedText()).has_value());
    EXPECT_FALSE(throughValue(BoxedText()).has_value());
    // An empty text is a text, not none.
    EXPECT_TRUE(throughValue(BoxedText(std::string())).has_value());
    EXPECT_TRUE(throughValue(SharedText(std::string_view())).has_value());

    // A boxed text's copy is its own.
    BoxedText copy = note;
    copy = BoxedText(std::string("changed"));
    EXPECT_EQ(*note, "a, \"quoted\" note");
}

TEST(CompactFieldsTest, EqualSharedTextsAreKeptOnceAcrossThreads) {
    std::vector<const std::string*> kept(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < kept.size(); ++i)
        threads.emplace_back([&kept, i] {
            for (int round = 0; round < 200; ++round)
                kept[i] = SharedText(std::string("Zone/" + std::to_string(round))).get();
        });
    for (std::thread& thread : threads)
        thread.join();
    for (const std::string* text : kept) {
        EXPECT_EQ(text, kept.front());
        EXPECT_EQ(*text, "Zone/199");
    }
    EXPECT_NE(SharedText(std::string_view("A")).get(), SharedText(std::string_view("B")).get());
}

}  // namespace
}  // namespace ravelong
