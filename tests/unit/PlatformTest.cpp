// The platform layer's behaviour that both targets share.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/Platform.h"
#include "unit/PlatformTestFixture.h"

namespace fs = std::filesystem;

namespace {

TEST(WildcardTest, MatchesAsWin32Does) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  } cases[] = {
      {"texture.*", "texture", true},
      {"texture.*", "Texture.B", true},
      {"texture.*", "texture.a.b", true},
      {"texture.*", "textures", false},
      {"texture.*", "texture_old", false},
      {"texture.*", "texture.", true},
      {"VORN_*.*", "vorn_a320", true},
      {"VORN_*.*", "VORN_x.y", true},
      {"VORN_*.*", "XVORN_A320", false},
      {"VORN_*.*", "VORN", false},
      {"*.*", "anything", true},
      {"*.*", ".hidden", true},
      {"a?c", "abc", true},
      {"a?c", "ac", false},
      {"*", "", true},
      {"a*b*c", "aXXbYYbZZc", true},
      {"a*b*c", "aXXbYYbZZ", false},
      {"**", "x", true},
      {"\xe9*", "\xc9x", false},  // only ASCII letters fold
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::MatchesWildcard(c.pattern, c.name), c.matches)
        << c.pattern << " vs " << c.name;
  }
}

TEST(WildcardTest, LongPatternsStayFast) {
  const std::string name(20000, 'a');
  const std::string pattern = std::string(50, '*') + "a*b";
  EXPECT_FALSE(platform::MatchesWildcard(pattern, name));
}

TEST_F(PlatformTest, ListsMatchingEntriesInNtfsOrder) {
  for (const char* name : {"textureX", "texture_old", "Texture.B", "textures", "texture.1"})
    fs::create_directories(Path(std::string("pkg/") + name));
  WriteFile("pkg/texture 2", "");
  WriteFile("pkg/texture", "");
  // Windows builds cannot make links through the standard library: a folder then.
  std::error_code noLinks;
  fs::create_directory_symlink(root_, Path("pkg/texture.link"), noLinks);
  if (noLinks) fs::create_directories(Path("pkg/texture.link"));

  std::vector<platform::DirEntry> entries;
  ASSERT_TRUE(platform::FindFiles(Path("pkg") + "\\*.*", &entries));
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.name);
  EXPECT_EQ(names,
            (std::vector<std::string>{"texture", "texture 2", "texture.1", "Texture.B",
                                      "texture.link", "textures", "textureX", "texture_old"}));

  ASSERT_TRUE(platform::FindFiles(Path("PKG") + "\\TEXTURE.*", &entries));
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_FALSE(entries[0].isDirectory);  // the file "texture"
  EXPECT_TRUE(entries[1].isDirectory);
  EXPECT_TRUE(entries[3].isDirectory);
  EXPECT_EQ(entries[3].isLink, !noLinks);

  EXPECT_FALSE(platform::FindFiles(Path("pkg") + "\\nothing*", &entries));
  EXPECT_TRUE(entries.empty());
  EXPECT_FALSE(platform::FindFiles(Path("missing") + "\\*.*", &entries));
}

TEST_F(PlatformTest, CreationMeetsExistingNamesInOtherCase) {
  fs::create_directories(Path("pkg/Panel"));
  WriteFile("pkg/AIRCRAFT.CFG", "old");
  EXPECT_EQ(platform::CreateFolder(Path("pkg") + "\\panel"), platform::Status::kFailed);
  platform::File file;
  ASSERT_EQ(file.Open(Path("pkg") + "\\aircraft.cfg", platform::File::Mode::kWriteTruncate),
            platform::Status::kOk);
  ASSERT_TRUE(file.Write("new", 3));
  file.Close();
  EXPECT_EQ(ReadFile("pkg/AIRCRAFT.CFG"), "new");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(Path("pkg")))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"AIRCRAFT.CFG", "Panel"}));
}

TEST_F(PlatformTest, ReadOnlyFilesAreNeverWrittenEvenByRoot) {
  WriteFile("ro.cfg", "keep");
  const fs::perms writable =
      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(Path("ro.cfg"), writable, fs::perm_options::remove);
  platform::File file;
  EXPECT_EQ(file.Open(Path("ro.cfg"), platform::File::Mode::kWriteTruncate),
            platform::Status::kFailed);
  EXPECT_EQ(file.Open(Path("ro.cfg"), platform::File::Mode::kWriteAppend),
            platform::Status::kFailed);
  EXPECT_EQ(platform::DeleteFile(Path("ro.cfg")), platform::Status::kFailed);
  EXPECT_EQ(platform::CreateEmptyFile(Path("ro.cfg")), platform::Status::kFailed);
  platform::AtomicFile atomic;
  EXPECT_FALSE(atomic.Begin(Path("ro.cfg")));
  EXPECT_EQ(ReadFile("ro.cfg"), "keep");
  EXPECT_EQ(file.Open(Path("ro.cfg"), platform::File::Mode::kRead), platform::Status::kOk);
  file.Close();
  fs::permissions(Path("ro.cfg"), fs::perms::owner_write, fs::perm_options::add);  // cleanup
}

TEST_F(PlatformTest, FoldersAreNeverOpenedAsFilesNorFilesRemovedAsFolders) {
  fs::create_directories(Path("dir"));
  WriteFile("file", "x");
  platform::File file;
  EXPECT_EQ(file.Open(Path("dir"), platform::File::Mode::kRead), platform::Status::kFailed);
  EXPECT_EQ(file.Open(Path("missing"), platform::File::Mode::kRead), platform::Status::kNotFound);
  EXPECT_EQ(platform::DeleteFile(Path("dir")), platform::Status::kFailed);
  EXPECT_EQ(platform::RemoveFolder(Path("file")), platform::Status::kFailed);
  EXPECT_TRUE(fs::exists(Path("file")));
}

TEST_F(PlatformTest, FailedWritesLeaveTheOriginalWhole) {
  for (int fault = 1; fault <= 3; ++fault) {
    WriteFile("user.cfg", "original");
    platform::AtomicFile atomic;
    ASSERT_TRUE(atomic.Begin(Path("user.cfg")));
    platform::InjectWriteFault(fault);
    atomic.Write("part one,", 9);
    atomic.Write("part two", 8);
    EXPECT_FALSE(atomic.Commit(false)) << fault;
    EXPECT_EQ(ReadFile("user.cfg"), "original") << fault;
    EXPECT_FALSE(fs::exists(Path("user.cfg.kvbtmp"))) << fault;
  }
}

TEST_F(PlatformTest, StaleTemporaryIsRemoved) {
  WriteFile("fsx.cfg", "x");
  WriteFile("fsx.cfg.kvbtmp", "half");
  platform::RemoveStaleTemporary(Path("fsx.cfg"));
  EXPECT_FALSE(fs::exists(Path("fsx.cfg.kvbtmp")));
  EXPECT_TRUE(fs::exists(Path("fsx.cfg")));
}

}  // namespace
