// A run on an installation that nothing changed since the last run writes no file
// but the traffic database; a changed livery rewrites its package's aircraft.cfg only.
#include "RunHarness.h"

namespace kvbtest {
namespace {

// Every file under `root` with the time it was last written.
std::map<std::string, fs::file_time_type> Times(const fs::path& root) {
  std::map<std::string, fs::file_time_type> times;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file()) times[entry.path().string()] = entry.last_write_time();
  return times;
}

TEST(RerunTest, WritesOnlyWhatChanged) {
  TempDir scratch;
  ASSERT_TRUE(scratch.Create());
  const fs::path root = scratch.Path();
  const fs::path package = (root / "FSX/SimObjects/VORN_KVB/VORN_B412").make_preferred();
  fs::copy(fs::path(KVB_SOURCE_DIR) / "examples", root, fs::copy_options::recursive);
  WriteBytes((root / "appdata/VORN/Zaro/config/zaro.ini").string(),
             "[INSTALL]\r\nfsx_path=" + (root / "FSX").string() + "\r\nprepar3d_path=" +
                 (root / "Prepar3D").string() + "\r\nPath=" + (root / "Zaro").string() + "\r\n");
  const std::map<std::string, std::string> environment = {
      {"HOME", root.string()}, {"USER", "kvbuser"}, {"APPDATA", (root / "appdata").string()}};
  for (const std::string mode : {"--show", "--hidden"}) {
    ASSERT_EQ(RunTool(root.string(), {mode}, environment).status, 0);
    for (const bool changeLivery : {false, true}) {
      SCOPED_TRACE(mode + (changeLivery ? " after a change" : ""));
      const std::string livery = (package / "texture/vorn.ini").string();
      if (changeLivery) WriteBytes(livery, ReadBytes(livery) + "repaint=" + mode + "\r\n");
      // Long ago, so that any write shows.
      for (const auto& [path, time] : Times(root))
        fs::last_write_time(path, time - std::chrono::hours(24 * 400));
      const auto before = Times(root);
      ASSERT_EQ(RunTool(root.string(), {mode}, environment).status, 0);
      std::set<std::string> written,
          expected = {(root / "Zaro/data/kvb.dat").make_preferred().string()};
      if (changeLivery) expected.insert((package / "aircraft.cfg").string());
      // The Windows harness copies the application-data folder in and out.
      for (const auto& [path, time] : Times(root))
        if ((!before.count(path) || before.at(path) != time) &&
            (kRunsLinuxOnlyScenarios || path.find("appdata") == std::string::npos))
          written.insert(path);
      EXPECT_EQ(written, expected);
    }
  }
}

}  // namespace
}  // namespace kvbtest
