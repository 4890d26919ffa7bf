#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Platform.h"

namespace fs = std::filesystem;

namespace {

class PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kvb-platform-XXXXXX").string();
    ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
    root_ = pattern;
  }
  void TearDown() override {
    platform::InjectWriteFault(0);
    std::error_code ignored;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root_, ignored);
  }

  std::string Path(const std::string& relative) const { return root_ + "/" + relative; }

  void WriteFile(const std::string& relative, const std::string& content) {
    fs::create_directories(fs::path(Path(relative)).parent_path());
    std::ofstream(Path(relative), std::ios::binary) << content;
  }

  std::string ReadFile(const std::string& relative) {
    std::ifstream in(Path(relative), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
  }

  std::string root_;
};

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
  fs::create_directory_symlink(root_, Path("pkg/texture.link"));

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
  EXPECT_TRUE(entries[3].isDirectory && entries[3].isLink);

  EXPECT_FALSE(platform::FindFiles(Path("pkg") + "\\nothing*", &entries));
  EXPECT_TRUE(entries.empty());
  EXPECT_FALSE(platform::FindFiles(Path("missing") + "\\*.*", &entries));
}

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
  EXPECT_FALSE(fs::exists(Path("pkg/aircraft.cfg")));
}

TEST_F(PlatformTest, ReadOnlyFilesAreNeverWrittenEvenByRoot) {
  WriteFile("ro.cfg", "keep");
  chmod(Path("ro.cfg").c_str(), 0444);
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

  // A link to a folder goes as a link; what it points to stays.
  WriteFile("outside/keep", "x");
  fs::create_directory_symlink(Path("outside"), Path("link"));
  EXPECT_EQ(platform::RemoveFolder(Path("link")), platform::Status::kOk);
  EXPECT_FALSE(fs::exists(fs::symlink_status(Path("link"))));
  EXPECT_TRUE(fs::exists(Path("outside/keep")));
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

}  // namespace
