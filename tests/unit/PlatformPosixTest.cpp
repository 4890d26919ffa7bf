// The platform layer's Linux side: Wine's drive folders, the application-data
// folder from the environment, links and permission bits.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "platform/Platform.h"
#include "unit/PlatformTestFixture.h"

namespace fs = std::filesystem;

namespace {

TEST_F(PlatformTest, MapsDriveLettersAndIgnoresLetterCase) {
  WriteFile("prefix-target/Games/FSX/Fsx.CFG", "x");
  fs::create_directories(Path("prefix/dosdevices"));
  fs::create_directory_symlink(Path("prefix-target"), Path("prefix/dosdevices/c:"));
  setenv("WINEPREFIX", Path("prefix").c_str(), 1);

  EXPECT_EQ(platform::NativePath("C:\\games\\fsx\\fsx.cfg"),
            Path("prefix/dosdevices/c:/Games/FSX/Fsx.CFG"));
  EXPECT_EQ(platform::NativePath("c:\\Games\\new\\file"),
            Path("prefix/dosdevices/c:/Games/new/file"));
  EXPECT_EQ(platform::NativePath("D:\\x"), Path("prefix/dosdevices/d:/x"));
  EXPECT_EQ(platform::NativePath(Path("PREFIX-TARGET") + "\\games"), Path("prefix-target/Games"));
  EXPECT_EQ(platform::NativePath("relative\\path"), "relative/path");
  unsetenv("WINEPREFIX");
}

TEST_F(PlatformTest, ApplicationDataFolderComesFromTheEnvironmentThenWine) {
  setenv("APPDATA", (Path("roam") + "\\").c_str(), 1);
  EXPECT_EQ(platform::SpecialFolderPath(26), Path("roam"));
  EXPECT_EQ(platform::SpecialFolderPath(28), "");

  setenv("APPDATA", "", 1);
  setenv("WINEPREFIX", Path("wine").c_str(), 1);
  setenv("USER", "pilot", 1);
  EXPECT_EQ(platform::SpecialFolderPath(26), "");
  fs::create_directories(Path("wine/drive_c/users/pilot/AppData/Roaming"));
  EXPECT_EQ(platform::SpecialFolderPath(26), Path("wine/drive_c/users/pilot/AppData/Roaming"));
  unsetenv("APPDATA");
  unsetenv("WINEPREFIX");
}

TEST_F(PlatformTest, AtomicReplacementKeepsModeAndFollowsLinks) {
  WriteFile("real.cfg", "old");
  chmod(Path("real.cfg").c_str(), 0640);
  fs::create_symlink(Path("real.cfg"), Path("link.cfg"));

  platform::AtomicFile atomic;
  ASSERT_TRUE(atomic.Begin(Path("link.cfg")));
  ASSERT_TRUE(atomic.Write("new content", 11));
  ASSERT_TRUE(atomic.Commit(true));
  EXPECT_TRUE(fs::is_symlink(Path("link.cfg")));
  EXPECT_EQ(ReadFile("real.cfg"), "new content");
  struct stat info;
  ASSERT_EQ(stat(Path("real.cfg").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_FALSE(fs::exists(Path("real.cfg.kvbtmp")));
}

TEST_F(PlatformTest, LinkToAFolderIsRemovedAsALink) {
  // A link to a folder goes as a link; what it points to stays.
  WriteFile("outside/keep", "x");
  fs::create_directory_symlink(Path("outside"), Path("link"));
  EXPECT_EQ(platform::RemoveFolder(Path("link")), platform::Status::kOk);
  EXPECT_FALSE(fs::exists(fs::symlink_status(Path("link"))));
  EXPECT_TRUE(fs::exists(Path("outside/keep")));
}

}  // namespace
