// The platform layer's Linux side: Wine's drive folders, links and permission bits.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Platform.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

using PlatformTest = TempDirTest;

TEST_F(PlatformTest, MapsDriveLettersAndIgnoresLetterCase) {
  temp_.WriteFile("prefix-target/Games/FSX/Fsx.CFG", "x");
  fs::create_directories(Path("prefix/dosdevices"));
  fs::create_directory_symlink(Path("prefix-target"), Path("prefix/dosdevices/c:"));
  ScopedEnvironment prefix("WINEPREFIX", Path("prefix"));
  EXPECT_EQ(platform::NativePath("C:\\games\\fsx\\fsx.cfg"),
            Path("prefix/dosdevices/c:/Games/FSX/Fsx.CFG"));
  EXPECT_EQ(platform::NativePath("c:\\Games\\new\\file"),
            Path("prefix/dosdevices/c:/Games/new/file"));
  EXPECT_EQ(platform::NativePath("D:\\x"), Path("prefix/dosdevices/d:/x"));
  EXPECT_EQ(platform::NativePath(Path("PREFIX-TARGET") + "\\games"), Path("prefix-target/Games"));
  EXPECT_EQ(platform::NativePath("relative\\path"), "relative/path");
}

TEST_F(PlatformTest, AtomicReplacementKeepsModeAndFollowsLinks) {
  temp_.WriteFile("real.cfg", "old");
  const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(Path("real.cfg"), mode);
  fs::create_symlink(Path("real.cfg"), Path("link.cfg"));
  platform::AtomicFile atomic;
  ASSERT_TRUE(atomic.Begin(Path("link.cfg")));
  ASSERT_TRUE(atomic.Write("new content", 11));
  ASSERT_TRUE(atomic.Commit(true));
  EXPECT_TRUE(fs::is_symlink(Path("link.cfg")));
  EXPECT_EQ(temp_.ReadFile("real.cfg"), "new content");
  EXPECT_EQ(fs::status(Path("real.cfg")).permissions(), mode);
  EXPECT_FALSE(temp_.Exists("real.cfg.kvbtmp"));
}

}  // namespace
