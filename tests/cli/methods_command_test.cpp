#include <gtest/gtest.h>

#include <sstream>

#include "cli_process.h"

namespace zd {
namespace {

TEST(MethodsCommand, ListsTheSixteenMethodsWithPassCountsAndPatterns)
{
    const auto result = test::RunCli({{"methods"}});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::istringstream lines(result.out);
    std::string line;
    std::vector<std::string> rows;
    while (std::getline(lines, line))
        rows.push_back(line);
    ASSERT_EQ(rows.size(), 17u) << result.out;
    EXPECT_EQ(rows[0].substr(0, 33), "Id  Name                 Passes  ");
    EXPECT_EQ(rows[1], " 1  Zero Wipe                 1  00");
    EXPECT_EQ(rows[6], " 6  DOD M                     3  R, ~R, RND");
    EXPECT_EQ(rows[9], " 9  NAVSO P-5239-26           3  FF, 27 FF FF FF, RND");
    EXPECT_EQ(rows[15].substr(0, 33), "15  Gutman Method            35  ");
    EXPECT_NE(rows[15].find("RND, RND, RND, RND, [55, AA, 92 49 24,"), std::string::npos);
    EXPECT_NE(rows[15].find("DB 6D B6] in an order chosen per run, RND, RND, RND, RND"), std::string::npos);
    EXPECT_EQ(rows[16], "16  Custom Wiping             1  custom string");
}

} // namespace
} // namespace zd
