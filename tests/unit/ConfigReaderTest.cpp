#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "config/ConfigReader.h"
#include "platform/Platform.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// "[section]" lines, each followed by its "key=value" lines.
std::string Dump(const ConfigReader::Document& document) {
  std::string dump;
  for (const auto& [name, keys] : document) {
    dump += "[" + name + "]\n";
    for (const auto& [key, value] : keys) dump += key + "=" + value + "\n";
  }
  return dump;
}

class ConfigReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.Create());
    path_ = temp_.Join("test.cfg");
  }
  void TearDown() override { platform::InjectWriteFault(0); }
  std::string LoadDump(const std::string& bytes) {
    EXPECT_TRUE(temp_.WriteFile("test.cfg", bytes));
    ConfigReader reader;
    reader.Open(path_, false);
    EXPECT_TRUE(reader.IsLoaded());
    return Dump(reader.GetDocument());
  }

  TempDir temp_;
  std::string path_;
};

// Each tests/data/ini/NAME.ini is loaded and NAME.expected holds the dump of the
// document. NAME.get lists lookups ("section key default" per line): their
// results as text, integer, boolean and double follow, then the document again.
// With NAME.set (lines: section, key, value) the store opens writable and sets
// that value instead, and NAME.expected holds the bytes that the store saved and
// the dump of their reload. KVB_REGENERATE=1 rewrites the expected files.
TEST_F(ConfigReaderTest, DataFilesLoadAndSaveAsExpected) {
  const fs::path data = fs::path(KVB_TEST_DATA_DIR) / "data" / "ini";
  const char* regenerate = std::getenv("KVB_REGENERATE");
  for (const auto& entry : fs::directory_iterator(data)) {
    if (entry.path().extension() != ".ini") continue;
    const std::string base = (data / entry.path().stem()).string(),
                      input = ReadBytes(entry.path().string()), set = ReadBytes(base + ".set");
    std::string outcome = LoadDump(input);
    const std::string get = ReadBytes(base + ".get");
    std::istringstream lookups(get);
    ConfigReader reader;
    reader.Open(path_, false);
    for (std::string section, key, text; lookups >> section >> key >> text;) {
      const double value = std::stod(text);
      char line[512];
      std::snprintf(line, sizeof line, "[%s] %s (%s): \"%s\" %d %d %.17g\n", section.c_str(),
                    key.c_str(), text.c_str(), reader.GetString(section, key, text).c_str(),
                    reader.GetInt(section, key, static_cast<int>(value)),
                    reader.GetBool(section, key, value != 0),
                    reader.GetDouble(section, key, value));
      outcome += line;
    }
    if (!get.empty()) outcome += "--- after the lookups\n" + Dump(reader.GetDocument());
    if (!set.empty()) {
      const size_t key = set.find('\n') + 1, value = set.find('\n', key) + 1;
      {
        ConfigReader reader;
        reader.Open(path_, true);
        reader.SetString(set.substr(0, key - 1), set.substr(key, value - key - 1),
                         set.substr(value, set.find('\n', value) - value));
      }
      EXPECT_FALSE(temp_.Exists("test.cfg.kvbtmp")) << base;
      outcome = temp_.ReadFile("test.cfg");
      outcome += "--- reloaded\n" + LoadDump(outcome);
    }
    if (regenerate && *regenerate == '1') WriteBytes(base + ".expected", outcome);
    EXPECT_EQ(ReadBytes(base + ".expected"), outcome) << base;
  }
}

TEST_F(ConfigReaderTest, FileIsLeftAloneWhenTheDocumentMayNotBeWritten) {
  const std::string original = "; keep\r\n[S]\r\nb=1\r\na=2\r\n";
  // A read-only store that changed, a writable one that did not; a read-only
  // file is left to the platform tests and the whole-run scenarios.
  for (bool writable : {false, true}) {
    ASSERT_TRUE(temp_.WriteFile("test.cfg", original));
    ASSERT_TRUE(temp_.WriteFile("test.cfg.kvbtmp", "half"));  // a writable open removes it
    {
      ConfigReader reader;
      reader.Open(path_, writable);
      if (!writable) reader.SetString("S", "k", "v");
    }
    EXPECT_EQ(temp_.ReadFile("test.cfg"), original) << writable;
    EXPECT_EQ(temp_.Exists("test.cfg.kvbtmp"), !writable);
  }
  // A store never creates its file nor reads a folder, not even after an
  // earlier file of its own loaded.
  ConfigReader reader;
  reader.Open(path_, true);
  reader.SetString("S", "k", "v");
  for (const std::string& other : {temp_.Join("missing.cfg"), temp_.Path()}) {
    reader.Open(other, true);
    EXPECT_TRUE(reader.GetDocument().empty());
    reader.SetString("S", "k", "v");
    reader.Save();
  }
  EXPECT_FALSE(temp_.Exists("missing.cfg"));
  EXPECT_EQ(temp_.ReadFile("test.cfg"), "\r\n[S]\r\na=2\r\nb=1\r\nk=v\r\n");
}

TEST_F(ConfigReaderTest, FailedSaveLeavesTheOriginalWhole) {
  std::string original = "[S]\r\n";  // big enough for the save to take several writes
  for (int i = 0; i < 3000; ++i)
    original += "key" + std::to_string(i) + "=" + std::string(80, 'v') + "\r\n";
  for (int n = 1; n <= 3; ++n) {
    ASSERT_TRUE(temp_.WriteFile("test.cfg", original));
    ConfigReader reader;
    reader.Open(path_, true);
    reader.SetString("S", "k", "v");
    platform::InjectWriteFault(n);
    reader.Save();
    platform::InjectWriteFault(0);
    EXPECT_TRUE(temp_.ReadFile("test.cfg") == original) << n;
    EXPECT_FALSE(temp_.Exists("test.cfg.kvbtmp")) << n;
    // Still modified: the next save writes it, and so does every later one.
    reader.Save();
    const std::string saved = temp_.ReadFile("test.cfg");
    EXPECT_EQ(saved.size(), original.size() + 2 + 5) << n;
    ASSERT_TRUE(temp_.WriteFile("test.cfg", "changed elsewhere"));
    reader.Save();
    EXPECT_TRUE(temp_.ReadFile("test.cfg") == saved) << n;
  }
}

}  // namespace
