// The pure functions, by the table in tests/data/functions.txt.
#include <cmath>
#include <thread>

#include "platform/Platform.h"
#include "platform/WinePath.h"
#include "processor/AddOnPackage.h"
#include "processor/ReadAhead.h"
#include "settings/Configuration.h"
#include "support/Support.h"
#include "text/Text.h"
#include "text/Utf8.h"

namespace {

// What ReadAhead reads of a package made of `made`: names of files, holding their
// own names; "name/" a folder, "name>target" a link, "name+" a file too large. Each
// file read, as the step names it, with "=bytes" when they are another file's.
std::string ReadAheadOf(const std::string& made) {
  TempDir temp;
  const fs::path package = temp.Join("VORN_X");
  std::istringstream names(made);
  for (std::string name; names >> name;) {
    const size_t arrow = name.find('>');
    const fs::path at = package / name.substr(0, arrow);
    fs::create_directories(name.back() == '/' ? at : at.parent_path());
    if (arrow != std::string::npos)
      fs::create_symlink(name.substr(arrow + 1), at);
    else if (name.back() == '+')
      WriteBytes(at.string(), std::string(ReadAhead::kMostBytes + 1, 'x'));
    else if (name.back() != '/')
      WriteBytes(at.string(), name);
  }
  std::vector<platform::DirEntry> listed(1);
  listed[0].name = "VORN_X";
  listed[0].isDirectory = true;
  ReadAhead ahead(package.parent_path().string(), listed);
  const ReadAhead::Package& files = ahead.Take(0);
  std::string read;
  for (size_t i = 0; i < files.count; ++i) {
    const std::string name = files.files[i].path.substr(package.string().size() + 1);
    const std::string& bytes = files.files[i].bytes;
    read += (read.empty() ? "" : " ") + name +
            (bytes == ReplaceAll(name, "\\", "/") ? "" : "=" + bytes);
  }
  // One processor reads nothing ahead.
  return std::thread::hardware_concurrency() < 2 ? "one processor" : read;
}

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
    if (!onLinux && (f == "Library" || f == "Documents" || f == "ReadAhead")) continue;
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
    } else if (f == "ReadAhead") {
      actual = ReadAheadOf(row.at(1));
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
