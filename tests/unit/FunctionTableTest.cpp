// The pure functions, by the table in tests/data/functions.txt.
#include <chrono>
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

// What ReadAhead reads of packages made of `made`: names of files, each holding
// its own path; "name/" a folder, "name>target" a link, "name-" a file of the most
// bytes read ahead of a package, "name+" one byte more; "*N" first makes N such
// packages. Each file read of the first package, as the step names it, with
// "=bytes" when they are another file's; then, for N packages, how many of them
// the step was handed whole and as its own.
std::string ReadAheadOf(const std::string& made) {
  TempDir temp;
  const std::string parent = fs::path(temp.Join("x")).parent_path().string();
  std::istringstream names(made);
  size_t count = 1;
  if (made[0] == '*') names.ignore(1) >> count;
  std::vector<platform::DirEntry> listed(count);
  std::map<std::string, std::string> bytesOf;  // of each file made, by its path as read
  for (std::string name; names >> name;) {
    for (size_t p = 0; p < count; ++p) {
      listed[p] = {"VORN_" + std::to_string(p), true};
      const size_t arrow = name.find('>');
      const bool sized = name.back() == '+' || name.back() == '-';
      const std::string relative =
          listed[p].name + "/" + name.substr(0, sized ? name.size() - 1 : arrow);
      const fs::path at = fs::path(parent) / relative;
      fs::create_directories(name.back() == '/' ? at : at.parent_path());
      std::string& bytes = bytesOf[parent + "\\" + ReplaceAll(relative, "/", "\\")];
      if (arrow != std::string::npos)
        fs::create_symlink(name.substr(arrow + 1), at);
      else if (sized)
        bytes.assign(ReadAhead::kMostBytes + (name.back() == '+'), 'x');
      else if (name.back() != '/')
        bytes = relative;
      if (!bytes.empty()) WriteBytes(at.string(), bytes);
    }
  }
  ReadAhead ahead(parent, listed);
  // Every chance for the reader to run further ahead than it may, before the step
  // takes the first package.
  if (count > 1) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::string read;
  size_t whole = 0;  // packages handed over whole and as their own
  for (size_t p = 0; p < count; ++p) {
    const ReadAhead::Package& package = ahead.Take(p);
    const std::string folder = parent + "\\" + listed[p].name + "\\";
    bool own = true;
    for (size_t i = 0; i < package.count; ++i) {
      const ReadAhead::File& file = package.files[i];
      own = own && file.path.rfind(folder, 0) == 0 &&
            ReadAhead::Find(package, file.path) == &file.bytes &&
            file.bytes == ReadBytes(ReplaceAll(file.path, "\\", "/"));
      if (p == 0)
        read += (read.empty() ? "" : " ") + file.path.substr(folder.size()) +
                (file.bytes == bytesOf[file.path] ? "" : "=" + file.bytes.substr(0, 40));
    }
    whole += own;
  }
  if (count > 1) read += " (" + std::to_string(whole) + " whole)";
  return read;
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
    if (f == "ReadAhead" && platform::UsableProcessors() < 2) continue;  // reads nothing ahead
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
