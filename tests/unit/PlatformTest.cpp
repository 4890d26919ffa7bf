// The platform layer: what both targets share, then each one's own side (Wine's
// drive folders on Linux; paths unchanged and the shell's folders on Windows).
#include "platform/Platform.h"
#include "support/TempDir.h"

namespace {

using PlatformTest = TempDirTest;

bool OnWindows() { return platform::NativePath("C:\\x") == "C:\\x"; }

TEST_F(PlatformTest, CreationMeetsExistingNamesInOtherCase) {
  fs::create_directories(Path("pkg/Panel"));
  temp_.WriteFile("pkg/AIRCRAFT.CFG", "old");
  EXPECT_EQ(platform::CreateFolder(Path("pkg") + "\\panel"), platform::Status::kFailed);
  platform::File file;
  ASSERT_EQ(file.Open(Path("pkg") + "\\aircraft.cfg", platform::File::Mode::kWriteTruncate),
            platform::Status::kOk);
  ASSERT_TRUE(file.Write("new", 3));
  file.Close();
  EXPECT_EQ(temp_.ReadFile("pkg/AIRCRAFT.CFG"), "new");
  std::vector<std::string> names;  // fs::exists ignores letter case on Windows
  for (const auto& entry : fs::directory_iterator(Path("pkg")))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"AIRCRAFT.CFG", "Panel"}));
}

TEST_F(PlatformTest, MapsDriveLettersAndIgnoresLetterCase) {
  if (OnWindows()) GTEST_SKIP() << "paths reach the system unchanged";
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

TEST(PlatformWin32Test, PathsUnchangedRoamingFolderFromTheShellVersionKnown) {
  if (!OnWindows()) GTEST_SKIP() << "Wine's drive folders instead";
  for (const char* path : {"C:\\Games\\FSX\\\\SimObjects", "\\VORN\\Zaro", "relative\\x"})
    EXPECT_EQ(platform::NativePath(path), path);
  const std::string roaming = platform::SpecialFolderPath(26);
  ASSERT_FALSE(roaming.empty());
  EXPECT_NE(roaming.back(), '\\');
  EXPECT_TRUE(std::filesystem::is_directory(roaming)) << roaming;
  EXPECT_EQ(platform::SpecialFolderPath(0x7fff), "");
  EXPECT_GE(platform::GetSystemVersion().major, 5);
  EXPECT_NE(platform::CurrentThreadId(), 0u);
}

}  // namespace
