// The platform layer's Windows side: paths go to the system unchanged, and the
// shell gives the application-data folder.

#include "platform/Platform.h"
#include "support/TempDir.h"

namespace {

TEST(PlatformWin32Test, PathsUnchangedRoamingFolderFromTheShellVersionKnown) {
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
