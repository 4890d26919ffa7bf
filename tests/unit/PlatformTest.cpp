// The platform layer as both targets share it.
#include "platform/Platform.h"
#include "support/TempDir.h"

namespace {

using PlatformTest = TempDirTest;

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

}  // namespace
