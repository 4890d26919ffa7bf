// The pure functions, by the table in tests/data/functions.txt.
#include <cmath>

#include "platform/Platform.h"
#include "platform/WinePath.h"
#include "processor/AddOnPackage.h"
#include "settings/Configuration.h"
#include "support/Support.h"
#include "text/Text.h"
#include "text/Utf8.h"

namespace {

// Each row: the function, its arguments and the result, split at '|', "%XX" for any
// byte; blank lines and lines that start with '#' left out.
TEST(FunctionTableTest, EveryRowGivesItsExpectedResult) {
  std::istringstream table(ReadBytes(KVB_TEST_DATA_DIR "/data/functions.txt"));
  const bool onLinux = platform::NativePath("C:\\x") != "C:\\x";
  const char* const kEnvironment[] = {"APPDATA", "HOME", "USER", "WINEPREFIX"};
  std::vector<std::string> saved;
  for (const char* name : kEnvironment) saved.push_back(std::getenv(name) ? std::getenv(name) : "");
  const std::string cwd = "Z:" + ReplaceAll(fs::current_path().string(), "/", "\\");
  int rows = 0;
  for (std::string line; std::getline(table, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> row;
    for (size_t at = 0, end = 0; end != std::string::npos; at = end + 1) {
      end = line.find('|', at);
      row.push_back(Unescape(line.substr(at, end - at)));
    }
    const std::string& f = row.at(0);
    if (!onLinux && (f == "Library" || f == "Documents")) continue;
    ++rows;
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
    } else if (f == "Less") {
      actual = platform::ListingLess(row.at(1), row.at(2)) ? "1" : "0";
    } else if (f == "Map") {
      actual = platform::WinePath::Map(row.at(1), "/P").written;
    } else if (f == "Library") {
      std::string reason;
      if (!AddOnPackage::LibraryPath(row.at(1), &actual, &reason)) actual = "!" + reason;
    } else if (f == "IsUtf8") {
      actual = text::IsUtf8(row.at(1)) ? "1" : "0";
    } else if (f == "Documents") {
      for (size_t i = 0; i < 4; ++i) SetEnvironment(kEnvironment[i], row.at(i + 1));
      actual = platform::SpecialFolderPath(5);
    } else {
      ADD_FAILURE() << "unknown function " << f;
    }
    EXPECT_EQ(actual, ReplaceAll(row.back(), "@CWD@", cwd)) << f << " " << row.at(1);
  }
  for (size_t i = 0; i < 4; ++i) SetEnvironment(kEnvironment[i], saved[i]);
  EXPECT_GT(rows, onLinux ? 130 : 80);
  // Many stars against a long name must not take exponential time; long texts format.
  EXPECT_FALSE(platform::MatchesWildcard(std::string(50, '*') + "a*b", std::string(20000, 'a')));
  EXPECT_EQ(text::Format("%s|%d", std::string(300, 'x').c_str(), 7), std::string(300, 'x') + "|7");
}

}  // namespace
