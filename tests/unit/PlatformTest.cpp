// The platform layer as both targets share it.

#include "platform/Platform.h"
#include "support/TempDir.h"

namespace {

using PlatformTest = TempDirTest;

TEST_F(PlatformTest, ListsMatchingEntriesInNtfsOrder) {
  for (const char* name : {"textureX", "texture_old", "Texture.B", "textures", "texture.1"})
    fs::create_directories(Path(std::string("pkg/") + name));
  temp_.WriteFile("pkg/texture 2", "");
  temp_.WriteFile("pkg/texture", "");
  // The Windows build cannot make links through the standard library: a folder there.
  std::error_code noLinks;
  fs::create_directory_symlink(temp_.Path(), Path("pkg/texture.link"), noLinks);
  if (noLinks) fs::create_directories(Path("pkg/texture.link"));

  std::vector<platform::DirEntry> entries;
  ASSERT_TRUE(platform::FindFiles(Path("pkg") + "\\*.*", &entries));
  std::string names;
  for (const auto& e : entries) names += e.name + "|";
  EXPECT_EQ(names,
            "texture|texture 2|texture.1|Texture.B|texture.link|textures|textureX|texture_old|");

  EXPECT_FALSE(platform::FindFiles(Path("pkg") + "\\nothing*", &entries));
  EXPECT_TRUE(entries.empty());
  EXPECT_FALSE(platform::FindFiles(Path("missing") + "\\*.*", &entries));
}

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
