// The configuration store, and the line reader and writer under it.
#include "config/ConfigReader.h"
#include "config/LineReader.h"
#include "config/LineWriter.h"
#include "platform/Platform.h"
#include "support/TempDir.h"

using namespace std::string_literals;

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

class ConfigReaderTest : public TempDirTest {
 protected:
  std::string LoadDump(const std::string& bytes) {
    EXPECT_TRUE(temp_.WriteFile("test.cfg", bytes));
    ConfigReader reader;
    reader.Open(Path("test.cfg"), false);
    EXPECT_TRUE(reader.IsLoaded());
    return Dump(reader.GetDocument());
  }
};

// Each tests/data/ini/NAME.ini against NAME.expected (see the README there).
TEST_F(ConfigReaderTest, DataFilesLoadAndSaveAsExpected) {
  const fs::path data = fs::path(KVB_TEST_DATA_DIR) / "data" / "ini";
  const char* regenerate = std::getenv("KVB_REGENERATE");
  for (const auto& entry : fs::directory_iterator(data)) {
    if (entry.path().extension() != ".ini") continue;
    const std::string base = (data / entry.path().stem()).string(), get = ReadBytes(base + ".get");
    std::string outcome = LoadDump(ReadBytes(entry.path().string())), section, key, value;
    std::istringstream lookups(get), set(ReadBytes(base + ".set"));
    ConfigReader reader;
    reader.Open(Path("test.cfg"), false);
    for (std::string text; lookups >> section >> key >> text;) {
      const double number = std::stod(text);
      char line[512];
      std::snprintf(line, sizeof line, "[%s] %s (%s): \"%s\" %d %d %.17g\n", section.c_str(),
                    key.c_str(), text.c_str(), reader.GetString(section, key, text).c_str(),
                    reader.GetInt(section, key, static_cast<int>(number)),
                    reader.GetBool(section, key, number != 0),
                    reader.GetDouble(section, key, number));
      outcome += line;
    }
    if (!get.empty()) outcome += "--- after the lookups\n" + Dump(reader.GetDocument());
    if (std::getline(set, section) && std::getline(set, key) && std::getline(set, value)) {
      {
        ConfigReader writer;
        writer.Open(Path("test.cfg"), true);
        writer.SetString(section, key, value);
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
      reader.Open(Path("test.cfg"), writable);
      if (!writable) reader.SetString("S", "k", "v");
    }
    EXPECT_EQ(temp_.ReadFile("test.cfg"), original) << writable;
    EXPECT_EQ(temp_.Exists("test.cfg.kvbtmp"), !writable);
  }
  // A store never creates its file nor reads a folder, not even after an
  // earlier file of its own loaded.
  ConfigReader reader;
  reader.Open(Path("test.cfg"), true);
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
    reader.Open(Path("test.cfg"), true);
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

using LineFileTest = TempDirTest;

TEST_F(LineFileTest, ReaderSplitsAtLfAndDropsTheCrBeforeIt) {
  const std::string block(65535, 'x');  // the CR ends one read block, the LF starts the next
  const std::string huge(10 << 20, 'v');
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"", {}},
      {"\n", {""}},
      {"a", {"a"}},
      {"a\n", {"a"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a\rb\r", {"a\rb\r"}},
      {"a\r\r\n\0\n"s, {"a\r", "\0"s}},
      {block + "\r\nb", {block, "b"}},
      {huge + "\nj", {huge, "j"}}};
  for (const auto& [input, expected] : cases) {
    ASSERT_TRUE(temp_.WriteFile("f.txt", input));
    LineReader reader;
    ASSERT_EQ(reader.Open(Path("f.txt")), platform::Status::kOk);
    std::vector<std::string> lines;
    for (std::string line; reader.ReadLine(&line);) lines.push_back(line);
    EXPECT_TRUE(lines == expected && !reader.Failed()) << input.substr(0, 20);
  }
  LineReader reader;
  EXPECT_EQ(reader.Open(Path("missing.txt")), platform::Status::kNotFound);
  std::string line;  // a folder does not open, or does not read
  EXPECT_TRUE(reader.Open(temp_.Path()) != platform::Status::kOk ||
              (!reader.ReadLine(&line) && reader.Failed()));
}

TEST_F(LineFileTest, WriterEndsLinesWithCrLfAndStopsAtTheFirstError) {
  {
    LineWriter writer;
    ASSERT_EQ(writer.Open(Path("f.txt"), platform::File::Mode::kWriteTruncate),
              platform::Status::kOk);
    writer.WriteLine("a");
    writer.Write("b\r\n");
    writer.WriteLine("");
    writer.Flush();
    writer.WriteLine("c");
  }  // the destructor flushes
  LineWriter writer;
  ASSERT_EQ(writer.Open(Path("f.txt"), platform::File::Mode::kWriteAppend), platform::Status::kOk);
  writer.WriteLine("d");
  writer.Flush();
  platform::InjectWriteFault(1);
  writer.WriteLine("lost");
  writer.Flush();
  EXPECT_FALSE(writer.Good());
  platform::InjectWriteFault(0);
  writer.WriteLine("dropped");
  writer.Close();
  // The full disk took half of the failed block; nothing after it was written.
  EXPECT_EQ(temp_.ReadFile("f.txt"), "a\r\nb\r\n\r\nc\r\nd\r\nlos");
  EXPECT_EQ(writer.Open(temp_.Path(), platform::File::Mode::kWriteTruncate),
            platform::Status::kFailed);
  EXPECT_FALSE(writer.Good());
}

}  // namespace
