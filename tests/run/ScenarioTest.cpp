// Whole runs described by data: each folder under tests/run/scenarios is one
// scenario (see README there). The run's console output and every file that it
// wrote must equal the expected files byte for byte, and every other file must
// be left exactly as it was. KVB_REGENERATE=1 rewrites the expected files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

#include "RunHarness.h"

namespace fs = std::filesystem;

namespace kvbtest {
namespace {

const fs::path kScenarios = fs::path(KVB_TEST_DATA_DIR) / "run" / "scenarios";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string word; in >> word;) words.push_back(UnescapePath(word));
  return words;
}

// Copies a tree of regular files, putting the scratch root in for @ROOT@.
void CopyInput(const fs::path& from, const fs::path& to, const std::string& root) {
  for (const auto& entry : fs::recursive_directory_iterator(from)) {
    const fs::path target = to / entry.path().lexically_relative(from);
    if (entry.is_directory())
      fs::create_directories(target);
    else
      WriteBytes(target.string(), ReplaceAll(ReadBytes(entry.path().string()), "@ROOT@", root));
  }
}

// Things git cannot hold: links, empty folders, read-only bits, odd names.
void ApplySetup(const std::string& script, const fs::path& root) {
  for (const std::string& line : Lines(script)) {
    const std::vector<std::string> words = Words(line);
    if (words.empty() || words[0][0] == '#') continue;
    const std::string& verb = words[0];
    const fs::path path = root / words.at(1);
    if (verb == "mkdir") {
      fs::create_directories(path);
    } else if (verb == "link") {
      const std::string target = ReplaceAll(words.at(2), "@ROOT@", root.string());
      fs::create_directories(path.parent_path());
      fs::create_symlink(target, path);
    } else if (verb == "readonly") {
      fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    } else if (verb == "move") {
      fs::create_directories((root / words.at(2)).parent_path());
      fs::rename(path, root / words.at(2));
    } else {
      FAIL() << "unknown setup line: " << line;
    }
  }
}

std::set<std::string> ExpectedFileNames(const fs::path& folder) {
  std::set<std::string> names;
  if (!fs::exists(folder)) return names;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file())
      names.insert(entry.path().lexically_relative(folder).generic_string());
  return names;
}

class ScenarioTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ScenarioTest, MatchesExpectedFiles) {
  const fs::path scenario = kScenarios / GetParam();
  const fs::path expected = scenario / "expected";
  if (!kRunsLinuxOnlyScenarios && fs::exists(scenario / "linux_only"))
    GTEST_SKIP() << ReadBytes((scenario / "linux_only").string());
  ScratchFolder scratch;
  const std::string root = scratch.Path();

  if (fs::exists(scenario / "base"))
    for (const std::string& base : Lines(ReadBytes((scenario / "base").string())))
      if (!base.empty()) CopyInput(fs::path(KVB_SOURCE_DIR) / base, root, root);
  if (fs::exists(scenario / "input")) CopyInput(scenario / "input", root, root);
  ASSERT_NO_FATAL_FAILURE(ApplySetup(ReadBytes((scenario / "setup").string()), root));

  Environment environment = {
      {"HOME", root + "/home"}, {"USER", "kvbuser"}, {"APPDATA", root + "/appdata"}};
  for (const std::string& line : Lines(ReadBytes((scenario / "env").string()))) {
    if (line.empty()) continue;
    const size_t equals = line.find('=');
    if (equals == std::string::npos)
      environment[line] = kUnset;
    else
      environment[line.substr(0, equals)] = ReplaceAll(line.substr(equals + 1), "@ROOT@", root);
  }
  std::vector<std::string> runs = {""};
  if (fs::exists(scenario / "args")) runs = Lines(ReadBytes((scenario / "args").string()));

  const Tree before = Snapshot(root);
  std::string console;
  for (const std::string& run : runs) {
    const RunResult result = RunTool(root, Words(run), environment);
    EXPECT_EQ(0, result.status) << "run: " << run;
    EXPECT_EQ("", result.errors) << "run: " << run;
    console += "$ kvbconfig" + (run.empty() ? "" : " " + run) + "\n";
    console += ReplaceAll(result.console, root, "@ROOT@");
  }
  const Tree after = Snapshot(root);

  // Written: new files, and files whose bytes changed.
  std::map<std::string, std::string> written;
  for (const auto& [path, entry] : after) {
    if (entry.type != 'f') continue;
    const auto old = before.find(path);
    if (old == before.end() || old->second.type != 'f' || old->second.content != entry.content)
      written[EscapePath(path)] = ReplaceAll(entry.content, root, "@ROOT@");
  }
  const std::string listing = Listing(after, root);

  if (const char* regenerate = std::getenv("KVB_REGENERATE"); regenerate && *regenerate == '1') {
    fs::remove_all(expected);
    WriteBytes((expected / "console.txt").string(), console);
    WriteBytes((expected / "tree.txt").string(), listing);
    for (const auto& [name, content] : written)
      WriteBytes((expected / "files" / name).string(), content);
    GTEST_SKIP() << "expected files regenerated: review the diff";
  }

  EXPECT_EQ(ReadBytes((expected / "console.txt").string()), console);
  EXPECT_EQ(ReadBytes((expected / "tree.txt").string()), listing);
  std::set<std::string> writtenNames;
  for (const auto& [name, content] : written) {
    writtenNames.insert(name);
    EXPECT_EQ(ReadBytes((expected / "files" / name).string()), content) << name;
  }
  EXPECT_EQ(ExpectedFileNames(expected / "files"), writtenNames);
}

std::vector<std::string> ScenarioNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(kScenarios))
    if (entry.is_directory()) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

INSTANTIATE_TEST_SUITE_P(Runs, ScenarioTest, ::testing::ValuesIn(ScenarioNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           return info.param;
                         });

}  // namespace
}  // namespace kvbtest
