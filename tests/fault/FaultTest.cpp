// Whole runs of the tool under faults, each checking what the user sees and what is
// on disk afterwards.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

#include "run/RunHarness.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using kvbtest::RunResult;

namespace {

struct TreeEntry {
  char type = 'f';  // 'd' folder, 'f' file, 'l' link (never followed)
  std::string content, linkTarget;
  bool readOnly = false;
};
using Tree = std::map<std::string, TreeEntry>;  // relative '/' paths, byte order

Tree Snapshot(const std::string& root) {
  Tree tree;
  std::error_code error;
  for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
       it.increment(error)) {
    const fs::file_status status = it->symlink_status();
    TreeEntry& entry = tree[it->path().lexically_relative(root).generic_string()];
    if (fs::is_symlink(status)) {
      entry = {'l', "", fs::read_symlink(it->path()).string()};
    } else if (fs::is_directory(status)) {
      entry.type = 'd';
    } else {
      entry.content = ReadBytes(it->path().string());
      entry.readOnly = (status.permissions() & (fs::perms::owner_write | fs::perms::group_write |
                                                fs::perms::others_write)) == fs::perms::none;
    }
  }
  return tree;
}

constexpr int kScale = KVB_SANITIZED ? 10 : 1;  // sanitized runs are slow and big
constexpr int kKilled = (128 + 9) << 8;         // as the shell reports a SIGKILL
const std::string kFsx = "appdata/Microsoft/FSX/fsx.cfg", kDatabase = "client/data/kvb.dat";
const std::string kP3d = "appdata/Lockheed Martin/Prepar3D/Prepar3D.CFG";
const std::string kFsxLibrary = "FSX/SimObjects/VORN_KVB", kP3dLibrary = "P3D/SimObjects/VORN_KVB";

std::string Crlf(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

std::string Parent(const std::string& path) { return path.substr(0, path.rfind('/')); }

bool Has(const Tree& tree, const std::string& path, const TreeEntry& e) {
  const auto it = tree.find(path);
  return it != tree.end() && it->second.type == e.type && it->second.content == e.content &&
         it->second.linkTarget == e.linkTarget && it->second.readOnly == e.readOnly;
}

// The differences below `only` ("" everywhere) outside `ignored`; "" when none.
std::string Differences(const Tree& expected, const Tree& actual,
                        const std::set<std::string>& ignored = {}, const std::string& only = "") {
  Tree both = expected;
  both.insert(actual.begin(), actual.end());
  std::string report;
  for (const auto& entry : both) {
    const std::string& path = entry.first;
    auto under = [&](const std::string& top) { return path == top || !path.rfind(top + "/", 0); };
    if (std::any_of(ignored.begin(), ignored.end(), under) || (!only.empty() && !under(only)))
      continue;
    const auto got = actual.find(path);
    if (got == actual.end()) report += path + " missing\n";
    if (got != actual.end() && !Has(expected, path, got->second))
      report += path + ": " + got->second.content.substr(0, 40) + "\n";
  }
  return report.substr(0, 600);
}

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A memory file system where there is one: thousands of files are made and deleted.
    if (fs::is_directory("/dev/shm")) ScopedEnvironment::Set("TMPDIR", "/dev/shm");
    ASSERT_TRUE(temp_.Create());
    fs::create_directories(temp_.Join("wine/dosdevices"));  // C: is the folder c
    fs::create_directory_symlink(temp_.Join("c"), temp_.Join("wine/dosdevices/c:"));
  }

  std::string P(const std::string& path) const { return temp_.Join("c/" + path); }
  std::string Read(const std::string& path) const { return ReadBytes(P(path)); }
  void Write(const std::string& path, const std::string& bytes) { WriteBytes(P(path), bytes); }
  Tree Snapshot() const { return ::Snapshot(temp_.Join("c")); }
  void Copy(const std::string& from, const std::string& to) {
    fs::remove_all(temp_.Join(to));
    fs::copy(temp_.Join(from), temp_.Join(to),
             fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  }
  void Keep() { Copy("c", "pristine"); }
  void Restore() { Copy("pristine", "c"); }

  // `path` as the report names it: through Wine's drive folder.
  std::string R(const std::string& path) const { return temp_.Join("wine/dosdevices/c:/" + path); }
  RunResult Run(std::map<std::string, std::string> environment = {},
                const std::vector<std::string>& arguments = {}) {
    environment["APPDATA"] = "C:\\appdata";
    environment["WINEPREFIX"] = temp_.Join("wine");
    environment["KVB_HOOKS"] = temp_.Join("hooks.txt");
    fs::remove(temp_.Join("hooks.txt"));
    const RunResult run = kvbtest::RunTool(temp_.Join("c"), arguments, environment);
    hooks_ = ReadBytes(temp_.Join("hooks.txt"));
    return run;
  }
  // Ended as usual, and reported nothing that failed.
  static void ExpectClean(const RunResult& run) {
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Count(run.errors, "cannot ") + Count(run.errors, "read-only"), 0u) << run.errors;
  }

  // The client's settings, the simulators' files (Prepar3D.CFG nobody's), an old database,
  // and packages VORN_P100... with `liveries` livery folders (one more in odd ones),
  // some with a stale aircraft.cfg, a panel folder or a helicopter section.
  void MakeInstallation(int fsxPackages, int p3dPackages, int liveries) {
    Write("appdata/VORN/Zaro/config/zaro.ini",
          Crlf({"[INSTALL]", "fsx_path=C:\\FSX", "Path=C:\\client",
                p3dPackages ? "prepar3d_path=C:\\P3D\\" : ""}));
    Write(kFsx, Crlf({"; the user's own", "[Main]", "SimObjectPaths.0=SimObjects\\Airplanes", "",
                      "[DISPLAY]", "TextureMaxLoad=6"}));
    Write(kP3d,
          "\xEF\xBB\xBF" + Crlf({"[MAIN]", "simobjectpaths.0=SimObjects\\Boats", "[Weather]"}));
    EXPECT_EQ(chown(P(kP3d).c_str(), 65534, 65534) + chmod(P(kP3d).c_str(), 0664), 0);
    Write(kDatabase, "old,record,0,0,0\r\n");
    for (int i = 0; i < fsxPackages + p3dPackages; ++i) {
      const std::string n = std::to_string(i % fsxPackages);
      const std::string package = (i < fsxPackages ? kFsxLibrary : kP3dLibrary) + "/VORN_P1" +
                                  (n.size() < 2 ? "0" : "") + n;
      Write(package + "/vorn.cfg",
            Crlf({"[General]", "atc_model=P" + n, "[contact_points]", "static_cg_height=1." + n,
                  i % 7 == 3 ? "[Helicopter]" : ""}));
      if (i % 3 == 0) Write(package + "/aircraft.cfg", "[stale]\r\n");
      if (i % 4 == 1) Write(package + "/panel/panel.cfg", "[Window00]\r\n");
      if (i % 4 == 1) Write(package + "/panel/gauges/g.txt", "gauge\r\n");
      for (int l = 0; l < liveries + i % 2; ++l) {
        const std::string tag = n + "-" + std::to_string(l);
        const std::string livery = package + (l ? "/texture.L" + std::to_string(l) : "/texture");
        Write(livery + "/vorn.ini",
              Crlf({"[vorn]", "repaint=R" + tag, "kvb_version=" + std::to_string(l)}));
        Write(livery + "/vorn.liv", Crlf({"[fltsim]", "title=VORN " + tag}));
      }
    }
  }

  TempDir temp_;
  std::string hooks_;  // what the fault build's hooks said in the last run
};

TEST_F(FaultTest, KilledRunLeavesConfigurationWholeAndNextRunRepairsEverything) {
  MakeInstallation(80 / kScale, 20 / kScale, 3);
  Keep();
  std::map<std::string, std::set<std::string>> whole;  // the old and the new content
  for (const std::string& file : {kFsx, kP3d}) whole[file] = {Read(file)};
  // Counts the writes, and finds those of the two saves that matter most.
  const auto started = std::chrono::steady_clock::now();
  const RunResult reference = Run({{"KVB_WATCH", P(kFsx) + "|" + P(kP3d)}});
  const auto took = std::chrono::steady_clock::now() - started;
  ExpectClean(reference);
  std::set<long long> kills;
  std::istringstream report(hooks_);
  for (std::string line; std::getline(report, line);) kills.insert(std::atoll(line.c_str()));
  kills.erase(0);  // the last line, "writes: n"
  const long long writes = std::atoll(hooks_.substr(hooks_.rfind(' ')).c_str());
  ASSERT_GT(writes, 50);
  ASSERT_GE(kills.size(), 4u);  // at least a block and the replacement, for each file
  for (int k = 0; k < 60; ++k) kills.insert(1 + k * (writes - 1) / 59);
  const Tree expected = Snapshot();
  for (auto& [file, contents] : whole) ASSERT_TRUE(contents.insert(Read(file)).second) << file;
  struct stat p3d = {};  // the replacement kept the owner and the permission bits
  EXPECT_EQ(stat(P(kP3d).c_str(), &p3d), 0);
  EXPECT_EQ(p3d.st_uid + p3d.st_gid + (p3d.st_mode & 07777), 2 * 65534u + 0664);

  // Killed before each of those writes, and at moments spread over the run's time,
  // which also fall between deletions, folder changes and listings.
  std::vector<std::pair<std::string, long long>> moments;
  for (long long n : kills) moments.push_back({"KVB_KILL_WRITE", n});
  const long long micros = std::chrono::duration_cast<std::chrono::microseconds>(took).count();
  for (int k = 0; k < 20; ++k) moments.push_back({"KVB_KILL_AFTER_US", micros * (2 * k + 1) / 40});
  int killed = 0;
  for (const auto& [hook, value] : moments) {
    SCOPED_TRACE(hook + "=" + std::to_string(value));
    Restore();
    const RunResult run = Run({{hook, std::to_string(value)}});
    killed += run.status == kKilled;
    EXPECT_TRUE(hook != "KVB_KILL_WRITE" || run.status == kKilled) << run.status;
    for (const auto& [file, contents] : whole) EXPECT_EQ(contents.count(Read(file)), 1u) << file;
    const RunResult next = Run();
    ExpectClean(next);
    EXPECT_EQ(next.console + Differences(expected, Snapshot()), reference.console);  // no .kvbtmp
  }
  std::printf("[ kills    ] %d of %zu (%lld writes)\n", killed, moments.size(), writes);
  EXPECT_GE(killed, 50);
}

TEST_F(FaultTest, FailedWriteOrVanishedPackageLeavesFilesWhole) {
  MakeInstallation(4, 1, 2);
  Keep();
  const Tree before = Snapshot();
  std::string watch = P(kFsx) + "|" + P(kP3d);  // and every aircraft.cfg: the saves
  for (const std::string& library : {kFsxLibrary, kP3dLibrary})
    for (const auto& package : fs::directory_iterator(P(library)))
      watch += "|" + (package.path() / "aircraft.cfg").string();
  const RunResult reference = Run({{"KVB_WATCH", watch}});
  std::map<long long, std::string> saving;  // write number -> the file being saved
  std::istringstream report(hooks_);
  std::string file;
  for (long long n; report >> n && report.get() && std::getline(report, file);)
    saving[n] = file.substr(P("").size());
  const long long writes = std::atoll(hooks_.substr(hooks_.rfind(' ')).c_str());
  ASSERT_GT(writes, 10);
  ASSERT_GT(saving.size(), 5u);
  const Tree expected = Snapshot();
  const std::string vanishing = kFsxLibrary + "/VORN_P101";
  fs::remove_all(P(vanishing));
  ExpectClean(Run());
  const Tree withoutPackage = Snapshot();

  for (long long n = 1; n <= writes; ++n) {
    SCOPED_TRACE("write " + std::to_string(n));
    // The write fails: the run goes on, reports the one file it could not write,
    // leaves no temporary file, and a failed save leaves its file as before (or
    // absent, as before) and every other file as after a run without the fault.
    Restore();
    const RunResult faulty = Run({{"KVB_FAULT_WRITE", std::to_string(n)}});
    EXPECT_EQ(faulty.status, 0);
    EXPECT_EQ(Count(faulty.errors, "cannot "), 1u) << faulty.errors;
    EXPECT_EQ(Count(faulty.errors, "No space left on device"), 1u) << faulty.errors;
    EXPECT_EQ(faulty.console, reference.console);
    const Tree after = Snapshot();
    const std::string saved = saving.count(n) ? saving[n] : kFsx;
    for (const std::string& path : {kFsx, kP3d, saved}) {
      const bool gone = !after.count(path) && !before.count(path);
      EXPECT_TRUE(gone || Has(before, path, after.at(path)) || Has(expected, path, after.at(path)))
          << path;
    }
    EXPECT_EQ(saving.count(n) ? Differences(expected, after, {saved}) : "", "");
    ExpectClean(Run());
    EXPECT_EQ(Differences(expected, Snapshot()), "");

    // A package deleted before the write is passed over; only the database may still
    // list its liveries, until the next run.
    Restore();
    EXPECT_EQ(Run({{"KVB_REMOVE_AT_WRITE", std::to_string(n) + ":" + P(vanishing)}}).status, 0);
    EXPECT_EQ(Differences(withoutPackage, Snapshot(), {kDatabase}), "");
    ExpectClean(Run());
    EXPECT_EQ(Differences(withoutPackage, Snapshot()), "");
  }
}

// Entries a run may not use as it would: read-only files at every place a run writes,
// inputs the unprivileged user may not read, FIFOs, a device and link loops. Each run
// prints what a run prints where the entry is `sameAs`, leaves every other file as
// that run does, and the entry as it was.
TEST_F(FaultTest, ReadOnlyUnreadableAndSpecialEntriesAreLeftAlone) {
  MakeInstallation(6, 2, 2);
  const std::string stale = kFsx + ".kvbtmp";  // a killed run's
  Write(stale, "half a file");
  fs::permissions(P(stale), fs::perms::owner_read);
  Keep();
  const std::string device = temp_.Join("null");  // ours: a faulty run could only replace this
  const bool haveDevice = mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
  const std::string l = kFsxLibrary + "/", p1 = l + "VORN_P101", livery = p1 + "/texture.L1";
  const std::string panel = p1 + "/panel/panel.cfg";
  const std::string denied = ": Permission denied", notFile = ": not a regular file";
  const struct {
    std::string path;
    char kind;              // 'r' read-only, 'u' unreadable or 'w' not writable for nobody,
                            // 'p' a FIFO, 'l' a link to `linkTo`, 'd' a link to the device
    char sameAs;            // 'm' missing, 'e' an empty folder, 'c' emptied, '=' as it is
    std::string says = "";  // in the report, beyond what the run like `sameAs` reports
    std::string linkTo = "";
  } cases[] = {
      {l + "VORN_P100/aircraft.cfg", 'r', '=', R(l + "VORN_P100/aircraft.cfg") + " is read-only"},
      {kDatabase, 'r', '=', R(kDatabase) + " is read-only"},
      {panel, 'r', '=', R(panel) + " is read-only"},  // the hidden package keeps the folder
      {kFsx, 'r', '=', R(kFsx) + ": not changed: read-only"},
      {kP3d, 'r', '=', R(kP3d) + ": not changed: read-only"},
      {p1 + "/vorn.cfg", 'u', 'm'},
      {livery + "/vorn.ini", 'u', 'm'},
      {livery + "/vorn.liv", 'u', 'm'},
      {livery, 'u', 'c'},
      {p1, 'u', 'c', "cannot list " + R(p1) + denied},
      {kFsxLibrary, 'u', 'm', "FSX: cannot list library folder " + R(kFsxLibrary) + denied},
      {kFsx, 'u', 'm', R(kFsx) + ": not changed: cannot read it" + denied},
      // fsx.cfg may be written but not replaced: it stays
      {Parent(kFsx), 'w', '=', R(kFsx) + ": not changed: cannot write it" + denied},
      {Parent(kDatabase), 'u', 'm', "cannot write " + R(kDatabase) + denied},
      {"appdata/VORN/Zaro/config/zaro.ini", 'u', 'm',
       "cannot read settings file " + R("appdata/VORN/Zaro/config/zaro.ini") + denied},
      {l + "VORN_P100/texture/vorn.ini", 'p', 'm'},  // would block a reader
      {l + "VORN_P102/aircraft.cfg", 'p', '='},      // deleted, and written anew
      {kDatabase, 'p', '='},
      {kFsx, 'p', 'm', R(kFsx) + ": not changed: cannot write it" + notFile},
      {kP3d, 'd', 'm', R(kP3d) + ": not changed: cannot write it" + notFile},
      {l + "VORN_SELF", 'l', 'm', "", "VORN_SELF"},
      {l + "VORN_UP", 'l', 'e', "", ".."},
      {l + "VORN_P100/texture.self", 'l', 'm', "", "texture.self"},
      {l + "VORN_P100/texture.cycle", 'l', 'e', "", "."},
      {p1 + "/panel/up", 'l', '=', "", "../.."},               // goes with its hidden panel folder
      {l + "VORN_P102/panel", 'l', '=', "", "../VORN_P102"}};  // goes as a link
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path + " " + c.kind + c.sameAs);
    const int mode = c.kind == 'r' ? 0440 : c.kind == 'u' ? 0 : c.kind == 'w' ? 0555 : -1;
    const bool nobody = c.kind == 'u' || c.kind == 'w', kept = mode >= 0 || c.sameAs != '=';
    const std::string target = c.kind == 'd' ? device : c.linkTo;
    auto run = [&] {
      for (auto& entry : fs::recursive_directory_iterator(P("")))
        EXPECT_TRUE(!nobody || lchown(entry.path().c_str(), 65534, 65534) == 0);
      return Run({{"KVB_AS_NOBODY", nobody ? "1" : ""}});
    };
    if (c.kind == 'd' && !haveDevice) continue;
    Restore();
    if (c.sameAs == 'c')
      for (const auto& child : fs::directory_iterator(P(c.path))) fs::remove_all(child);
    if (c.sameAs == 'm') fs::remove_all(P(c.path));
    if (c.sameAs == 'e') fs::create_directory(P(c.path));
    const RunResult reference = run();
    const Tree expected = Snapshot();
    EXPECT_TRUE(c.kind != 'r' || !expected.count(stale));

    Restore();
    const Tree before = Snapshot();
    const fs::perms perms = fs::symlink_status(P(c.path)).permissions();
    if (mode >= 0) fs::permissions(P(c.path), static_cast<fs::perms>(mode));
    if (mode < 0) fs::remove(P(c.path));
    EXPECT_EQ(c.kind == 'p' ? mkfifo(P(c.path).c_str(), 0644) : 0, 0);
    if (!target.empty()) fs::create_symlink(target, P(c.path));
    const RunResult odd = run();
    if (mode >= 0) fs::permissions(P(c.path), perms);
    EXPECT_EQ(odd.status, 0);
    EXPECT_EQ(odd.console, reference.console);
    // The report says what became of the entry, and no other failure than the reference.
    EXPECT_TRUE(c.says.empty() || odd.errors.find(c.says) != std::string::npos) << odd.errors;
    std::istringstream said(odd.errors);
    for (std::string line; std::getline(said, line);)
      EXPECT_TRUE(reference.errors.find(line) != std::string::npos ||
                  (!c.says.empty() && line.find(c.says) != std::string::npos) ||
                  (Count(line, "cannot ") + Count(line, "read-only") + Count(line, "not ") == 0))
          << line;
    if (mode < 0 && kept) {
      const fs::file_status status = fs::symlink_status(P(c.path));
      EXPECT_TRUE(target.empty() ? fs::is_fifo(status) : fs::read_symlink(P(c.path)) == target);
      fs::remove(P(c.path));  // a snapshot would block on a FIFO
    }
    const Tree after = Snapshot();
    const std::string ignored = c.path == panel ? Parent(panel) : c.path;
    EXPECT_EQ(Differences(expected, after, kept ? std::set{ignored} : std::set<std::string>{}), "");
    EXPECT_EQ(Differences(before, after, {}, mode >= 0 ? c.path : "-"), "");
    EXPECT_TRUE(c.path != panel || !after.count(Parent(panel) + "/gauges"));
    EXPECT_TRUE(!haveDevice || fs::is_character_file(device));
  }
}

// A run over two packages needs a baseline of memory; a run over extreme inputs
// stays within a fixed allowance above it (unsanitized) and gives the right result.
TEST_F(FaultTest, ExtremeInputsFinishInProportionateMemory) {
  MakeInstallation(2, 0, 1);  // FSX only: the database holds that library's records
  auto measured = [&] {       // the peak memory of a run, in kB
    ExpectClean(Run({{"KVB_REPORT_PEAK", "1"}}));
    return std::atoll(hooks_.c_str() + std::min(hooks_.rfind("peak: ") + 6, hooks_.size()));
  };
  const long long baseline = measured();
  fs::remove_all(P("FSX"));
  Keep();
  const int n = 1000 * 1000 / kScale;  // the 100 MB, 10 MB, 10,000 and 100,000
  const std::string big = kFsxLibrary + "/VORN_BIG/", value(n * 10, 'v');
  const struct {
    const char* name;
    int allowanceMb;
    std::string needle;  // in the new aircraft.cfg, `times` times
    size_t times, records;
  } cases[] = {{"2000 packages", 4, "[", 0, 3u * n / 1000},
               {"100 MB vorn.cfg", 32, "\r\np=" + std::string(96, 'c') + "\r\n", 1, 1},
               {"10 MB line", 16 * n * 10 / 1024 / 1024, "\r\nlong=" + value + "\r\n", 1, 1},
               {"10,000 liveries", 64, "\r\n[fltsim.", n / 100u, n / 100u},
               {"100,000 sections", 192, "\r\n[s", n / 10u, 1}};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(cases[i].name);
    Restore();
    std::string vornCfg = Crlf({"[contact_points]", "static_pitch=2.5", "static_cg_height=1.75"});
    std::string fsx = "[Main]\r\n";
    if (i == 0) MakeInstallation(2 * n / 1000, 0, 1);
    for (int k = 0; i == 1 && k < n; ++k)
      vornCfg += (k % 4 ? "; " : "p=") + std::string(96, 'c') + "\r\n";
    if (i == 2) vornCfg += "long=" + value;  // the last line, without a line end
    for (int l = 0; i == 3 && l < n / 100; ++l)
      Write(big + "texture." + std::to_string(l) + "/vorn.liv",
            "[fltsim]\r\ntitle=T" + std::to_string(l));
    for (int s = 0; i == 4 && s < n / 10; ++s) {
      const std::string k = std::to_string(s);
      vornCfg += "[s" + k + "]\r\nk=" + k + "\r\n";
      fsx += "SimObjectPaths." + k + "=S" + k + "\r\n[Other" + k + "]\r\nx=1\r\n[Main]\r\n";
    }
    Write(kFsx, fsx);
    if (i > 0) Write(big + "vorn.cfg", vornCfg);
    if (i > 0 && i != 3) Write(big + "texture/vorn.liv", "[fltsim]\r\ntitle=VORN_BIG");
    vornCfg = fsx = std::string();
    const long long peak = measured();
    const std::string database = Read(kDatabase);
    EXPECT_EQ(Count(Read(big + "aircraft.cfg"), cases[i].needle), cases[i].times);
    EXPECT_EQ(Count(database, "\n"), cases[i].records);
    EXPECT_TRUE(cases[i].records != 1 || database == "VORN_BIG,,1.75,2.5,0\r\n") << database;
    EXPECT_LE(database.find("\nT10,"), database.find("\nT2,"));  // liveries in listing order
    EXPECT_EQ(Count(Read(kFsx), "\nSimObjectPaths." + std::to_string(i == 4 ? n / 10 : 0) +
                                    "=SimObjects\\VORN_KVB\r\n"),
              1u);
    std::printf("[ memory   ] %s: peak %lld kB (baseline %lld kB)\n", cases[i].name, peak,
                baseline);
    EXPECT_TRUE(KVB_SANITIZED || peak < baseline + cases[i].allowanceMb * 1024) << peak;
  }
}

}  // namespace
