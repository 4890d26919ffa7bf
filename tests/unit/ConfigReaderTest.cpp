#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "config/ConfigReader.h"
#include "platform/Platform.h"
#include "support/TempDir.h"

using namespace std::string_literals;

namespace {

// One text per document: "[name]" per section, then "key=value|" per key.
std::string Dump(const ConfigReader::Document& document) {
  std::string result;
  for (const auto& section : document) {
    result += "[" + section.first + "]";
    for (const auto& entry : section.second) result += entry.first + "=" + entry.second + "|";
  }
  return result;
}

class ConfigReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.Create());
    path_ = temp_.Join("test.cfg");
  }
  void TearDown() override {
    platform::InjectWriteFault(0);
    temp_.Remove();
  }
  std::string LoadDump(const std::string& bytes) {
    EXPECT_TRUE(temp_.WriteFile("test.cfg", bytes));
    ConfigReader reader;
    reader.Open(path_, false);
    EXPECT_TRUE(reader.IsLoaded());
    return Dump(reader.GetDocument());
  }
  // Opens `bytes` writable, sets one key, lets the destructor save, returns the file.
  std::string Rewrite(const std::string& bytes, const std::string& section = "S",
                      const std::string& key = "new", const std::string& value = "1") {
    EXPECT_TRUE(temp_.WriteFile("test.cfg", bytes));
    {
      ConfigReader reader;
      reader.Open(path_, true);
      reader.SetString(section, key, value);
    }
    return temp_.ReadFile("test.cfg");
  }

  TempDir temp_;
  std::string path_;
};

TEST_F(ConfigReaderTest, LoadFollowsTheGrammar) {
  struct Case {
    std::string input;
    std::string expected;
  } cases[] = {
      {"[Main]\r\nSimObjectPaths.0=SimObjects\\Airplanes\r\nsimobjectpaths.0 = x\r\n",
       "[Main]SimObjectPaths.0=x|"},
      {"[fltsim.0]\na=1\n[General]\nb=2\n[FLTSIM.0]\nc=3\n", "[fltsim.0]a=1|c=3|[General]b=2|"},
      {"[S]\n  key = a=b  \n", "[S]key=a=b|"},
      {"[S]\nabc\nab\na=\na=b\n", "[S]a=b|abc=|"},
      {"[S]\n=abc\n", "[S]=abc|"},
      {"[a]\n[]\n[abc\n[ abc ]\nk=1\n", "[ abc ]k=1|[a][ab]"},
      {"  [S] x\t\n", "[S] ]"},
      {"[S]\n; x\n# x\n// x\n;k=1\n#k=1\n//k=1\n/x=1\n", "[S]/x=1|"},
      {"[S]\n \t \t\nkey\t=\tv\n", "[S]key=v|"},
      {"[S]\nk=v", "[S]k=v|"},
      {"[S]\nk=5 ; note\nq=\"a b\"\n", "[S]k=5 ; note|q=\"a b\"|"},
      {"[S]\nk=1\r\r\nK=2\n", "[S]k=2|"},
      {"[S]\rk=1\rj=2\r", "[S]\rk=1\rj=]"},
      {"k=1\nabc\n[S]\nj=2\n[T]\n", "[]abc=|k=1|[S]j=2|[T]"},
      {"\xEF\xBB\xBF[S]\r\nk=1\r\n", "[S]k=1|"},
      {"\xEF\xBB\xBF\xEF\xBB\xBF=1\n", "[]\xEF\xBB\xBF=1|"},
      {"[S\0]\nk\0y=v\0w\n"s, "[S\0]k\0y=v\0w|"s},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(LoadDump(c.input), c.expected) << c.input;
}

TEST_F(ConfigReaderTest, OpenSetsTheFlags) {
  ConfigReader reader;
  EXPECT_FALSE(reader.IsLoaded() || reader.IsWritable() || reader.IsModified());
  reader.Open(temp_.Join("missing.cfg"), true);
  EXPECT_FALSE(reader.IsLoaded());
  EXPECT_TRUE(reader.IsWritable());
  EXPECT_EQ(reader.GetString("S", "k", "default"), "default");
  reader.Open(temp_.Path(), false);  // a folder is not a file
  EXPECT_FALSE(reader.IsLoaded());
  EXPECT_TRUE(reader.GetDocument().empty());

  ASSERT_TRUE(temp_.WriteFile("test.cfg", "[S]\nk=v\n"));
  reader.Open(path_, false);
  EXPECT_TRUE(reader.IsLoaded());
  EXPECT_FALSE(reader.IsWritable());
  reader.SetString("S", "k", "w");
  EXPECT_TRUE(reader.IsModified());
  reader.Open(path_, true);
  EXPECT_FALSE(reader.IsModified());
  EXPECT_EQ(reader.GetString("s", "K", ""), "v");
  reader.Cleanup();
  EXPECT_TRUE(reader.GetDocument().empty());
  EXPECT_TRUE(reader.IsLoaded());
  EXPECT_EQ(reader.GetPath(), path_);
}

TEST_F(ConfigReaderTest, GettersConvertAndFallBackToTheirDefault) {
  ASSERT_TRUE(temp_.WriteFile("test.cfg",
                              "[S]\nint=42abc\ntext=abc\nneg=-7\nbig=99999999999\n"
                              "one=1\nzero=0\ntrue=true\ntwo=2\nminus=-1\n"
                              "d=1.25\ncomma=1,5\nempty=\n"));
  ConfigReader reader;
  reader.Open(path_, false);
  EXPECT_EQ(reader.GetString("S", "EMPTY", "x"), "");
  EXPECT_EQ(reader.GetString("S", "missing", "x"), "x");
  EXPECT_EQ(reader.GetString("missing", "int", "x"), "x");

  struct IntCase {
    const char* key;
    int defaultValue;
    int expected;
  } ints[] = {{"int", 0, 42},         {"text", 5, 0},          {"neg", 0, -7},
              {"big", 0, 2147483647}, {"missing", 6810, 6810}, {"empty", 3, 0}};
  for (const IntCase& c : ints)
    EXPECT_EQ(reader.GetInt("s", c.key, c.defaultValue), c.expected) << c.key;

  struct BoolCase {
    const char* key;
    bool defaultValue;
    bool expected;
  } bools[] = {{"one", false, true},     {"zero", true, false},  {"true", true, false},
               {"two", false, true},     {"minus", false, true}, {"missing", true, true},
               {"missing", false, false}};
  for (const BoolCase& c : bools)
    EXPECT_EQ(reader.GetBool("S", c.key, c.defaultValue), c.expected) << c.key;

  struct DoubleCase {
    const char* key;
    double defaultValue;
    double expected;
  } doubles[] = {{"d", 0.0, 1.25},           {"comma", 0.0, 1.0},     {"text", 2.0, 0.0},
                 {"missing", 0.0, 0.0},      {"missing", -2.5, -2.5}, {"missing", 4e-7, 0.0},
                 {"missing", 1.0000004, 1.0}};
  for (const DoubleCase& c : doubles)
    EXPECT_EQ(reader.GetDouble("S", c.key, c.defaultValue), c.expected) << c.key;

  EXPECT_EQ(reader.GetDocument().size(), 1u);  // lookups create nothing
  EXPECT_EQ(reader.GetDocument().begin()->second.size(), 12u);
  EXPECT_FALSE(reader.IsModified());
}

TEST_F(ConfigReaderTest, SaveWritesTheSortedDocumentByteForByte) {
  struct Case {
    const char* name;
    std::string input, section, key, value, expected;
  } cases[] = {
      {"comments and order go", "; head\r\n[b]\r\nz=1\r\n// c\r\nY = 2\r\n[A]\r\n#x\r\n", "b", "x",
       "3", "\r\n[A]\r\n\r\n[b]\r\nx=3\r\nY=2\r\nz=1\r\n"},
      {"stored name keeps its case", "[MAIN]\nSimObjectPaths.0=a\n", "Main", "SimObjectPaths.3",
       "b", "\r\n[MAIN]\r\nSimObjectPaths.0=a\r\nSimObjectPaths.3=b\r\n"},
      {"blanks of a set value stay", "[S]\n", "S", "k", " v ", "\r\n[S]\r\nk= v \r\n"},
      {"new section", "", "New", "k", "v", "\r\n[New]\r\nk=v\r\n"},
      {"upper-cased byte order", "[General]\n[fltsim.9]\n[fltsim.2]\n[fltsim.10]\nuix=1\n",
       "fltsim.10", "ui_type", "2",
       "\r\n[fltsim.10]\r\nuix=1\r\nui_type=2\r\n\r\n[fltsim.2]\r\n\r\n[fltsim.9]\r\n\r\n[General]"
       "\r\n"},
      {"keys before the first header", "a=1\n[S]\nb=2\n", "", "c", "3",
       "\r\na=1\r\nc=3\r\n\r\n[S]\r\nb=2\r\n"},
      {"utf-8 mark", "\xEF\xBB\xBF[S]\r\nk=1\r\n", "S", "n", "2",
       "\xEF\xBB\xBF\r\n[S]\r\nk=1\r\nn=2\r\n"},
      {"utf-8 mark and keys before the header", "\xEF\xBB\xBFk=1\n[S]\n", "S", "n", "2",
       "\xEF\xBB\xBF\r\nk=1\r\n\r\n[S]\r\nn=2\r\n"},
      {"bytes stay bytes", "[S\0\xE9]\nk\0=\xFFv\n"s, "S", "n", "2",
       "\r\n[S]\r\nn=2\r\n\r\n[S\0\xE9]\r\nk\0=\xFFv\r\n"s},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Rewrite(c.input, c.section, c.key, c.value), c.expected) << c.name;

  // A reload of the saved file gives the same document again.
  const std::string saved = Rewrite("x=1\n[S]\nk = 2\n", "s", "j", " 3 ");
  EXPECT_EQ(LoadDump(saved), "[]x=1|[S]j=3|k=2|");
}

TEST_F(ConfigReaderTest, ModifiedDocumentIsWrittenAtEverySave) {
  ASSERT_TRUE(temp_.WriteFile("test.cfg", "[S]\n"));
  ConfigReader reader;
  reader.Open(path_, true);
  reader.SetString("S", "k", "v");
  reader.Save();
  ASSERT_TRUE(temp_.WriteFile("test.cfg", "changed elsewhere"));
  reader.Save();
  EXPECT_EQ(temp_.ReadFile("test.cfg"), "\r\n[S]\r\nk=v\r\n");
}

TEST_F(ConfigReaderTest, FileIsLeftAloneWhenTheDocumentMayNotBeWritten) {
  const std::string original = "; keep\r\n[S]\r\nb=1\r\na=2\r\n";
  namespace fs = std::filesystem;
  struct Case {
    const char* name;
    std::string content;
    bool writable, set;
    fs::perms perms;
  } cases[] = {
      {"read-only store", original, false, true, fs::perms::owner_read | fs::perms::owner_write},
      {"not modified", original, true, false, fs::perms::owner_read | fs::perms::owner_write},
      {"read-only file", original, true, true, fs::perms::owner_read | fs::perms::group_read},
      {"utf-16 LE", "\xFF\xFE[\0S\0]\0\r\0\n\0"s, true, true, fs::perms::owner_all},
      {"utf-16 BE", "\xFE\xFF\0[\0S\0]\0\r\0\n"s, true, true, fs::perms::owner_all},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(temp_.WriteFile("test.cfg", c.content));
    fs::permissions(path_, c.perms);
    {
      ConfigReader reader;
      reader.Open(path_, c.writable);
      EXPECT_TRUE(reader.IsLoaded()) << c.name;
      if (c.set) reader.SetString("S", "k", "v");
    }
    EXPECT_EQ(temp_.ReadFile("test.cfg"), c.content) << c.name;
    EXPECT_FALSE(temp_.Exists("test.cfg.kvbtmp")) << c.name;
    fs::permissions(path_, fs::perms::owner_all);
  }

  // A store never creates its file, not even after an earlier file of its own loaded.
  ASSERT_TRUE(temp_.WriteFile("test.cfg", "[S]\n"));
  {
    ConfigReader reader;
    reader.Open(temp_.Join("missing.cfg"), true);
    reader.SetString("S", "k", "v");
  }
  {
    ConfigReader reader;
    reader.Open(path_, true);
    reader.SetString("S", "k", "v");
    reader.Open(temp_.Join("missing.cfg"), true);
    reader.SetString("S", "k", "v");
  }
  EXPECT_FALSE(temp_.Exists("missing.cfg"));
  EXPECT_EQ(temp_.ReadFile("test.cfg"), "\r\n[S]\r\nk=v\r\n");
}

TEST_F(ConfigReaderTest, FailedSaveLeavesTheOriginalWhole) {
  // Big enough for the save to take several writes.
  std::string original = "[S]\r\n";
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
    reader.Save();
    EXPECT_EQ(temp_.ReadFile("test.cfg").size(), original.size() + 2 + 5) << n;
  }
}

TEST_F(ConfigReaderTest, WritableOpenRemovesALeftoverTemporaryFile) {
  ASSERT_TRUE(temp_.WriteFile("test.cfg", "[S]\n"));
  for (bool writable : {false, true}) {
    ASSERT_TRUE(temp_.WriteFile("test.cfg.kvbtmp", "half"));
    ConfigReader reader;
    reader.Open(path_, writable);
    EXPECT_EQ(temp_.Exists("test.cfg.kvbtmp"), !writable);
  }
}

TEST_F(ConfigReaderTest, BadInputGivesADocumentAndNoCrash) {
  // A 10 MB line crosses many read blocks; garbage holds every byte value.
  const std::string longValue(10 << 20, 'v');
  EXPECT_TRUE(LoadDump("[S]\nk=" + longValue + "\nj=1") == "[S]j=1|k=" + longValue + "|");
  std::string garbage;
  unsigned state = 12345;
  for (int i = 0; i < (1 << 20); ++i) {
    state = state * 1103515245u + 12345u;
    garbage += static_cast<char>(state >> 16);
  }
  ASSERT_TRUE(temp_.WriteFile("test.cfg", garbage));
  ConfigReader reader;
  reader.Open(path_, false);
  EXPECT_TRUE(reader.IsLoaded());
  for (const auto& section : reader.GetDocument()) {
    EXPECT_EQ(section.first.find('\n'), std::string::npos);
    for (const auto& entry : section.second) {
      EXPECT_EQ(entry.first.find_first_of("=\n"), std::string::npos);
      EXPECT_EQ(entry.second.find('\n'), std::string::npos);
    }
  }
}

}  // namespace
