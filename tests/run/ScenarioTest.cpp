// Whole runs described by data, a folder each under tests/run/scenarios (see the README
// there): what the runs print and write must equal the expected files byte for byte
// (the Windows build's report once made alike, see Alike), and every other file stay as
// it was. KVB_REGENERATE=1 rewrites the expected files.
#include "platform/Platform.h"
#include "support/Support.h"

#include <cctype>
#include <chrono>

namespace {

const fs::path kScenarios = fs::path(KVB_TEST_DATA_DIR) / "run" / "scenarios";

std::vector<std::string> Lines(const fs::path& file) {
  std::vector<std::string> lines;
  std::istringstream in(ReadBytes(file.string()));
  for (std::string line; std::getline(in, line);)
    lines.push_back(line.empty() || line.back() != '\r' ? line : line.substr(0, line.size() - 1));
  return lines;
}

std::vector<std::string> Words(const std::string& line, const std::string& root) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string word; in >> word;) words.push_back(ReplaceAll(Unescape(word), "@ROOT@", root));
  return words;
}

// Copies a tree of regular files, putting the scratch root in for @ROOT@.
void CopyInput(const fs::path& from, const std::string& root) {
  for (const auto& entry : fs::recursive_directory_iterator(from))
    if (!entry.is_directory())
      WriteBytes((root / entry.path().lexically_relative(from)).string(),
                 ReplaceAll(ReadBytes(entry.path().string()), "@ROOT@", root));
}

// Things git cannot hold: links, empty folders, permission bits, odd names, and
// what only Linux makes here (see MakeSpecial); between runs, a change to a file.
void Apply(const std::string& line, const fs::path& root) {
  const std::vector<std::string> w = Words(line, root.string());
  if (w.empty() || w[0][0] == '#') return;
  const fs::path path = root / (w.size() > 1 ? w[1] : "");
  fs::create_directories(path.parent_path());
  if (w[0] == "mkdir") {
    fs::create_directories(path);
  } else if (w[0] == "link") {
    fs::create_symlink(w.at(2), path);
  } else if (w[0] == "mode") {
    fs::permissions(path, static_cast<fs::perms>(std::stoi(w.at(2), nullptr, 8)));
  } else if (w[0] == "copy") {  // a file of the source tree, such as an executable
    fs::copy_file(fs::path(KVB_SOURCE_DIR) / w.at(2), path, fs::copy_options::overwrite_existing);
  } else if (w[0] == "move") {
    fs::create_directories((root / w.at(2)).parent_path());
    fs::rename(path, root / w.at(2));
  } else if (w[0] == "append") {  // TEXT, COUNT times (once by default)
    std::string text = ReadBytes(path.string());
    for (int n = w.size() > 3 ? std::stoi(w[3]) : 1; n > 0; --n) text += w.at(2);
    WriteBytes(path.string(), text);
  } else if (!MakeSpecial(w, path)) {
    FAIL() << "unknown setup line: " << line;
  }
}

// Sets every file's time long ago, so that what a run writes shows by its time. Whole
// seconds, which every system keeps exactly.
fs::file_time_type Age(const std::string& root) {
  const fs::file_time_type old = std::chrono::time_point_cast<std::chrono::seconds>(
      fs::file_time_type::clock::now() - std::chrono::hours(24 * 400));
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (fs::is_regular_file(entry.symlink_status())) fs::last_write_time(entry.path(), old);
  return old;
}

// The Windows build's report against the Linux build's, alike where the builds differ by
// design: the path separator, and the system's words at the reason of a "cannot <verb>
// <path>: <reason>" line (the system's start in upper case, the tool's own in lower case).
std::string Alike(const std::string& errors) {
  std::string alike;
  std::istringstream in(ReplaceAll(errors, "\\", "/"));
  for (std::string line; std::getline(in, line); alike += line + (in.eof() ? "" : "\n")) {
    const size_t cannot = line.find("cannot ");
    const size_t colon = cannot == std::string::npos ? cannot : line.find(": ", cannot);
    if (colon != std::string::npos && std::isupper(static_cast<unsigned char>(line[colon + 2])))
      line.replace(colon + 2, std::string::npos, "(the system's words)");
  }
  return alike;
}

// Windows ignores letter case in names, and a file replaced over another spelling
// of its name may keep the old one: that build compares names without case, and
// the listings (each run's, after its "$ " line) in the order that then gives.
std::map<std::string, std::string> CaselessNames(const std::map<std::string, std::string>& files) {
  const auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  std::map<std::string, std::string> folded;
  for (const auto& [name, content] : files) {
    if (name != "tree.txt" && name != "rewritten.txt") {
      folded[lower(name)] = content;
      continue;
    }
    std::vector<std::string> lines;
    std::istringstream in(lower(content));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    for (auto block = lines.begin(); block != lines.end();) {
      const auto next = std::find_if(block + 1, lines.end(), [](auto& l) { return l[0] == '$'; });
      std::sort(block + ((*block)[0] == '$'), next);
      block = next;
    }
    for (const std::string& line : lines) folded[name] += line + "\n";
  }
  return folded;
}

class ScenarioTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ScenarioTest, MatchesExpectedFiles) {
  const fs::path scenario = kScenarios / GetParam(), expected = scenario / "expected";
  if (!kRunsLinuxOnlyScenarios && fs::exists(scenario / "linux_only"))
    GTEST_SKIP() << ReadBytes((scenario / "linux_only").string());
  TempDir scratch;
  const std::string root = scratch.Path();
  for (const std::string& base : Lines(scenario / "base"))
    if (!base.empty()) CopyInput(fs::path(KVB_SOURCE_DIR) / base, root);
  if (fs::exists(scenario / "input")) CopyInput(scenario / "input", root);
  for (const std::string& line : Lines(scenario / "setup"))
    ASSERT_NO_FATAL_FAILURE(Apply(line, root));

  std::map<std::string, std::string> environment = {
      {"HOME", root + "/home"}, {"USER", "kvbuser"}, {"APPDATA", root + "/appdata"}};
  for (const std::string& line : Lines(scenario / "env")) {
    const size_t equals = line.find('=');
    environment.erase(line.substr(0, equals));
    if (equals != std::string::npos)
      environment[line.substr(0, equals)] = ReplaceAll(line.substr(equals + 1), "@ROOT@", root);
  }
  const std::vector<std::string> runs =
      fs::exists(scenario / "args") ? Lines(scenario / "args") : std::vector<std::string>{""};
  // The root as the runs show it. The Linux build also shows it as Windows sees it
  // through Wine's drive Z:; on Windows the root has that form already.
  const std::string windowsRoot = kRunsLinuxOnlyScenarios ? "Z:" + ReplaceAll(root, "/", "\\") : "";
  const auto placed = [&](const std::string& text) {
    return ReplaceAll(ReplaceAll(text, windowsRoot, "@WINDOWS_ROOT@"), root, "@ROOT@");
  };
  const Tree before = Snapshot(root);
  std::map<std::string, std::string> written;  // file name under expected/ -> bytes
  for (const std::string& run : runs) {
    if (!run.empty() && run[0] == '!') {  // a change between runs
      ASSERT_NO_FATAL_FAILURE(Apply(run.substr(1), root));
      continue;
    }
    const auto aged = Age(root);
    const RunResult result = RunTool(root, Words(run, root), environment);
    EXPECT_EQ(0, result.status) << run;
    const std::string command = "$ kvbconfig" + (run.empty() ? "" : " " + run) + "\n";
    // The help names the system's own rule for the application-data folder.
    written["console.txt"] += command + ReplaceAll(placed(result.console),
                                                   platform::AppDataFolderRule(), "@APPDATA_RULE@");
    written["errors.txt"] += command + placed(result.errors);
    written["rewritten.txt"] += command;
    for (const auto& [path, entry] : Snapshot(root))
      if (entry.first[0] == 'f' && fs::last_write_time(root + "/" + path) != aged)
        written["rewritten.txt"] += entry.first.substr(2) + "\n";
  }

  // The listing of the final tree, and the files that are new or changed.
  for (const auto& [path, entry] : Snapshot(root)) {
    written["tree.txt"] += placed(entry.first) + "\n";
    const auto old = before.find(path);
    if (entry.first[0] == 'f' && (old == before.end() || old->second != entry))
      written["files/" + entry.first.substr(2, entry.first.find(" (read-only)") - 2)] =
          placed(entry.second);
  }

  if (const char* regenerate = std::getenv("KVB_REGENERATE"); regenerate && *regenerate == '1') {
    RemoveAll(expected.string());
    for (const auto& [name, content] : written) WriteBytes((expected / name).string(), content);
    GTEST_SKIP() << "expected files regenerated: review the diff";
  }
  std::map<std::string, std::string> wanted;
  for (const auto& entry : fs::recursive_directory_iterator(expected))
    if (entry.is_regular_file())
      wanted[entry.path().lexically_relative(expected).generic_string()] =
          ReplaceAll(ReadBytes(entry.path().string()), "@WINDOWS_ROOT@",
                     kRunsLinuxOnlyScenarios ? "@WINDOWS_ROOT@" : "@ROOT@");
  if (!kRunsLinuxOnlyScenarios) wanted = CaselessNames(wanted), written = CaselessNames(written);
  for (auto [name, content] : written) {
    if (!kRunsLinuxOnlyScenarios && name == "errors.txt")
      wanted[name] = Alike(wanted[name]), content = Alike(content);
    EXPECT_EQ(wanted[name], content) << name;
  }
  for (const auto& entry : wanted) EXPECT_EQ(written.count(entry.first), 1u) << entry.first;
}

std::set<std::string> ScenarioNames() {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(kScenarios))
    if (entry.is_directory()) names.insert(entry.path().filename().string());
  return names;
}

TEST(ScenarioCount, AllAreThere) { EXPECT_GE(ScenarioNames().size(), 24u); }

INSTANTIATE_TEST_SUITE_P(Runs, ScenarioTest, ::testing::ValuesIn(ScenarioNames()),
                         [](const auto& info) { return info.param; });

}  // namespace
