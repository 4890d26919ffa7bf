// The configuration store: each tests/data/ini/NAME.ini against NAME.expected (see
// the README there).
#include "config/ConfigReader.h"
#include "support/Support.h"
#include "text/Text.h"

namespace {

// "[section]" lines, each followed by its "key=value" lines.
std::string Dump(const ConfigReader& reader) {
  EXPECT_TRUE(reader.IsLoaded());
  std::string dump;
  for (const auto& [name, keys] : reader.GetDocument()) {
    dump += "[" + std::string(name) + "]\n";
    for (const auto& [key, value] : keys)
      dump += std::string(key) + "=" + std::string(value) + "\n";
  }
  return dump;
}

TEST(ConfigReaderTest, DataFilesLoadAndSaveAsExpected) {
  const fs::path data = fs::path(KVB_TEST_DATA_DIR) / "data" / "ini";
  const char* regenerate = std::getenv("KVB_REGENERATE");
  TempDir temp;
  const std::string path = temp.Join("test.cfg");
  ConfigReader reader;  // one for all cases, each loaded from the bytes of its file
  int cases = 0;
  for (const auto& entry : fs::directory_iterator(data)) {
    if (entry.path().extension() != ".ini") continue;
    ++cases;
    const std::string base = (data / entry.path().stem()).string(), get = ReadBytes(base + ".get");
    WriteBytes(path, ReadBytes(entry.path().string()));
    reader.OpenBytes(path, ReadBytes(entry.path().string()));
    std::string outcome = Dump(reader), section, key, value;
    std::istringstream lookups(get), set(ReadBytes(base + ".set"));
    for (std::string text; lookups >> section >> key >> text;) {
      const double number = std::stod(text);
      outcome += text::Format("[%s] %s (%s): \"%s\" %d %d %.17g\n", section.c_str(), key.c_str(),
                              text.c_str(), reader.GetString(section, key, text).c_str(),
                              reader.GetInt(section, key, static_cast<int>(number)),
                              reader.GetBool(section, key, number != 0),
                              reader.GetDouble(section, key, number));
    }
    if (!get.empty()) outcome += "--- after the lookups\n" + Dump(reader);
    // A store opened for a few values finds each key as the whole store does,
    // whatever the letter case, and leaves a missing one as it was.
    // So does one given the file's bytes read ahead.
    const std::string bytes = ReadBytes(path);
    const auto expectOpenFor = [&](const std::string& inSection, const std::string& name) {
      const std::string upper = text::ToUpper(name);
      std::string_view wanted = upper, found = "-", foundAhead = "-";
      ConfigReader only, ahead;
      only.OpenFor(path, text::ToLower(inSection), &wanted, &found, 1);
      ahead.OpenFor(path, text::ToLower(inSection), &wanted, &foundAhead, 1, &bytes);
      EXPECT_EQ(found, reader.GetView(inSection, name, "-"))
          << base << " [" << inSection << "] " << name;
      EXPECT_EQ(foundAhead, found) << base << " [" << inSection << "] " << name;
    };
    // A copy sees the same lines and renders the same bytes from the file or from them.
    {
      ConfigReader copies[2];
      std::string seen[2], rendered[2];
      for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(copies[i].OpenCopy(
            path + ".copy", path, [&, i](std::string_view lines) { seen[i] += lines; },
            i ? &bytes : nullptr));
        copies[i].SetString("x", "y", "z");
        copies[i].Render(&rendered[i]);
      }
      EXPECT_EQ(seen[1], seen[0]) << base;
      EXPECT_EQ(rendered[1], rendered[0]) << base;
      EXPECT_EQ(Dump(copies[1]), Dump(copies[0])) << base;
    }
    for (const auto& [name, keys] : reader.GetDocument()) {
      expectOpenFor(name, "missing");
      for (const auto& keyValue : keys) expectOpenFor(name, keyValue.first);
    }
    if (std::getline(set, section) && std::getline(set, key) && std::getline(set, value)) {
      {
        ConfigReader writer;
        writer.Open(path, true);
        writer.SetString(section, key, value);
      }
      EXPECT_FALSE(fs::exists(path + ".kvbtmp")) << base;
      reader.Open(path, false);
      outcome = ReadBytes(path) + "--- reloaded\n" + Dump(reader);
    }
    if (regenerate && *regenerate == '1') WriteBytes(base + ".expected", outcome);
    EXPECT_EQ(ReadBytes(base + ".expected"), outcome) << base;
  }
  EXPECT_GE(cases, 27);
  if (regenerate && *regenerate == '1') GTEST_SKIP() << "regenerated: review the diff";
}

}  // namespace
