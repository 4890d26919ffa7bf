// Fuzzes the package step: a package folder built from the input (its vorn.cfg,
// up to three livery folders with their vorn.ini and vorn.liv) goes through
// ProcessAircraft. Whatever the files hold, the step ends, and the aircraft.cfg it
// writes loads again with one entry per livery folder.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "FuzzScratch.h"
#include "config/ConfigReader.h"
#include "config/LineWriter.h"
#include "config/Text.h"
#include "platform/Platform.h"
#include "processor/KVBProcessor.h"

namespace fs = std::filesystem;

// A property that does not hold: the fuzzer keeps the input that broke it.
#define Check(condition)                                                                 \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: %s does not hold\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (false)

namespace {

std::string folder;

void RemoveFolder() {
  std::error_code ignored;
  fs::remove_all(folder, ignored);
}

void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  folder = MakeFuzzScratch("kvb-fuzz-package");
  std::atexit(RemoveFolder);
  // The livery lines would drown the fuzzer's own report.
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const fs::path package = fs::path(folder) / "VORN_FUZZ";
  fs::remove_all(package);
  fs::create_directories(package);
  const bool hidden = input.ConsumeBool();
  const std::string vornCfg = input.ConsumeRandomLengthString(2048);
  WriteFile(package / "vorn.cfg", vornCfg);
  if (input.ConsumeBool()) {
    fs::create_directories(package / "panel" / "sub");
    WriteFile(package / "panel" / "panel.cfg", "x");
  }
  int liveries = 0;
  const int wanted = input.ConsumeIntegralInRange(0, 3);
  for (int l = 0; l < wanted; ++l) {
    // Names as odd as a file system allows, all of them livery folders.
    std::string suffix = input.ConsumeRandomLengthString(16);
    for (char& c : suffix) {
      if (c == '/' || c == '\\' || c == '\0') c = '_';
    }
    const fs::path livery = package / ("texture." + suffix);
    if (!fs::create_directory(livery)) continue;
    ++liveries;
    WriteFile(livery / "vorn.ini", input.ConsumeRandomLengthString(512));
    WriteFile(livery / "vorn.liv", input.ConsumeRandomLengthString(512));
  }

  {
    LineWriter database;
    database.Open(folder + "/kvb.dat", platform::File::Mode::kWriteTruncate);
    KVBProcessor().ProcessAircraft(package.string(), database, hidden);
  }
  if (liveries == 0) return 0;  // "Error reading", and nothing changed
  Check(fs::exists(package / "panel") == !hidden);

  const bool utf16 = vornCfg.size() >= 2 && ((vornCfg[0] == '\xFF' && vornCfg[1] == '\xFE') ||
                                             (vornCfg[0] == '\xFE' && vornCfg[1] == '\xFF'));
  ConfigReader aircraft;
  aircraft.Open((package / "aircraft.cfg").string(), false);
  Check(aircraft.IsLoaded());
  if (utf16) return 0;  // such a file is never written back
  const std::string category = aircraft.GetString("General", "Category", "");
  const bool helicopter = text::ToLower(vornCfg).find("[helicopter]") != std::string::npos;
  Check(category == (helicopter ? "Helicopter" : "airplane"));
  Check(aircraft.GetString("General", "editable", "") == "0");
  for (int l = 0; l < liveries; ++l) {
    const std::string section = "fltsim." + std::to_string(l);
    Check(aircraft.GetString(section, "ui_manufacturer", "") == "www.vorn.net");
    Check(aircraft.GetDocument().at(section).count("panel") == (hidden ? 0u : 1u));
  }
  return 0;
}
