#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Platform.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

class PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp_.Create()); }
  std::string Path(const std::string& relative) const { return temp_.Join(relative); }

  TempDir temp_;
};

TEST(WildcardTest, MatchesAsWin32Does) {
  struct Case {
    const char *pattern, *name;
    bool matches;
  } cases[] = {
      // clang-format off
      {"texture.*", "texture", true}, {"texture.*", "Texture.B", true},
      {"texture.*", "texture.a.b", true}, {"texture.*", "textures", false},
      {"texture.*", "texture_old", false}, {"texture.*", "texture.", true},
      {"VORN_*.*", "vorn_a320", true}, {"VORN_*.*", "VORN_x.y", true},
      {"VORN_*.*", "XVORN_A320", false}, {"VORN_*.*", "VORN", false},
      {"*.*", "anything", true}, {"*.*", ".hidden", true}, {"a?c", "abc", true},
      {"a?c", "ac", false}, {"*", "", true}, {"a*b*c", "aXXbYYbZZc", true},
      {"a*b*c", "aXXbYYbZZ", false}, {"**", "x", true},
      {"\xe9*", "\xc9x", false},  // only ASCII letters fold
      // clang-format on
  };
  for (const Case& c : cases)
    EXPECT_EQ(platform::MatchesWildcard(c.pattern, c.name), c.matches)
        << c.pattern << " " << c.name;
  // Many stars against a long name must not take exponential time.
  EXPECT_FALSE(platform::MatchesWildcard(std::string(50, '*') + "a*b", std::string(20000, 'a')));
}

TEST_F(PlatformTest, ListsMatchingEntriesInNtfsOrder) {
  for (const char* name : {"textureX", "texture_old", "Texture.B", "textures", "texture.1"})
    fs::create_directories(Path(std::string("pkg/") + name));
  temp_.WriteFile("pkg/texture 2", "");
  temp_.WriteFile("pkg/texture", "");
  fs::create_directory_symlink(temp_.Path(), Path("pkg/texture.link"));

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
  EXPECT_FALSE(fs::exists(Path("pkg/aircraft.cfg")));
}

TEST_F(PlatformTest, ReadOnlyFilesAreNeverWrittenEvenByRoot) {
  temp_.WriteFile("ro.cfg", "keep");
  fs::permissions(Path("ro.cfg"),
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  platform::File file;
  for (auto mode : {platform::File::Mode::kWriteTruncate, platform::File::Mode::kWriteAppend})
    EXPECT_EQ(file.Open(Path("ro.cfg"), mode), platform::Status::kFailed);
  EXPECT_EQ(platform::DeleteFile(Path("ro.cfg")), platform::Status::kFailed);
  EXPECT_EQ(platform::CreateEmptyFile(Path("ro.cfg")), platform::Status::kFailed);
  platform::AtomicFile atomic;
  EXPECT_FALSE(atomic.Begin(Path("ro.cfg")));
  EXPECT_EQ(temp_.ReadFile("ro.cfg"), "keep");
  EXPECT_EQ(file.Open(Path("ro.cfg"), platform::File::Mode::kRead), platform::Status::kOk);
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
