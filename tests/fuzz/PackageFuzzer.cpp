// Fuzzes the package step: a package built from the input (its vorn.cfg, up to three
// livery folders with any names, vorn.ini and vorn.liv) goes through ProcessAircraft.
// Whatever the files hold, the step ends, touches nothing outside the package and
// the database, and writes an aircraft.cfg that loads again.
#include <fuzzer/FuzzedDataProvider.h>

#include <set>

#include "FuzzScratch.h"
#include "config/ConfigReader.h"
#include "config/LineWriter.h"
#include "processor/KVBProcessor.h"

namespace fs = std::filesystem;
namespace {
std::string folder;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  folder = MakeFuzzScratch("kvb-fuzz-package");
  WriteAll(folder + "/outside.cfg", "[Main]\r\n");
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();  // the livery lines
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const fs::path package = fs::path(folder) / "library" / "VORN_FUZZ";
  fs::remove_all(package.parent_path());
  fs::create_directories(package / "panel" / "sub");
  const bool hidden = input.ConsumeBool();
  WriteAll((package / "vorn.cfg").string(), input.ConsumeRandomLengthString(2048));
  size_t liveries = 0;
  for (int l = input.ConsumeIntegralInRange(0, 3); l > 0; --l) {
    std::string suffix = input.ConsumeRandomLengthString(16);
    for (char& c : suffix) c = c == '/' || c == '\\' || c == '\0' ? '_' : c;
    const fs::path livery = package / ("texture." + suffix);
    if (!fs::create_directory(livery)) continue;
    ++liveries;
    WriteAll((livery / "vorn.ini").string(), input.ConsumeRandomLengthString(512));
    WriteAll((livery / "vorn.liv").string(), input.ConsumeRandomLengthString(512));
  }
  {
    LineWriter database;
    database.Open(folder + "/library/kvb.dat", platform::File::Mode::kWriteTruncate);
    KVBProcessor().ProcessAircraft(package.string(), database, hidden);
  }
  std::set<std::string> names;  // of everything outside the package
  for (const std::string& in : {folder, folder + "/library"})
    for (const auto& entry : fs::directory_iterator(in)) names.insert(entry.path().filename());
  Check(names == (std::set<std::string>{"library", "outside.cfg", "VORN_FUZZ", "kvb.dat"}));
  Check(ReadAll(folder + "/outside.cfg") == "[Main]\r\n");
  if (liveries == 0) return 0;  // "Error reading", and nothing changed
  Check(fs::exists(package / "panel") == !hidden);
  ConfigReader aircraft;
  aircraft.Open((package / "aircraft.cfg").string(), false);
  Check(aircraft.IsLoaded());
  return 0;
}
