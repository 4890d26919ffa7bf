// Whole runs of the tool under faults: killed at many moments, a disk that fills
// up at each write in turn, read-only and unreadable files, link loops, a package
// that vanishes mid-run, and inputs of extreme size. Each test says what the user
// sees and what is on disk afterwards.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

#if KVB_SANITIZED
constexpr int kScale = 10;  // sanitized runs are slow and big: smaller inputs
#else
constexpr int kScale = 1;
#endif

constexpr const char* kLibrary = "SimObjects\\VORN_KVB";
const char* const kNobody[] = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup",
                               "--clear-groups"};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFile(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

// CR LF after every line, as the simulator's own files have them.
std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

size_t Count(const std::string& haystack, const std::string& needle) {
  size_t count = 0;
  for (size_t at = haystack.find(needle); at != std::string::npos;
       at = haystack.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
}

struct RunResult {
  bool exited = false;
  int exitCode = -1;
  int signal = 0;
  bool hung = false;
  std::string out;
  std::string err;
  long long peakKb = 0;  // only from RunMeasured
};

struct RunOptions {
  std::vector<std::string> args;
  std::vector<std::pair<std::string, std::string>> environment;
  bool asNobody = false;
  std::chrono::microseconds killAfter{0};
  std::chrono::seconds hangAfter{300};  // then the run is killed as hung
  long long addressSpaceMb = 0;         // a limit for the run, when not 0
};

// Everything in a tree: type, permission bits and content of each entry.
using Tree = std::map<std::string, std::string>;

Tree Snapshot(const fs::path& top) {
  Tree tree;
  if (!fs::exists(fs::symlink_status(top))) return tree;
  for (auto it = fs::recursive_directory_iterator(top); it != fs::recursive_directory_iterator();
       ++it) {
    const std::string relative = it->path().lexically_relative(top).generic_string();
    const fs::file_status status = it->symlink_status();
    char bits[8];
    std::snprintf(bits, sizeof bits, "%04o", static_cast<unsigned>(status.permissions()) & 07777);
    if (fs::is_symlink(status)) {
      tree[relative] = "link " + fs::read_symlink(it->path()).string();
    } else if (fs::is_other(status)) {
      tree[relative] = std::string("other ") + bits;  // FIFO or device: never read
    } else if (fs::is_directory(status)) {
      tree[relative] = std::string("folder ") + bits;
    } else {
      tree[relative] = std::string("file ") + bits + " " + ReadFile(it->path());
    }
  }
  return tree;
}

// The first differences, readably; "" when the trees are equal.
std::string Differences(const Tree& expected, const Tree& actual,
                        const std::set<std::string>& ignored = {}) {
  std::string report;
  int shown = 0;
  auto note = [&](const std::string& path, const std::string& what) {
    if (ignored.count(path)) return;
    for (const std::string& prefix : ignored) {
      if (path.compare(0, prefix.size() + 1, prefix + "/") == 0) return;
    }
    if (++shown <= 6) report += path + ": " + what + "\n";
  };
  for (const auto& [path, value] : expected) {
    const auto found = actual.find(path);
    if (found == actual.end()) {
      note(path, "missing");
    } else if (found->second != value) {
      note(path, "differs (" + std::to_string(value.size()) + " vs " +
                     std::to_string(found->second.size()) +
                     " bytes: " + found->second.substr(0, 40) + ")");
    }
  }
  for (const auto& [path, value] : actual) {
    if (!expected.count(path)) note(path, "unexpected");
  }
  if (shown > 6) report += std::to_string(shown - 6) + " more\n";
  return report;
}

// What a tree holds at `path`, without its type and permission bits.
std::string Content(const Tree& tree, const std::string& path) {
  const auto found = tree.find(path);
  return found == tree.end() ? std::string("(missing)") : found->second.substr(10);
}

std::vector<std::string> Temporaries(const Tree& tree) {
  std::vector<std::string> found;
  for (const auto& entry : tree) {
    const std::string& path = entry.first;
    if (path.size() > 7 && path.compare(path.size() - 7, 7, ".kvbtmp") == 0) found.push_back(path);
  }
  return found;
}

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A memory file system where there is one: these tests create and delete
    // thousands of files, which a journalling disk makes many times slower.
    const fs::path scratch =
        fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (scratch / "kvb-fault-XXXXXX").string();
    ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
    root_ = pattern;
    // C: of a scratch Wine prefix is the work tree's drive_c.
    fs::create_directories(root_ / "wine" / "dosdevices");
    fs::create_directories(Drive());
    fs::create_directory_symlink(Drive(), root_ / "wine" / "dosdevices" / "c:");
  }

  void TearDown() override {
    std::error_code ignored;
    for (auto it = fs::recursive_directory_iterator(root_, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
      if (!it->is_symlink()) chmod(it->path().c_str(), 0755);
    }
    fs::remove_all(root_, ignored);
  }

  fs::path Work() const { return root_ / "work"; }
  fs::path Drive() const { return Work() / "drive_c"; }
  fs::path AppData() const { return Drive() / "appdata"; }
  fs::path FsxCfg() const { return AppData() / "Microsoft" / "FSX" / "fsx.cfg"; }
  fs::path P3dCfg() const { return AppData() / "Lockheed Martin" / "Prepar3D" / "Prepar3D.CFG"; }
  fs::path Database() const { return Drive() / "client" / "data" / "kvb.dat"; }
  fs::path FsxLibrary() const { return Drive() / "FSX" / "SimObjects" / "VORN_KVB"; }
  fs::path P3dLibrary() const { return Drive() / "P3D" / "SimObjects" / "VORN_KVB"; }
  static std::string PackageName(int i) {
    char name[32];
    std::snprintf(name, sizeof name, "VORN_P%03d", i);
    return name;
  }
  std::string Relative(const fs::path& path) const {
    return path.lexically_relative(Work()).generic_string();
  }

  // The client's settings, the simulators' configuration files and an old
  // database; the libraries come from MakeLibrary.
  void MakeInstallation() {
    WriteFile(
        AppData() / "VORN" / "Zaro" / "config" / "zaro.ini",
        Lines({"[INSTALL]", "fsx_path=C:\\FSX", "prepar3d_path=C:\\P3D\\", "Path=C:\\client"}));
    WriteFile(AppData() / "VORN" / "Zaro" / "config" / "pilot.cfg", Lines({"[PILOT]", "id=1"}));
    WriteFile(FsxCfg(), Lines({"; the user's own settings", "[Main]", "User Objects=Airplane",
                               "SimObjectPaths.0=SimObjects\\Airplanes",
                               "SimObjectPaths.1=SimObjects\\Rotorcraft", "", "[DISPLAY]",
                               "TextureMaxLoad=6"}));
    chmod(FsxCfg().c_str(), 0640);
    WriteFile(P3dCfg(), "\xEF\xBB\xBF" + Lines({"[MAIN]", "simobjectpaths.0=SimObjects\\Boats",
                                                "[Weather]", "Clouds=3"}));
    WriteFile(Database(), Lines({"old,record,0,0,0"}));
  }

  fs::path MakePackage(const fs::path& library, int i, int liveries) {
    const fs::path package = library / PackageName(i);
    std::vector<std::string> base = {"// VORN KVB package " + std::to_string(i),
                                     "[General]",
                                     "atc_type=VORN",
                                     "atc_model=P" + std::to_string(i),
                                     "",
                                     "[contact_points]",
                                     "static_pitch=" + std::to_string(i % 5) + ".25",
                                     "static_cg_height=1." + std::to_string(i),
                                     "; geometry",
                                     "[airplane_geometry]",
                                     "wing_area=" + std::to_string(100 + i)};
    if (i % 7 == 3) base.push_back("[Helicopter]");
    WriteFile(package / "vorn.cfg", Lines(base));
    if (i % 3 == 0) WriteFile(package / "aircraft.cfg", Lines({"[stale]", "old=1"}));
    if (i % 4 == 1) {
      WriteFile(package / "panel" / "panel.cfg", Lines({"[Window00]", "size=1"}));
      WriteFile(package / "panel" / "gauges" / "g.txt", "gauge\r\n");
    }
    for (int l = 0; l < liveries; ++l) {
      const fs::path livery =
          package / (l == 0 ? std::string("texture") : "texture.L" + std::to_string(l));
      const std::string tag = std::to_string(i) + "-" + std::to_string(l);
      WriteFile(
          livery / "vorn.ini",
          Lines({"[vorn]", "aircraft=Aircraft " + tag, "model=M" + tag, "fde=F", "repaint=R" + tag,
                 "polymin=900", "polymax=250", "LOD=3", "kvb_version=" + std::to_string(l + 1)}));
      WriteFile(livery / "vorn.liv", Lines({"[fltsim]", "title=VORN " + tag, "sim=A320",
                                            "model=", "texture=" + std::to_string(l),
                                            "ui_type=A320", "ui_variation=Livery " + tag}));
    }
    return package;
  }

  void MakeLibrary(const fs::path& library, int packages, int liveries) {
    for (int i = 0; i < packages; ++i) MakePackage(library, i, liveries + i % 2);
  }

  void KeepPristine() {
    fs::remove_all(root_ / "pristine");
    fs::copy(Work(), root_ / "pristine",
             fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  }
  void RestorePristine() {
    fs::remove_all(Work());
    fs::copy(root_ / "pristine", Work(),
             fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  }

  // Hands the work tree to nobody, for runs as an unprivileged user.
  void GiveToNobody() {
    for (auto it = fs::recursive_directory_iterator(root_);
         it != fs::recursive_directory_iterator(); ++it) {
      lchown(it->path().c_str(), 65534, 65534);
    }
    lchown(root_.c_str(), 65534, 65534);
  }

  // The tool for runs as nobody: a copy that nobody may read and run.
  std::string ToolForNobody() {
    const fs::path copy = root_ / "bin" / "kvbconfig";
    if (!fs::exists(copy)) {
      fs::create_directories(copy.parent_path());
      fs::copy_file(KVBCONFIG_PATH, copy);
      chmod(copy.parent_path().c_str(), 0755);
      chmod(copy.c_str(), 0755);
    }
    return copy.string();
  }

  RunResult Run(const std::string& tool, const RunOptions& options = {}) {
    const fs::path outPath = root_ / "stdout";
    const fs::path errPath = root_ / "stderr";
    std::vector<std::string> command;
    if (options.asNobody) command.assign(std::begin(kNobody), std::end(kNobody));
    command.push_back(tool);
    command.insert(command.end(), options.args.begin(), options.args.end());
    std::vector<char*> argv;
    for (std::string& word : command) argv.push_back(&word[0]);
    argv.push_back(nullptr);

    RunResult result;
    const auto started = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
      const int in = open("/dev/null", O_RDONLY);
      const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
      const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
      dup2(in, 0);
      dup2(out, 1);
      dup2(err, 2);
      setenv("APPDATA", "C:\\appdata", 1);
      setenv("WINEPREFIX", (root_ / "wine").c_str(), 1);
      for (const auto& [name, value] : options.environment) setenv(name.c_str(), value.c_str(), 1);
      if (options.addressSpaceMb > 0) {
        const rlim_t bytes = static_cast<rlim_t>(options.addressSpaceMb) << 20;
        const struct rlimit limit = {bytes, bytes};
        setrlimit(RLIMIT_AS, &limit);
      }
      execv(argv[0], argv.data());
      _exit(127);
    }
    if (pid < 0) return result;
    bool killed = false;
    int status = 0;
    // A hang is a fault of its own.
    const auto deadline = started + options.hangAfter;
    for (;;) {
      const pid_t done = waitpid(pid, &status, WNOHANG);
      if (done == pid) break;
      const auto now = std::chrono::steady_clock::now();
      if (!killed && options.killAfter.count() > 0 && now - started >= options.killAfter) {
        kill(pid, SIGKILL);
        killed = true;
      }
      if (!killed && now >= deadline) {
        kill(pid, SIGKILL);
        killed = true;
        result.hung = true;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    result.exited = WIFEXITED(status);
    result.exitCode = result.exited ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    return result;
  }

  RunResult RunTool(std::vector<std::string> args = {}) {
    RunOptions options;
    options.args = std::move(args);
    return Run(KVBCONFIG_PATH, options);
  }

  // A run of the test build that also reports its peak memory.
  RunResult RunMeasured() {
    RunOptions options;
    options.environment = {{"KVB_REPORT_PEAK", "1"}};
    RunResult run = Run(KVBCONFIG_FAULT_PATH, options);
    const size_t at = run.err.rfind("peak: ");
    if (at != std::string::npos) {
      run.peakKb = std::atoll(run.err.c_str() + at + 6);
      run.err.erase(at);
    }
    return run;
  }

  // A run that must end normally, silently on standard error.
  void ExpectClean(const RunResult& run) {
    EXPECT_FALSE(run.hung);
    EXPECT_TRUE(run.exited) << "signal " << run.signal;
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
  }

  fs::path root_;
};

// ---------------------------------------------------------------------------
// Killed at many moments

TEST_F(FaultTest, KilledRunLeavesConfigurationWholeAndNextRunRepairsEverything) {
  MakeInstallation();
  MakeLibrary(FsxLibrary(), 80 / kScale, 3);
  MakeLibrary(P3dLibrary(), 20 / kScale, 2);
  KeepPristine();
  const std::string fsxBefore = ReadFile(FsxCfg());
  const std::string p3dBefore = ReadFile(P3dCfg());

  // Counts the writes, and finds those of the two saves that matter most.
  RunOptions counting;
  counting.environment = {{"KVB_COUNT_WRITES", "1"},
                          {"KVB_WATCH", FsxCfg().string() + "|" + P3dCfg().string()}};
  const auto started = std::chrono::steady_clock::now();
  const RunResult reference = Run(KVBCONFIG_FAULT_PATH, counting);
  const auto duration = std::chrono::steady_clock::now() - started;
  ASSERT_TRUE(reference.exited);
  long long writes = 0;
  std::set<long long> killPoints;
  std::istringstream report(reference.err);
  for (std::string line; std::getline(report, line);) {
    if (line.rfind("writes: ", 0) == 0) {
      writes = std::atoll(line.c_str() + 8);
    } else {
      killPoints.insert(std::atoll(line.c_str()));
    }
  }
  ASSERT_GT(writes, 50);
  const size_t saveWrites = killPoints.size();
  ASSERT_GE(saveWrites, 4u);  // at least a block and the replacement, for each file
  const Tree expected = Snapshot(Work());
  const std::string fsxAfter = ReadFile(FsxCfg());
  const std::string p3dAfter = ReadFile(P3dCfg());
  ASSERT_NE(fsxAfter, fsxBefore);
  ASSERT_NE(p3dAfter, p3dBefore);

  auto checkKilledThenRepaired = [&](const RunResult& killed, const std::string& moment) {
    SCOPED_TRACE(moment);
    EXPECT_FALSE(killed.hung);
    const std::string fsx = ReadFile(FsxCfg());
    const std::string p3d = ReadFile(P3dCfg());
    EXPECT_TRUE(fsx == fsxBefore || fsx == fsxAfter) << fsx;
    EXPECT_TRUE(p3d == p3dBefore || p3d == p3dAfter) << p3d;
    const RunResult next = RunTool();
    ExpectClean(next);
    EXPECT_EQ(next.out, reference.out);
    const Tree after = Snapshot(Work());
    EXPECT_EQ(Temporaries(after), std::vector<std::string>());
    EXPECT_EQ(Differences(expected, after), "");
  };

  // Killed just before the n-th write, n spread evenly over the whole run, and
  // at every write of the two saves (the last write of a save is its replacement).
  constexpr int kAtWrites = 60;
  for (int k = 0; k < kAtWrites; ++k) killPoints.insert(1 + k * (writes - 1) / (kAtWrites - 1));
  int killedAtWrite = 0;
  for (const long long n : killPoints) {
    RestorePristine();
    RunOptions options;
    options.environment = {{"KVB_KILL_WRITE", std::to_string(n)}};
    const RunResult killed = Run(KVBCONFIG_FAULT_PATH, options);
    EXPECT_EQ(killed.signal, SIGKILL) << "write " << n;
    killedAtWrite += killed.signal == SIGKILL;
    checkKilledThenRepaired(killed, "killed before write " + std::to_string(n));
  }
  // And at moments in time, which also fall between deletions, folder changes
  // and listings.
  constexpr int kAtTimes = 20;
  int killedInTime = 0;
  for (int k = 0; k < kAtTimes; ++k) {
    RestorePristine();
    RunOptions options;
    options.killAfter = std::chrono::duration_cast<std::chrono::microseconds>(duration) *
                        (2 * k + 1) / (2 * kAtTimes);
    const RunResult killed = Run(KVBCONFIG_PATH, options);
    killedInTime += killed.signal == SIGKILL;
    checkKilledThenRepaired(
        killed, "killed after " + std::to_string(options.killAfter.count()) + " microseconds");
  }
  std::printf(
      "[ kills    ] %d before a write (of %lld writes; %zu in the two saves), %d in time (of %d)\n",
      killedAtWrite, writes, saveWrites, killedInTime, kAtTimes);
  EXPECT_GE(killedAtWrite + killedInTime, 50);
}

// ---------------------------------------------------------------------------
// A disk that fills up at each write in turn

TEST_F(FaultTest, FailedWriteLeavesSavedFileWholeAndNoTemporary) {
  MakeInstallation();
  MakeLibrary(FsxLibrary(), 3, 2);
  MakeLibrary(P3dLibrary(), 1, 1);
  KeepPristine();
  const std::string fsxBefore = ReadFile(FsxCfg());
  const std::string p3dBefore = ReadFile(P3dCfg());

  const RunResult reference = RunTool();
  ExpectClean(reference);
  const Tree expected = Snapshot(Work());

  // Which file each write goes to, when it belongs to a save: the save's
  // temporary file exists from its first write to its replacement.
  long long writes = 0;
  std::map<long long, std::string> saving;  // write number -> target of the save
  for (long long n = 1;; ++n) {
    RestorePristine();
    RunOptions options;
    options.environment = {{"KVB_KILL_WRITE", std::to_string(n)}};
    const RunResult probe = Run(KVBCONFIG_FAULT_PATH, options);
    if (probe.signal != SIGKILL) break;
    writes = n;
    for (const std::string& temporary : Temporaries(Snapshot(Work()))) {
      saving[n] = temporary.substr(0, temporary.size() - 7);
    }
  }
  ASSERT_GT(writes, 10);
  ASSERT_FALSE(saving.empty());

  int faults = 0;
  int saveFaults = 0;
  for (long long n = 1; n <= writes; ++n) {
    SCOPED_TRACE("write " + std::to_string(n) + " fails");
    RestorePristine();
    const Tree before = Snapshot(Work());
    RunOptions options;
    options.environment = {{"KVB_FAULT_WRITE", std::to_string(n)}};
    const RunResult faulty = Run(KVBCONFIG_FAULT_PATH, options);
    ++faults;
    ExpectClean(faulty);
    EXPECT_EQ(faulty.out, reference.out);  // no message beyond the usual ones
    const Tree after = Snapshot(Work());
    EXPECT_EQ(Temporaries(after), std::vector<std::string>());
    const std::string fsx = ReadFile(FsxCfg());
    const std::string p3d = ReadFile(P3dCfg());
    EXPECT_TRUE(fsx == fsxBefore || fsx == Content(expected, Relative(FsxCfg())));
    EXPECT_TRUE(p3d == p3dBefore || p3d == Content(expected, Relative(P3dCfg())));
    const auto save = saving.find(n);
    if (save != saving.end()) {
      // Only that save failed: its file is as it was before the save, and every
      // other file is as a run without the fault leaves it.
      ++saveFaults;
      const std::string target = save->second;
      const std::string package = fs::path(target).parent_path().generic_string();
      std::string whole;
      if (fs::path(target).filename() == "aircraft.cfg") {
        // The fresh copy of vorn.cfg that the save was to replace.
        whole = expected.at(target).substr(0, 10) + ReadFile(Work() / package / "vorn.cfg");
      } else {
        whole = before.at(target);
      }
      EXPECT_EQ(after.at(target), whole) << target;
      EXPECT_EQ(Differences(expected, after, {target}), "");
    }
    const RunResult next = RunTool();
    ExpectClean(next);
    EXPECT_EQ(Differences(expected, Snapshot(Work())), "");
  }
  std::printf("[ faults   ] %d failed writes, %d of them in a save\n", faults, saveFaults);
}

// ---------------------------------------------------------------------------
// Read-only files, unreadable files and folders, link loops, a vanishing package

TEST_F(FaultTest, ReadOnlyFilesAreNeverWritten) {
  MakeInstallation();
  MakeLibrary(FsxLibrary(), 6, 2);
  MakeLibrary(P3dLibrary(), 2, 1);
  // A temporary file that a killed run left, read-only at that.
  WriteFile(FsxLibrary() / PackageName(2) / "aircraft.cfg.kvbtmp", "half a file");
  chmod((FsxLibrary() / PackageName(2) / "aircraft.cfg.kvbtmp").c_str(), 0444);
  KeepPristine();

  struct Case {
    const char* name;
    fs::path file;
    std::vector<std::string> args;
  };
  const fs::path panel = FsxLibrary() / PackageName(1) / "panel" / "panel.cfg";
  const Case cases[] = {
      {"aircraft.cfg", FsxLibrary() / PackageName(0) / "aircraft.cfg", {}},
      {"aircraft.cfg shown", FsxLibrary() / PackageName(3) / "aircraft.cfg", {"--show"}},
      {"traffic database", Database(), {}},
      {"panel.cfg shown", panel, {"--show"}},
      {"panel.cfg hidden", panel, {}},
      {"fsx.cfg", FsxCfg(), {}},
      {"Prepar3D.CFG", P3dCfg(), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RestorePristine();
    const RunResult reference = RunTool(c.args);
    ExpectClean(reference);
    Tree expected = Snapshot(Work());

    RestorePristine();
    const std::string relative = Relative(c.file);
    std::string before = ReadFile(c.file);
    chmod(c.file.c_str(), 0444);
    const RunResult run = RunTool(c.args);
    ExpectClean(run);
    EXPECT_EQ(run.out, reference.out);
    const Tree after = Snapshot(Work());
    EXPECT_EQ(after.at(relative), "file 0444 " + before);
    // A hidden package keeps the panel folder that holds the read-only file.
    std::set<std::string> ignored = {relative};
    if (c.file == panel && c.args.empty()) {
      ignored.insert(Relative(panel.parent_path()));
      EXPECT_FALSE(fs::exists(panel.parent_path() / "gauges"));
    }
    EXPECT_EQ(Differences(expected, after, ignored), "");
    EXPECT_EQ(Temporaries(after), std::vector<std::string>());
  }
}

TEST_F(FaultTest, UnreadableInputsReadAsMissingForAnUnprivilegedUser) {
  MakeInstallation();
  MakeLibrary(FsxLibrary(), 4, 2);
  MakeLibrary(P3dLibrary(), 2, 1);
  KeepPristine();
  const std::string tool = ToolForNobody();
  RunOptions asNobody;
  asNobody.asNobody = true;

  const fs::path package = FsxLibrary() / PackageName(1);
  const fs::path livery = package / "texture.L1";
  struct Case {
    const char* name;
    fs::path locked;  // gets `mode` for the run
    mode_t mode;
    std::function<void()> makeEquivalent;  // the same run with it missing or empty
  };
  auto remove = [](const fs::path& path) { return [path] { fs::remove_all(path); }; };
  const Case cases[] = {
      {"vorn.cfg", package / "vorn.cfg", 0, remove(package / "vorn.cfg")},
      {"vorn.ini", livery / "vorn.ini", 0, remove(livery / "vorn.ini")},
      {"vorn.liv", livery / "vorn.liv", 0, remove(livery / "vorn.liv")},
      {"livery folder", livery, 0,
       [livery] {
         fs::remove_all(livery);
         fs::create_directory(livery);
       }},
      {"package folder", package, 0,
       [package] {
         for (const fs::directory_entry& entry : fs::directory_iterator(package)) {
           if (entry.path().filename().string().rfind("texture", 0) == 0) fs::remove_all(entry);
         }
       }},
      {"library folder", FsxLibrary(), 0, remove(FsxLibrary())},
      {"fsx.cfg", FsxCfg(), 0, remove(FsxCfg())},
      // The file may be written but not replaced: it stays as it was.
      {"fsx.cfg in a folder that cannot be written", FsxCfg().parent_path(), 0555, [] {}},
      {"client data folder", Database().parent_path(), 0, remove(Database().parent_path())},
      {"zaro.ini", AppData() / "VORN" / "Zaro" / "config" / "zaro.ini", 0,
       remove(AppData() / "VORN" / "Zaro" / "config" / "zaro.ini")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RestorePristine();
    c.makeEquivalent();
    GiveToNobody();
    const RunResult reference = Run(tool, asNobody);
    ExpectClean(reference);
    const Tree expected = Snapshot(Work());

    RestorePristine();
    const Tree before = Snapshot(Work());
    GiveToNobody();
    struct stat status;
    ASSERT_EQ(stat(c.locked.c_str(), &status), 0);
    chmod(c.locked.c_str(), c.mode);
    const RunResult run = Run(tool, asNobody);
    chmod(c.locked.c_str(), status.st_mode & 07777);
    ExpectClean(run);
    const std::string relative = Relative(c.locked);
    if (c.locked == package) {
      // With no livery folder the message names the same pattern; the locked
      // package itself is left as it was.
      EXPECT_NE(run.out.find("Error reading C:\\FSX\\SimObjects\\VORN_KVB\\VORN_P001\\texture.*"),
                std::string::npos);
    }
    EXPECT_EQ(run.out, reference.out);
    const Tree after = Snapshot(Work());
    EXPECT_EQ(Differences(expected, after, {relative}), "");
    Tree lockedBefore;
    Tree lockedAfter;
    for (const auto& [path, value] : before) {
      if (path == relative || path.compare(0, relative.size() + 1, relative + "/") == 0) {
        lockedBefore[path] = value;
      }
    }
    for (const auto& [path, value] : after) {
      if (path == relative || path.compare(0, relative.size() + 1, relative + "/") == 0) {
        lockedAfter[path] = value;
      }
    }
    EXPECT_EQ(Differences(lockedBefore, lockedAfter), "") << "the locked entry was changed";
  }
}

TEST_F(FaultTest, LinkLoopsEndAndNothingOutsideIsTouched) {
  MakeInstallation();
  MakeLibrary(FsxLibrary(), 4, 1);
  MakeLibrary(P3dLibrary(), 1, 1);
  KeepPristine();

  // Each link, and the plain entry that the same run treats it as.
  struct Loop {
    fs::path link;
    fs::path target;
    std::function<void(const fs::path&)> makeEquivalent;
  };
  auto nothing = [](const fs::path&) {};
  auto emptyFolder = [](const fs::path& path) { fs::create_directory(path); };
  const std::vector<Loop> loops = {
      {FsxLibrary() / "VORN_SELF", "VORN_SELF", nothing},                         // to itself
      {FsxLibrary() / "VORN_UP", "..", emptyFolder},                              // to its parent
      {FsxLibrary() / PackageName(0) / "texture.self", "texture.self", nothing},  // to itself
      {FsxLibrary() / PackageName(0) / "texture.cycle", ".", emptyFolder},        // its package
      {FsxLibrary() / PackageName(1) / "panel" / "up", "../..", nothing},  // deleted as a link
      {FsxLibrary() / PackageName(2) / "panel", "../" + PackageName(2), nothing},
  };
  std::set<std::string> ignored;
  for (const Loop& loop : loops) {
    loop.makeEquivalent(loop.link);
    ignored.insert(Relative(loop.link));
  }
  const RunResult reference = RunTool();
  ExpectClean(reference);
  const Tree expected = Snapshot(Work());

  RestorePristine();
  for (const Loop& loop : loops) fs::create_symlink(loop.target, loop.link);
  const RunResult run = RunTool();
  ExpectClean(run);
  EXPECT_EQ(run.out, reference.out);
  // Hidden: the panel folder of package 1 goes, its link to the library with it,
  // and nothing it pointed at; the panel that is a link goes as a link.
  ignored.erase(Relative(FsxLibrary() / PackageName(1) / "panel" / "up"));
  ignored.erase(Relative(FsxLibrary() / PackageName(2) / "panel"));
  EXPECT_EQ(Differences(expected, Snapshot(Work()), ignored), "");
}

TEST_F(FaultTest, PackageThatVanishesMidRunIsPassedOver) {
  MakeInstallation();
  MakeLibrary(FsxLibrary(), 8, 2);
  KeepPristine();
  const fs::path vanishing = FsxLibrary() / PackageName(4);

  RunOptions counting;
  counting.environment = {{"KVB_COUNT_WRITES", "1"}};
  const RunResult full = Run(KVBCONFIG_FAULT_PATH, counting);
  ASSERT_TRUE(full.exited);
  const long long writes = std::atoll(full.err.substr(full.err.find(' ') + 1).c_str());
  ASSERT_GT(writes, 10);

  RestorePristine();
  fs::remove_all(vanishing);
  const RunResult reference = RunTool();
  const Tree expected = Snapshot(Work());

  // Removed before each write in turn: before the package, while it is being
  // built (its copy, its save) and after it.
  int removals = 0;
  for (long long n = 1; n <= writes; ++n) {
    SCOPED_TRACE("package removed before write " + std::to_string(n));
    RestorePristine();
    RunOptions options;
    options.environment = {{"KVB_REMOVE_AT_WRITE", std::to_string(n) + ":" + vanishing.string()}};
    const RunResult run = Run(KVBCONFIG_FAULT_PATH, options);
    ++removals;
    ExpectClean(run);
    EXPECT_FALSE(fs::exists(vanishing));
    const Tree after = Snapshot(Work());
    EXPECT_EQ(Temporaries(after), std::vector<std::string>());
    // Only the database may still list the vanished package's liveries.
    EXPECT_EQ(Differences(expected, after, {Relative(Database())}), "");
    const RunResult next = RunTool();
    ExpectClean(next);
    EXPECT_EQ(next.out, reference.out);
    EXPECT_EQ(Differences(expected, Snapshot(Work())), "");
  }
  std::printf("[ vanished ] package removed at %d different writes\n", removals);
}

TEST_F(FaultTest, SpecialFilesAreNeitherReadNorReplaced) {
  MakeInstallation();
  MakeLibrary(FsxLibrary(), 4, 1);
  MakeLibrary(P3dLibrary(), 1, 1);
  KeepPristine();
  // Devices of our own, so that a fault can only ever replace these.
  const fs::path devices = root_ / "devices";
  fs::create_directories(devices);
  const bool haveDevices = mknod((devices / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 &&
                           mknod((devices / "zero").c_str(), S_IFCHR | 0666, makedev(1, 5)) == 0 &&
                           chmod((devices / "null").c_str(), 0666) == 0 &&
                           chmod((devices / "zero").c_str(), 0666) == 0;

  struct Special {
    fs::path path;
    bool fifo;           // else a link to a device: null, or zero for reading
    bool readAsMissing;  // else the run deletes it and writes the file anew
  };
  std::vector<Special> specials = {
      {FsxLibrary() / PackageName(0) / "texture" / "vorn.ini", true, true},  // would block
      {FsxLibrary() / PackageName(2) / "aircraft.cfg", true, false},
      {Database(), true, false},
      {P3dCfg(), true, true},
  };
  if (haveDevices) {
    specials.push_back({FsxCfg(), false, true});  // a run as root would replace the device
    // An endless file: the limit only keeps a faulty run from taking the machine.
    if (!KVB_SANITIZED)
      specials.push_back({FsxLibrary() / PackageName(1) / "vorn.cfg", false, true});
  }
  std::set<std::string> ignored;
  for (const Special& special : specials) {
    if (special.readAsMissing) {
      fs::remove(special.path);
      ignored.insert(Relative(special.path));
    }
  }
  const RunResult reference = RunTool();
  ExpectClean(reference);
  const Tree expected = Snapshot(Work());

  RestorePristine();
  for (const Special& special : specials) {
    fs::remove(special.path);
    if (special.fifo) {
      ASSERT_EQ(mkfifo(special.path.c_str(), 0644), 0);
    } else {
      fs::create_symlink(devices / (special.path == FsxCfg() ? "null" : "zero"), special.path);
    }
  }
  RunOptions options;
  options.hangAfter = std::chrono::seconds(60);
  options.addressSpaceMb = KVB_SANITIZED ? 0 : 2048;
  const RunResult run = Run(KVBCONFIG_PATH, options);
  ExpectClean(run);
  EXPECT_EQ(run.out, reference.out);
  const Tree after = Snapshot(Work());
  EXPECT_EQ(Differences(expected, after, ignored), "");
  for (const Special& special : specials) {
    if (!special.readAsMissing) continue;
    SCOPED_TRACE(special.path.string());
    EXPECT_EQ(after.at(Relative(special.path)).substr(0, 5), special.fifo ? "other" : "link ");
  }
  if (haveDevices) {
    EXPECT_EQ(Snapshot(devices), (Tree{{"null", "other 0666"}, {"zero", "other 0666"}}));
  }
  EXPECT_EQ(Temporaries(after), std::vector<std::string>());
}

TEST_F(FaultTest, ReplacedFilesKeepTheirOwnerPermissionsAndLinks) {
  MakeInstallation();
  MakeLibrary(FsxLibrary(), 2, 1);
  MakeLibrary(P3dLibrary(), 1, 1);
  // The user keeps fsx.cfg elsewhere and links to it; both files are the user's.
  const fs::path kept = Drive() / "Documents" / "my fsx.cfg";
  fs::create_directories(kept.parent_path());
  fs::rename(FsxCfg(), kept);
  fs::create_symlink("../../../Documents/my fsx.cfg", FsxCfg());
  const std::string fsxBefore = ReadFile(kept);
  struct Owned {
    fs::path file;
    mode_t mode;
  };
  const Owned owned[] = {{kept, 0600}, {P3dCfg(), 0664}};
  for (const Owned& o : owned) {
    ASSERT_EQ(chown(o.file.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(o.file.c_str(), o.mode), 0);
  }

  ExpectClean(RunTool());
  EXPECT_TRUE(fs::is_symlink(FsxCfg()));
  EXPECT_EQ(fs::read_symlink(FsxCfg()), "../../../Documents/my fsx.cfg");
  EXPECT_NE(ReadFile(kept), fsxBefore);
  EXPECT_NE(ReadFile(kept).find("SimObjectPaths.2=SimObjects\\VORN_KVB\r\n"), std::string::npos);
  for (const Owned& o : owned) {
    SCOPED_TRACE(o.file.string());
    struct stat status;
    ASSERT_EQ(stat(o.file.c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, 65534u);
    EXPECT_EQ(status.st_gid, 65534u);
    EXPECT_EQ(status.st_mode & 07777, o.mode);
  }
  EXPECT_EQ(Temporaries(Snapshot(Drive())), std::vector<std::string>());
}

// ---------------------------------------------------------------------------
// Inputs of extreme size

class ExtremeInputTest : public FaultTest {
 protected:
  // Peak memory of a run over a small library: what the tool needs anyway.
  long long BaselinePeakKb() {
    MakeInstallation();
    MakeLibrary(FsxLibrary(), 2, 1);
    // FSX only: the database then holds this library's records.
    WriteFile(AppData() / "VORN" / "Zaro" / "config" / "zaro.ini",
              Lines({"[INSTALL]", "fsx_path=C:\\FSX", "Path=C:\\client"}));
    const RunResult run = RunMeasured();
    EXPECT_TRUE(run.exited);
    fs::remove_all(Drive() / "FSX");
    WriteFile(FsxCfg(), Lines({"[Main]"}));
    return run.peakKb;
  }

  // A package with one livery, around the given vorn.cfg.
  fs::path MakeOddPackage(const std::string& name, const std::string& vornCfg) {
    const fs::path package = FsxLibrary() / name;
    WriteFile(package / "vorn.cfg", vornCfg);
    WriteFile(package / "texture" / "vorn.liv", Lines({"[fltsim]", "title=" + name}));
    return package;
  }

  static std::string Sections(const std::string& file) {
    std::string names;
    std::istringstream in(file);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line[0] == '[') names += line.substr(0, line.find(']') + 1);
    }
    return names;
  }
};

TEST_F(ExtremeInputTest, MemoryDoesNotGrowWithTheNumberOfPackages) {
  const long long baseline = BaselinePeakKb();
  const int packages = 2000 / kScale;
  MakeLibrary(FsxLibrary(), packages, 1);
  const RunResult run = RunMeasured();
  ExpectClean(run);
  EXPECT_EQ(Count(ReadFile(Database()), "\r\n"), static_cast<size_t>(packages * 3 / 2));
  std::printf("[ memory   ] %d packages: peak %lld kB (baseline %lld kB)\n", packages, run.peakKb,
              baseline);
  if (!KVB_SANITIZED) {
    EXPECT_LT(run.peakKb, baseline + 4 * 1024);
  }
}

TEST_F(ExtremeInputTest, HugeBaseConfigurationStreamsThrough) {
  const long long baseline = BaselinePeakKb();
  const size_t size = 100u * 1000 * 1000 / kScale;
  // Mostly comments and a key repeated over and over: the document stays small
  // however large the file.
  std::string vornCfg = Lines({"[General]", "atc_type=VORN", "[contact_points]", "static_pitch=2.5",
                               "static_cg_height=1.75"});
  vornCfg.reserve(size + 200);
  const std::string comment = "; " + std::string(90, 'c') + "\r\n";
  const std::string repeated = "pad=" + std::string(60, 'p') + "\r\n";
  for (int i = 0; vornCfg.size() < size; ++i) vornCfg += (i % 4 == 3) ? repeated : comment;
  const fs::path package = MakeOddPackage("VORN_HUGE", vornCfg);
  vornCfg.clear();
  vornCfg.shrink_to_fit();

  const RunResult run = RunMeasured();
  ExpectClean(run);
  EXPECT_NE(run.out.find("VORN_HUGE \n"), std::string::npos);
  const std::string aircraft = ReadFile(package / "aircraft.cfg");
  EXPECT_EQ(Sections(aircraft), "[contact_points][fltsim.0][General]");
  EXPECT_NE(aircraft.find("\r\npad=" + std::string(60, 'p') + "\r\n"), std::string::npos);
  EXPECT_EQ(ReadFile(Database()), "VORN_HUGE,,1.75,2.5,0\r\n");
  std::printf("[ memory   ] %zu MB vorn.cfg: peak %lld kB (baseline %lld kB)\n", size / 1000000,
              run.peakKb, baseline);
  if (!KVB_SANITIZED) {
    EXPECT_LT(run.peakKb, baseline + 32 * 1024);
  }
}

TEST_F(ExtremeInputTest, TenMegabyteLineIsKeptWhole) {
  const long long baseline = BaselinePeakKb();
  const size_t size = 10u * 1000 * 1000 / kScale;
  std::string value(size, 'v');
  for (size_t i = 0; i < size; i += 1000) value[i] = static_cast<char>('a' + i / 1000 % 26);
  // The long line is also the file's last, with no line end.
  const fs::path package =
      MakeOddPackage("VORN_LONG", Lines({"[General]", "atc_type=VORN"}) + "long=" + value);

  const RunResult run = RunMeasured();
  ExpectClean(run);
  const std::string aircraft = ReadFile(package / "aircraft.cfg");
  EXPECT_NE(aircraft.find("\r\nlong=" + value + "\r\n"), std::string::npos);
  std::printf("[ memory   ] %zu MB line: peak %lld kB (baseline %lld kB)\n", size / 1000000,
              run.peakKb, baseline);
  if (!KVB_SANITIZED) {
    EXPECT_LT(run.peakKb, baseline + 16 * static_cast<long>(size / 1024));
  }
}

TEST_F(ExtremeInputTest, TenThousandLiveriesInOnePackage) {
  const long long baseline = BaselinePeakKb();
  const int liveries = 10000 / kScale;
  const fs::path package = FsxLibrary() / "VORN_MANY";
  WriteFile(package / "vorn.cfg", Lines({"[contact_points]", "static_pitch=1"}));
  for (int l = 0; l < liveries; ++l) {
    const fs::path livery = package / ("texture." + std::to_string(l));
    WriteFile(livery / "vorn.liv", Lines({"[fltsim]", "title=T" + std::to_string(l)}));
    WriteFile(livery / "vorn.ini", Lines({"[vorn]", "kvb_version=" + std::to_string(l)}));
  }

  const RunResult run = RunMeasured();
  ExpectClean(run);
  EXPECT_EQ(Count(run.out, "\nT"), static_cast<size_t>(liveries));
  const std::string aircraft = ReadFile(package / "aircraft.cfg");
  EXPECT_EQ(Count(aircraft, "\r\n[fltsim."), static_cast<size_t>(liveries));
  EXPECT_NE(aircraft.find("[fltsim." + std::to_string(liveries - 1) + "]"), std::string::npos);
  const std::string database = ReadFile(Database());
  EXPECT_EQ(Count(database, "\r\n"), static_cast<size_t>(liveries));
  // Liveries come in listing order: texture.0, texture.1, texture.10, ...
  EXPECT_EQ(database.substr(0, 30), "T0,,0,1,0\r\nT1,,0,1,1\r\nT10,,0,1");
  std::printf("[ memory   ] %d liveries: peak %lld kB (baseline %lld kB)\n", liveries, run.peakKb,
              baseline);
  if (!KVB_SANITIZED) {
    EXPECT_LT(run.peakKb, baseline + 64 * 1024);
  }
}

TEST_F(ExtremeInputTest, HundredThousandSectionsInOneFile) {
  const long long baseline = BaselinePeakKb();
  const int sections = 100000 / kScale;
  std::string vornCfg;
  std::string fsxCfg = Lines({"[Main]"});
  for (int s = 0; s < sections; ++s) {
    vornCfg += "[s" + std::to_string(s) + "]\r\nk=" + std::to_string(s) + "\r\n";
    fsxCfg += "SimObjectPaths." + std::to_string(s) + "=SimObjects\\S" + std::to_string(s) +
              "\r\n[Other" + std::to_string(s) + "]\r\nx=1\r\n[Main]\r\n";
  }
  const fs::path package = MakeOddPackage("VORN_WIDE", vornCfg);
  WriteFile(FsxCfg(), fsxCfg);

  const RunResult run = RunMeasured();
  ExpectClean(run);
  const std::string aircraft = ReadFile(package / "aircraft.cfg");
  EXPECT_EQ(Count(aircraft, "\r\n[s"), static_cast<size_t>(sections));
  EXPECT_NE(aircraft.find("\r\n[s99]\r\nk=99\r\n\r\n[s990]\r\n"), std::string::npos);
  // Every slot is taken: the library goes into the first free one.
  const std::string fsx = ReadFile(FsxCfg());
  EXPECT_EQ(Count(fsx, "\r\n[Other"), static_cast<size_t>(sections));
  EXPECT_NE(fsx.find("SimObjectPaths." + std::to_string(sections) + "=SimObjects\\VORN_KVB\r\n"),
            std::string::npos);
  std::printf("[ memory   ] %d sections: peak %lld kB (baseline %lld kB)\n", sections, run.peakKb,
              baseline);
  if (!KVB_SANITIZED) {
    EXPECT_LT(run.peakKb, baseline + 192 * 1024);
  }
}

}  // namespace
