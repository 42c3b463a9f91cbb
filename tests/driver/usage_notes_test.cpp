#include "driver/usage_notes.hpp"

#include <gtest/gtest.h>

namespace mosfet::driver {
namespace {

TEST(UsageNotes, HasNineteenLinesWithTheNamesInsertedAtTheirLength) {
    const std::vector<std::string> lines =
        usage_notes_lines("MOSFET_input_data.txt", "MOSFET_transistor_vi");
    ASSERT_EQ(lines.size(), 19U);
    // Line 1, the ownership notice, is ours to word: one line, no blank lines around it.
    EXPECT_FALSE(lines[0].empty());
    const std::size_t lengths[] = {60, 0,  43, 0, 85, 28, 0,  68, 66,
                                   67, 68, 68, 0, 69, 68, 60, 17, 0};
    for (std::size_t i = 1; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].size(), lengths[i - 1]) << "line " << i + 1;
        EXPECT_TRUE(lines[i].empty() || lines[i].back() != ' ') << "line " << i + 1;
    }
    EXPECT_EQ(lines[3], "To use, edit the file MOSFET_input_data.txt");
    EXPECT_EQ(lines[5],
              "If the program is called and MOSFET_input_data.txt is not present, it generates a "
              "new");
    EXPECT_EQ(lines[11], "and the granularity of the data in the constant current region.  The");
    EXPECT_EQ(lines[14], "To plot the v-i curves, load the output file MOSFET_transistor_vi.csv");
    EXPECT_EQ(lines[15], "into a spreadsheet program.  Click on the Chart Wizard, select chart");
    EXPECT_EQ(lines[16], "type \"XY (scatter)\", of type \"data points connected by lines");
    EXPECT_EQ(lines[17], "without markers.\"");
}

TEST(UsageNotes, InsertsOtherNamesWithoutPadding) {
    const std::vector<std::string> lines = usage_notes_lines("p", "b");
    EXPECT_EQ(lines[3], "To use, edit the file p");
    EXPECT_EQ(lines[5], "If the program is called and p is not present, it generates a new");
    EXPECT_EQ(lines[14], "To plot the v-i curves, load the output file b.csv");
}

}  // namespace
}  // namespace mosfet::driver
