// Whole runs described by data: each folder under tests/run/scenarios is one
// scenario (see README there). The run's console output and every file that it
// wrote must equal the expected files byte for byte, and every other file must
// be left exactly as it was. KVB_REGENERATE=1 rewrites the expected files.

#include "RunHarness.h"
#include "platform/Platform.h"

namespace kvbtest {
namespace {

const fs::path kScenarios = fs::path(KVB_TEST_DATA_DIR) / "run" / "scenarios";

// Names keep plain ASCII: every byte outside printable ASCII, '%' and ' ' is %XX.
std::string Escape(const std::string& path) {
  std::string escaped;
  for (unsigned char c : path) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%%%02X", c);
    escaped += c <= ' ' || c >= 0x7F || c == '%' ? hex : std::string(1, c);
  }
  return escaped;
}

// Every entry under `root` by relative path ('/', raw bytes, byte order): its
// line of tree.txt and, for a file, its bytes. Links are never followed.
std::map<std::string, std::pair<std::string, std::string>> Snapshot(const std::string& root) {
  std::map<std::string, std::pair<std::string, std::string>> tree;
  std::error_code error;
  for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
       it.increment(error)) {
    const fs::file_status status = it->symlink_status();
    const std::string path = it->path().lexically_relative(root).generic_string();
    auto& [line, content] = tree[path];
    if (fs::is_symlink(status)) {
      line = "l " + Escape(path) + " -> " + fs::read_symlink(it->path()).string();
    } else if (fs::is_directory(status)) {
      line = "d " + Escape(path);
    } else {
      const fs::perms writable =
          fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
      line = "f " + Escape(path) +
             ((status.permissions() & writable) == fs::perms::none ? " (read-only)" : "");
      content = ReadBytes(it->path().string());
    }
  }
  return tree;
}

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

// Things git cannot hold: links, empty folders, read-only bits, odd names.
void ApplySetup(const fs::path& script, const fs::path& root) {
  for (const std::string& line : Lines(script)) {
    const std::vector<std::string> w = Words(line, root.string());
    if (w.empty() || w[0][0] == '#') continue;
    const fs::path path = root / w.at(1);
    fs::create_directories(path.parent_path());
    if (w[0] == "mkdir") {
      fs::create_directories(path);
    } else if (w[0] == "link") {
      fs::create_symlink(w.at(2), path);
    } else if (w[0] == "readonly") {
      fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    } else if (w[0] == "move") {
      fs::create_directories((root / w.at(2)).parent_path());
      fs::rename(path, root / w.at(2));
    } else {
      FAIL() << "unknown setup line: " << line;
    }
  }
}

class ScenarioTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ScenarioTest, MatchesExpectedFiles) {
  const fs::path scenario = kScenarios / GetParam(), expected = scenario / "expected";
  if (!kRunsLinuxOnlyScenarios && fs::exists(scenario / "linux_only"))
    GTEST_SKIP() << ReadBytes((scenario / "linux_only").string());
  TempDir scratch;
  ASSERT_TRUE(scratch.Create());
  const std::string root = scratch.Path();
  for (const std::string& base : Lines(scenario / "base"))
    if (!base.empty()) CopyInput(fs::path(KVB_SOURCE_DIR) / base, root);
  if (fs::exists(scenario / "input")) CopyInput(scenario / "input", root);
  ASSERT_NO_FATAL_FAILURE(ApplySetup(scenario / "setup", root));

  std::map<std::string, std::string> environment = {
      {"HOME", root + "/home"}, {"USER", "kvbuser"}, {"APPDATA", root + "/appdata"}};
  for (const std::string& line : Lines(scenario / "env")) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos)
      environment.erase(line);
    else
      environment[line.substr(0, equals)] = ReplaceAll(line.substr(equals + 1), "@ROOT@", root);
  }
  std::vector<std::string> runs =
      fs::exists(scenario / "args") ? Lines(scenario / "args") : std::vector<std::string>{""};
  const auto before = Snapshot(root);
  std::string console, errors;
  for (const std::string& run : runs) {
    const RunResult result = RunTool(root, Words(run, root), environment);
    EXPECT_EQ(0, result.status) << run;
    const std::string command = "$ kvbconfig" + (run.empty() ? "" : " " + run) + "\n";
    // The help names the system's rule for the application-data folder.
    console += command + ReplaceAll(ReplaceAll(result.console, root, "@ROOT@"),
                                    platform::AppDataFolderRule(), "@APPDATA_RULE@");
    errors += command + ReplaceAll(result.errors, root, "@ROOT@");
  }

  // The listing of the final tree, and the files that are new or changed.
  std::string listing;
  std::map<std::string, std::string> written;
  for (const auto& [path, entry] : Snapshot(root)) {
    listing += ReplaceAll(entry.first, root, "@ROOT@") + "\n";
    const auto old = before.find(path);
    if (entry.first[0] == 'f' &&
        (old == before.end() || old->second.first[0] != 'f' || old->second.second != entry.second))
      written["files/" + Escape(path)] = ReplaceAll(entry.second, root, "@ROOT@");
  }
  written["console.txt"] = console;
  written["tree.txt"] = listing;
  // The report names files by the system's paths and words its errors as the system
  // does: the Windows build's differs by design.
  if (kRunsLinuxOnlyScenarios) written["errors.txt"] = errors;

  if (const char* regenerate = std::getenv("KVB_REGENERATE"); regenerate && *regenerate == '1') {
    fs::remove_all(expected);
    for (const auto& [name, content] : written) WriteBytes((expected / name).string(), content);
    GTEST_SKIP() << "expected files regenerated: review the diff";
  }
  std::map<std::string, std::string> wanted;
  for (const auto& entry : fs::recursive_directory_iterator(expected))
    if (entry.is_regular_file())
      wanted[entry.path().lexically_relative(expected).generic_string()] =
          ReadBytes(entry.path().string());
  if (!kRunsLinuxOnlyScenarios) wanted.erase("errors.txt");
  for (const auto& [name, content] : written) EXPECT_EQ(wanted[name], content) << name;
  for (const auto& entry : wanted) EXPECT_EQ(written.count(entry.first), 1u) << entry.first;
}

std::set<std::string> ScenarioNames() {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(kScenarios))
    if (entry.is_directory()) names.insert(entry.path().filename().string());
  return names;
}

INSTANTIATE_TEST_SUITE_P(Runs, ScenarioTest, ::testing::ValuesIn(ScenarioNames()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace kvbtest
