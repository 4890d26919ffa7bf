// A library of many packages and liveries, made by the test, with names whose
// listing order differs from their creation order. Every console line, every
// database record and the sections of every aircraft.cfg are predicted here.

#include "RunHarness.h"

namespace kvbtest {
namespace {

// The listing order of the names (each pair's first): upper-cased bytes, ties by
// raw bytes, compared as unsigned char.
const auto kListedBefore = [](const auto& a, const auto& b) {
  auto upper = [](std::string s) {
    for (char& c : s) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    return s;
  };
  return upper(a.first) != upper(b.first) ? upper(a.first) < upper(b.first) : a.first < b.first;
};

std::string G(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

TEST(LargeLibraryTest, RecordsAndSectionsFollowListingOrder) {
  TempDir scratch;
  ASSERT_TRUE(scratch.Create());
  const std::string root = scratch.Path(), library = root + "/FSX/SimObjects/VORN_KVB/";
  WriteBytes(root + "/appdata/VORN/Zaro/config/zaro.ini",
             "[INSTALL]\r\nfsx_path=" + root + "/FSX\r\nPath=" + root + "/Zaro\r\n");
  WriteBytes(root + "/appdata/Microsoft/FSX/fsx.cfg", "[Main]\r\n");
  std::filesystem::create_directories(root + "/Zaro/data");
  const char* const kPrefixes[] = {"VORN_", "vorn_", "Vorn_", "VORN_"};
  const char* const kLiveries[] = {"texture",    "Texture.B",   "texture.a", "TEXTURE.10",
                                   "texture.2",  "texture.a.b", "texture.Z", "texture.1",
                                   "texture._x", "texture.9",   "texture.~", "texture.\xC3\xA9",
                                   "texture. b"};
  std::vector<std::pair<std::string, int>> packages;
  for (int i = 0; i < 60; ++i) {
    const std::string n = std::to_string(i), folder = library + kPrefixes[i % 4] +
                                                      (i % 3 ? "P" : "p") +
                                                      std::to_string(i * 7 % 61);
    packages.emplace_back(folder, i);
    WriteBytes(folder + "/vorn.cfg", "[General]\r\natc_type=T" + n +
                                         (i % 9 == 4 ? "\r\n[Helicopter]" : "\r\n[flight_tuning]") +
                                         "\r\n[contact_points]\r\nstatic_pitch=" + G(i * 0.25 - 3) +
                                         "\r\nstatic_cg_height=" + std::to_string(i / 3.0) +
                                         "\r\n");
    for (int j = 0; j < 5 + i % 8; ++j) {
      const std::string livery = folder + "/" + kLiveries[(i + j) % 13], m = std::to_string(j);
      WriteBytes(livery + "/vorn.liv",
                 "[fltsim]\r\ntitle=T" + n + "_" + m + "\r\nui_variation=V" + m);
      if (j % 7 != 3)
        WriteBytes(livery + "/vorn.ini", "[vorn]\nkvb_version=" + std::to_string(i * 100 + j));
    }
  }
  const RunResult result =
      RunTool(root, {}, {{"HOME", root}, {"USER", "kvbuser"}, {"APPDATA", root + "/appdata"}});
  ASSERT_EQ(0, result.status);

  std::sort(packages.begin(), packages.end(), kListedBefore);
  std::string console =
      "Kavbel configuration builder.\nCopyright (C) VORN network. All rights reserved.\n\n"
      "KVB aircraft will be hidden in FS\nUpdating FSX (" +
      root + "/FSX) ...\n";
  std::string database;
  for (const auto& [folder, i] : packages) {
    std::vector<std::pair<std::string, int>> liveries;
    for (int j = 0; j < 5 + i % 8; ++j) liveries.emplace_back(kLiveries[(i + j) % 13], j);
    std::sort(liveries.begin(), liveries.end(), kListedBefore);
    // Sections sorted without regard to case: General with the category, each
    // livery's section with its title.
    std::vector<std::pair<std::string, std::string>> sections = {
        {"General", i % 9 == 4 ? "Category=Helicopter\n" : "Category=airplane\n"},
        {i % 9 == 4 ? "Helicopter" : "flight_tuning", ""},
        {"contact_points", ""}};
    for (const auto& [name, j] : liveries) {
      const std::string title = "T" + std::to_string(i) + "_" + std::to_string(j);
      console += title + " V" + std::to_string(j) + "\n";
      database += title + ",V" + std::to_string(j) + "," + G(i / 3.0) + "," + G(i * 0.25 - 3) +
                  "," + std::to_string(j % 7 == 3 ? 0 : i * 100 + j) + "\r\n";
      sections.emplace_back("fltsim." + std::to_string(sections.size() - 3),
                            "title=" + title + "\n");
    }
    std::sort(sections.begin(), sections.end(), kListedBefore);
    std::string expected, written;
    for (const auto& [name, line] : sections) expected += "[" + name + "]\n" + line;
    std::istringstream in(ReadBytes(folder + "/aircraft.cfg"));
    for (std::string line; std::getline(in, line);)
      if (line[0] == '[' || line.rfind("title=", 0) == 0 || line.rfind("Category=", 0) == 0)
        written += line.substr(0, line.size() - 1) + "\n";  // without the CR
    EXPECT_EQ(expected, written) << folder;
  }
  EXPECT_EQ(console, result.console);
  EXPECT_EQ(database, ReadBytes(root + "/Zaro/data/kvb.dat"));
}

}  // namespace
}  // namespace kvbtest
