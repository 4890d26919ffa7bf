// Whole runs of the tool under faults: killed, refused a write or a close, cut short,
// denied a listing, robbed of a package, or handed huge inputs. Each checks what the user
// sees and what is on disk afterwards. The installation is tests/fault/installation on
// Wine's drive C:, with copies of its first package where more are needed.
#include <sys/stat.h>
#include <unistd.h>

#include <regex>

#include "support/Support.h"

namespace {

constexpr int kScale = KVB_SANITIZED ? 10 : 1;  // sanitized runs are slow and big
constexpr int kKilled = (128 + 9) << 8;         // as the shell reports a SIGKILL
const std::string kFsx = "appdata/Microsoft/FSX/fsx.cfg", kDatabase = "client/data/kvb.dat";
const std::string kP3d = "appdata/Lockheed Martin/Prepar3D/Prepar3D.CFG";
const std::string kLibrary = "FSX/SimObjects/VORN_KVB/";
// A memory file system where there is one: thousands of files are made and deleted.
const bool kInMemory = fs::is_directory("/dev/shm") && setenv("TMPDIR", "/dev/shm", 1) == 0;

size_t Count(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

// A line for each path whose entry is not as `expected`: "old PATH" where it is as
// `before`, else "PATH".
std::string Changes(const Tree& expected, const Tree& now, const Tree& before = {}) {
  Tree both = expected;
  both.insert(now.begin(), now.end());
  std::string report;
  for (const auto& [path, entry] : both) {
    auto same = [&, &path = path](const Tree& tree) {
      return tree.count(path) ? now.count(path) && now.at(path) == tree.at(path) : !now.count(path);
    };
    if (!same(expected)) report += (!before.empty() && same(before) ? "old " : "") + path + "\n";
  }
  return report;
}

// The database is rewritten in place: a fault may leave it as it is, until the next run.
std::string ButDatabase(const std::string& changes) {
  return std::regex_replace(changes, std::regex(".*kvb\\.dat\n"), "");
}

class FaultTest : public ::testing::Test {
 protected:
  FaultTest() {
    fs::create_directories(temp_.Join("wine/dosdevices"));  // C: is the folder c
    fs::create_directory_symlink(temp_.Join("c"), temp_.Join("wine/dosdevices/c:"));
  }
  // The installation with `copies` more packages; Prepar3D.CFG is nobody's.
  void Install(int copies) {
    fs::copy(fs::path(KVB_TEST_DATA_DIR) / "fault" / "installation", P(""),
             fs::copy_options::recursive);
    for (int k = 0; k < copies; ++k)
      fs::copy(P(kLibrary + "VORN_P100"), P(kLibrary + "VORN_C" + std::to_string(k)),
               fs::copy_options::recursive);
    EXPECT_EQ(chown(P(kP3d).c_str(), 65534, 65534) + chmod(P(kP3d).c_str(), 0664), 0);
    fs::remove_all(temp_.Join("pristine"));
    fs::copy(P(""), temp_.Join("pristine"), fs::copy_options::recursive);
  }

  std::string P(const std::string& path) const { return temp_.Join("c/" + path); }
  std::string Read(const std::string& path) const { return ReadBytes(P(path)); }
  void Write(const std::string& path, const std::string& bytes) { WriteBytes(P(path), bytes); }
  Tree Disk() const { return Snapshot(temp_.Join("c")); }
  void Restore() {
    RemoveAll(P(""));
    fs::copy(temp_.Join("pristine"), P(""), fs::copy_options::recursive);
  }
  RunResult Run(std::map<std::string, std::string> environment = {}) {
    environment["APPDATA"] = "C:\\appdata";
    environment["WINEPREFIX"] = temp_.Join("wine");
    environment["KVB_HOOKS"] = temp_.Join("hooks.txt");
    const RunResult run = RunTool(P(""), {}, environment);
    hooks_ = ReadBytes(temp_.Join("hooks.txt"));
    return run;
  }
  // Ended as usual, and reported nothing that failed.
  static void ExpectClean(const RunResult& run) {
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Count(run.errors, "cannot "), 0u) << run.errors;
  }
  // The next run leaves the installation as `expected`.
  void ExpectRepaired(const Tree& expected) {
    ExpectClean(Run());
    EXPECT_EQ(Changes(expected, Disk()), "");
  }

  TempDir temp_;
  std::string hooks_;  // what the fault build's hooks said in the last run that ended
};

// At every write of a run (a replacement's close and rename count too) the run is killed,
// or the write is refused as on a full disk, or a package is deleted: the user's files are
// then old or new; a refused write is the one failure reported and leaves one file old;
// the next run repairs all. Before that, reads and writes cut short and listings that fail.
TEST_F(FaultTest, AnyWriteCanFailOrBeTheLastAndTheNextRunRepairs) {
  Install(30 / kScale);
  const Tree before = Disk();
  const RunResult reference = Run();
  ExpectClean(reference);
  const long long writes = std::atoll(hooks_.substr(hooks_.rfind(' ')).c_str());
  ASSERT_GT(writes, 50 / kScale);
  const Tree expected = Disk();
  struct stat p3d = {};  // the replacement kept the owner and the permission bits
  EXPECT_TRUE(!stat(P(kP3d).c_str(), &p3d) && p3d.st_uid + p3d.st_gid == 2 * 65534u &&
              (p3d.st_mode & 07777) == 0664);
  const std::string vanishing = kLibrary + "VORN_P101", cased = kLibrary + "VORN_P102/";
  fs::remove_all(P(vanishing));
  ExpectClean(Run());
  const Tree withoutPackage = Disk();
  Restore();  // reads and writes that take part of their bytes go on where they stopped
  const RunResult halves = Run({{"KVB_SHORT_IO", "1"}});
  EXPECT_EQ(halves.console + halves.errors + Changes(expected, Disk()),
            reference.console + reference.errors);
  // A listing that fails part-way is none: the libraries' as if there were no library.
  Restore();
  RunResult listless = Run({{"KVB_FAIL_LIST", "VORN_KVB"}});
  EXPECT_EQ(Count(listless.errors, "VORN_KVB: Input/output error\n"), 2u) << listless.errors;
  EXPECT_EQ(Changes(before, Disk()) + Read(kDatabase),
            kDatabase + "\n# You do not have KVB installed\r\n");
  Restore();  // a package's: skipped, untouched, as if it were not there
  listless = Run({{"KVB_FAIL_LIST", "VORN_P101"}});
  EXPECT_TRUE(std::regex_search(listless.errors,
                                std::regex("cannot list .*/VORN_P101: Input/output error\n")));
  EXPECT_EQ(Count(listless.errors, "cannot "), 1u) << listless.errors;
  EXPECT_EQ(std::regex_replace(Changes(withoutPackage, Disk(), before),
                               std::regex("old " + vanishing + "(/.*)?\n"), ""),
            "");

  const std::regex failed("cannot write .*c:/(.*): (No space left on device|Input/output error)\n");
  for (long long n = 1; n <= writes; ++n) {
    SCOPED_TRACE("write " + std::to_string(n));
    Restore();
    EXPECT_EQ(Run({{"KVB_KILL_WRITE", std::to_string(n)}}).status, kKilled);
    const std::regex oldOrLeftover("(old .*|.*\\.kvbtmp)\n");
    EXPECT_EQ(std::regex_replace(ButDatabase(Changes(expected, Disk(), before)), oldOrLeftover, ""),
              "");
    EXPECT_NE(Read(cased + "aircraft.cfg") + Read(cased + "AIRCRAFT.CFG"), "");  // old or new
    ExpectRepaired(expected);

    Restore();
    const RunResult faulty = Run({{"KVB_FAULT_WRITE", std::to_string(n)}});
    EXPECT_EQ(faulty.status, 0);
    EXPECT_EQ(Count(faulty.errors, "cannot "), 1u) << faulty.errors;
    EXPECT_EQ(faulty.console, reference.console);
    // The file named on the failure's line (AIRCRAFT.CFG for its aircraft.cfg) stays; no other.
    std::smatch failure;
    EXPECT_TRUE(std::regex_search(faulty.errors, failure, failed));
    const std::string name = failure[1];
    std::string left = "old " + name + "\n";
    if (name == cased + "AIRCRAFT.CFG") left += "old " + cased + "aircraft.cfg\n";
    EXPECT_EQ(ButDatabase(Changes(expected, Disk(), before)), name == kDatabase ? "" : left);
    ExpectRepaired(expected);

    // A package deleted meanwhile is passed over; only the database may still list
    // its liveries, until the next run.
    Restore();
    EXPECT_EQ(Run({{"KVB_REMOVE_AT_WRITE", std::to_string(n) + ":" + P(vanishing)}}).status, 0);
    EXPECT_EQ(ButDatabase(Changes(withoutPackage, Disk())), "");
    ExpectRepaired(withoutPackage);
  }
}

// Huge inputs give the right result, in memory within a fixed allowance above that of
// a run over a small installation (unsanitized).
TEST_F(FaultTest, ExtremeInputsFinishInProportionateMemory) {
  const int n = 1000 * 1000 / kScale;  // the 100 MB, 10 MB, 10,000 and 100,000
  const std::string big = kLibrary + "VORN_BIG/", value(n * 10, 'v');
  const struct {
    const char* name;
    int allowanceMb;
    std::string needle;  // in VORN_BIG's new aircraft.cfg, `times` times
    size_t times, records;
  } cases[] = {{"the small installation", 0, "[", 0, 7},
               {"2000 packages", 4, "[", 0, 7u + 4u * n / 1000},
               {"100 MB vorn.cfg", 32, "\r\np=" + std::string(96, 'c') + "\r\n", 1, 8},
               {"10 MB line", 16 * n * 10 / 1024 / 1024, "\r\nlong=" + value + "\r\n", 1, 8},
               {"10,000 liveries", 64, "\r\n[fltsim.", n / 100u, 7u + n / 100u},
               {"100,000 sections", 192, "\r\n[s", n / 10u, 8}};
  long long baseline = 0;
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(cases[i].name);
    RemoveAll(P(""));
    Install(i == 1 ? 2 * n / 1000 : 0);
    // FSX only: the database holds FSX's records.
    Write("appdata/VORN/Zaro/config/zaro.ini",
          "[INSTALL]\r\nfsx_path=C:\\FSX\r\nPath=C:\\client\r\n");
    std::string vornCfg = "[contact_points]\r\nstatic_pitch=2.5\r\nstatic_cg_height=1.75\r\n";
    std::string fsx = "[Main]\r\n";
    for (int k = 0; i == 2 && k < n; ++k)
      vornCfg += (k % 4 ? "; " : "p=") + std::string(96, 'c') + "\r\n";
    if (i == 3) vornCfg += "long=" + value;  // the last line, without a line end
    for (int l = 0; i == 4 && l < n / 100; ++l)
      Write(big + "texture." + std::to_string(l) + "/vorn.liv",
            "[fltsim]\r\ntitle=T" + std::to_string(l));
    for (int s = 0; i == 5 && s < n / 10; ++s) {
      const std::string k = std::to_string(s);
      vornCfg += "[s" + k + "]\r\nk=" + k + "\r\n";
      fsx += "SimObjectPaths." + k + "=S" + k + "\r\n[Other" + k + "]\r\nx=1\r\n[Main]\r\n";
    }
    Write(kFsx, fsx);
    if (i > 1) Write(big + "vorn.cfg", vornCfg);
    if (i > 1 && i != 4) Write(big + "texture/vorn.liv", "[fltsim]\r\ntitle=VORN_BIG");
    vornCfg = fsx = std::string();
    ExpectClean(Run({{"KVB_REPORT_PEAK", "1"}}));
    const long long peak = std::atoll(hooks_.c_str() + hooks_.find("peak: ") + 6);
    baseline = i == 0 ? peak : baseline;
    const std::string database = Read(kDatabase);
    EXPECT_EQ(Count(Read(big + "aircraft.cfg"), cases[i].needle), cases[i].times);
    EXPECT_EQ(Count(database, "\n"), cases[i].records);
    EXPECT_TRUE(i < 2 || i == 4 || database.find("VORN_BIG,,1.75,2.5,0\r\n") == 0) << database;
    EXPECT_EQ(Count(Read(kFsx), "\nSimObjectPaths." + std::to_string(i == 5 ? n / 10 : 0) +
                                    "=SimObjects\\VORN_KVB\r\n"),
              1u);
    std::printf("[ memory   ] %s: peak %lld kB\n", cases[i].name, peak);
    EXPECT_TRUE(KVB_SANITIZED || peak <= baseline + cases[i].allowanceMb * 1024) << peak;
  }
}

}  // namespace
