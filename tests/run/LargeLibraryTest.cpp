// A library of many packages and liveries, made by the test, with names whose
// listing order differs from their creation order. Every database record, every
// console line and the sections of every aircraft.cfg are predicted here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

#include "RunHarness.h"

namespace fs = std::filesystem;

namespace kvbtest {
namespace {

// The listing order: names compared as upper-cased bytes, ties by raw bytes.
std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}
bool ListedBefore(const std::string& a, const std::string& b) {
  const std::string ua = Upper(a), ub = Upper(b);
  return ua != ub ? ua < ub : a < b;  // std::string compares bytes as unsigned char
}

std::string G(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%g", value);
  return buffer;
}

void WriteLines(const fs::path& path, const std::vector<std::string>& lines) {
  std::string content;
  for (const std::string& line : lines) content += line + "\r\n";
  WriteBytes(path, content);
}

std::vector<std::string> CrLfLines(std::string content) {
  std::vector<std::string> lines;
  for (size_t at; (at = content.find("\r\n")) != std::string::npos; content.erase(0, at + 2))
    lines.push_back(content.substr(0, at));
  return lines;
}

struct Livery {
  std::string folder, title, variation;
  int version = 0;
};
struct Package {
  std::string name;
  double pitch = 0, cgHeight = 0;
  bool helicopter = false;
  std::vector<Livery> liveries;  // in creation order
};

TEST(LargeLibraryTest, RecordsAndSectionsFollowListingOrder) {
  ScratchFolder scratch;
  const fs::path root = scratch.Path();
  const fs::path library = root / "FSX" / "SimObjects" / "VORN_KVB";
  WriteLines(
      root / "appdata/VORN/Zaro/config/zaro.ini",
      {"[INSTALL]", "fsx_path=" + (root / "FSX").string(), "Path=" + (root / "Zaro").string()});
  WriteLines(root / "appdata/Microsoft/FSX/fsx.cfg",
             {"[Main]", "SimObjectPaths.0=SimObjects\\Airplanes"});
  fs::create_directories(root / "Zaro" / "data");

  const char* const kPrefixes[] = {"VORN_", "vorn_", "Vorn_", "VORN_"};
  const char* const kLiveryNames[] = {"texture",    "Texture.B",   "texture.a", "TEXTURE.10",
                                      "texture.2",  "texture.a.b", "texture.Z", "texture.1",
                                      "texture._x", "texture.9",   "texture.~", "texture.é"};
  std::vector<Package> packages;
  int liveryCount = 0;
  for (int i = 0; i < 60; ++i) {
    Package package;
    package.name = std::string(kPrefixes[i % 4]) + (i % 3 ? "P" : "p") + std::to_string(i * 7 % 61);
    package.pitch = i * 0.25 - 3;
    package.cgHeight = i / 3.0;
    package.helicopter = i % 9 == 4;
    const fs::path folder = library / package.name;
    WriteLines(folder / "vorn.cfg", {"[General]", "atc_type=T" + std::to_string(i),
                                     package.helicopter ? "[Helicopter]" : "[flight_tuning]",
                                     "[contact_points]", "static_pitch=" + G(package.pitch),
                                     "static_cg_height=" + std::to_string(package.cgHeight)});
    fs::create_directories(folder / "textures");        // not a livery
    WriteBytes((folder / "texture.bmp").string(), "");  // a file, skipped
    const int count = 5 + i % 8;
    for (int j = 0; j < count; ++j) {
      Livery livery{kLiveryNames[(j + i) % 12], "T" + std::to_string(i) + "_" + std::to_string(j),
                    "V" + std::to_string(j), j % 7 == 3 ? 0 : i * 100 + j};
      const fs::path liveryFolder = folder / livery.folder;
      WriteLines(liveryFolder / "vorn.liv",
                 {"[fltsim]", "title=" + livery.title, "ui_variation=" + livery.variation});
      if (livery.version != 0)
        WriteLines(liveryFolder / "vorn.ini",
                   {"[vorn]", "kvb_version=" + std::to_string(livery.version)});
      package.liveries.push_back(livery);
    }
    liveryCount += count;
    packages.push_back(package);
  }
  ASSERT_GE(liveryCount, 500);
  WriteBytes((library / "VORN_file.txt").string(), "");  // a file, skipped
  fs::create_directories(library / "XVORN_P1");          // not a package

  const RunResult result = RunTool(
      root.string(), {},
      {{"HOME", root.string()}, {"USER", "kvbuser"}, {"APPDATA", (root / "appdata").string()}});
  ASSERT_EQ(0, result.status);

  // Predictions, in listing order.
  std::sort(packages.begin(), packages.end(),
            [](const Package& a, const Package& b) { return ListedBefore(a.name, b.name); });
  std::string console =
      "Kavbel configuration builder.\nCopyright (C) VORN network. All rights reserved.\n\n"
      "KVB aircraft will be hidden in FS\nUpdating FSX (" +
      (root / "FSX").string() + ") ...\n";
  std::string database;
  for (Package& package : packages) {
    std::sort(package.liveries.begin(), package.liveries.end(),
              [](const Livery& a, const Livery& b) { return ListedBefore(a.folder, b.folder); });
    for (const Livery& livery : package.liveries) {
      console += livery.title + " " + livery.variation + "\n";
      database += livery.title + "," + livery.variation + "," + G(package.cgHeight) + "," +
                  G(package.pitch) + "," + std::to_string(livery.version) + "\r\n";
    }

    // The sections as the store writes them: sorted without regard to case.
    std::vector<std::string> sections = {"General", "flight_tuning", "contact_points"};
    if (package.helicopter) sections[1] = "Helicopter";
    for (size_t n = 0; n < package.liveries.size(); ++n)
      sections.push_back("fltsim." + std::to_string(n));
    std::sort(sections.begin(), sections.end(), ListedBefore);

    std::vector<std::string> written;
    std::map<std::string, std::string> titles;
    std::string section, category;
    for (const std::string& line :
         CrLfLines(ReadBytes((library / package.name / "aircraft.cfg").string()))) {
      if (!line.empty() && line[0] == '[')
        written.push_back(section = line.substr(1, line.size() - 2));
      if (line.rfind("title=", 0) == 0) titles[section] = line.substr(6);
      if (line.rfind("Category=", 0) == 0) category = line.substr(9);
    }
    EXPECT_EQ(sections, written) << package.name;
    EXPECT_EQ(package.helicopter ? "Helicopter" : "airplane", category) << package.name;
    for (size_t n = 0; n < package.liveries.size(); ++n)
      EXPECT_EQ(package.liveries[n].title, titles["fltsim." + std::to_string(n)]) << package.name;
    EXPECT_FALSE(fs::exists(library / package.name / "panel"));
  }
  EXPECT_EQ(console, result.console);
  EXPECT_EQ(database, ReadBytes((root / "Zaro/data/kvb.dat").string()));
  EXPECT_EQ(
      "\r\n[Main]\r\nSimObjectPaths.0=SimObjects\\Airplanes\r\nSimObjectPaths.1=SimObjects\\VORN_"
      "KVB\r\n",
      ReadBytes((root / "appdata/Microsoft/FSX/fsx.cfg").string()));
}

}  // namespace
}  // namespace kvbtest
