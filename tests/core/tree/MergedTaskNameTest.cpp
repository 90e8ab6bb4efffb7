#include <gtest/gtest.h>

#include "core/tree/MergedTaskName.h"
#include "core/tree/TextWidthMeasurer.h"

namespace ravelong {
namespace {

using merged_task_name::limitedToMergedNameWidth;
using merged_task_name::mergedDescription;
using merged_task_name::mergedName;

TEST(MergedTaskName, ACommonStartEndingInASpaceIsWrittenOnce) {
    EXPECT_EQ(mergedName("Client A Meetings", "Client A Design"), "Client A Meetings + Design");
    EXPECT_EQ(mergedName("Client A Meetings", "CLIENT a Design"), "Client A Meetings + Design");
    EXPECT_EQ(mergedName("Alpha", "Beta"), "Alpha + Beta");
    // A common start that stops inside a word is not a shared prefix.
    EXPECT_EQ(mergedName("Clients A", "Client B"), "Clients A + Client B");
    EXPECT_EQ(mergedName("Client Alpha", "Client Alpine"), "Client Alpha + Client Alpine");
    // Equal names, also in another case, stay one name.
    EXPECT_EQ(mergedName("Design", "design"), "Design");
    // Case is folded beyond ASCII, and characters are cut whole.
    EXPECT_EQ(mergedName("Über Mails", "über Calls"), "Über Mails + Calls");
    EXPECT_EQ(mergedName("Ärger ", "ärger "), "Ärger ");
}

TEST(MergedTaskName, LongNamesAreCutToTheWidthOfTheList) {
    const std::string seventy(70, 'x');
    EXPECT_EQ(limitedToMergedNameWidth(seventy), seventy);
    EXPECT_EQ(limitedToMergedNameWidth(seventy + "yz"), seventy);
    // Multi-byte characters count as one each and are never split.
    std::string umlauts;
    for (int i = 0; i < 80; ++i)
        umlauts += "ä";
    const std::string cut = limitedToMergedNameWidth(umlauts);
    EXPECT_EQ(merged_task_name::characterCount(cut), 70u);
    EXPECT_EQ(cut.size(), 140u);
}

class WideFont final : public TextWidthMeasurer {
public:
    double widthOfText(std::string_view utf8) const override {
        return static_cast<double>(merged_task_name::characterCount(utf8)) * 200.0;
    }
};

TEST(MergedTaskName, AnInstalledMeasurerDecidesButFiveCharactersAlwaysStay) {
    WideFont wide;
    {
        ScopedTextWidthMeasurer scoped(wide);
        EXPECT_EQ(limitedToMergedNameWidth("Alpha + Beta"), "Alpha");
        EXPECT_EQ(limitedToMergedNameWidth("Abc"), "Abc");
    }
    EXPECT_EQ(limitedToMergedNameWidth("Alpha + Beta"), "Alpha + Beta");
}

TEST(MergedTaskName, DescriptionsAreJoinedWithAnEmptyLine) {
    EXPECT_EQ(mergedDescription("Weekly", "Logo"), "Weekly\n\nLogo");
    EXPECT_EQ(mergedDescription(std::nullopt, "Logo"), "Logo");
    EXPECT_EQ(mergedDescription(std::string(), "Logo"), "Logo");
    EXPECT_EQ(mergedDescription("Weekly", std::nullopt), "Weekly");
    EXPECT_EQ(mergedDescription("Same", "Same"), "Same");
    EXPECT_EQ(mergedDescription(std::nullopt, std::nullopt), std::nullopt);
}

}  // namespace
}  // namespace ravelong
