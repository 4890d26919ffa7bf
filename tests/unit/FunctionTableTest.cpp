// The pure functions, by the table in tests/data/functions.txt.

#include <cmath>

#include "platform/Platform.h"
#include "settings/Configuration.h"
#include "support/TempDir.h"
#include "text/Text.h"

namespace {

TEST(FunctionTableTest, EveryRowGivesItsExpectedResult) {
  const auto rows = ReadTable("functions.txt");
  ASSERT_GT(rows.size(), 50u);
  for (const std::vector<std::string>& row : rows) {
    const std::string& f = row.at(0);
    std::string actual;
    if (f == "AtoI") {
      actual = std::to_string(text::AtoI(row.at(1)));
    } else if (f == "AtoF") {
      actual = text::FormatDouble(text::AtoF(row.at(1)));
    } else if (f == "FormatDouble") {  // the sign of a NaN is kept too
      const std::string& in = row.at(1);
      actual = text::FormatDouble(
          std::copysign(std::strtod(in.c_str(), nullptr), in[0] == '-' ? -1 : 1));
    } else if (f == "Unmask") {
      actual = Configuration::UnmaskPassword(row.at(1));
    } else if (f == "Wildcard") {
      actual = platform::MatchesWildcard(row.at(1), row.at(2)) ? "1" : "0";
    } else {
      ADD_FAILURE() << "unknown function " << f;
    }
    EXPECT_EQ(actual, row.back()) << f << " " << row.at(1);
  }
  // Many stars against a long name must not take exponential time.
  EXPECT_FALSE(platform::MatchesWildcard(std::string(50, '*') + "a*b", std::string(20000, 'a')));
}

}  // namespace
