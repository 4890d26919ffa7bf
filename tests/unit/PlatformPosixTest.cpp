// The platform layer's Linux side: Wine's drive folders.

#include "platform/Platform.h"
#include "support/TempDir.h"

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

}  // namespace
