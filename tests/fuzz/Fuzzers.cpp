// The fuzz targets, one harness; each executable runs the target it is named after, in
// a scratch folder of its own inside KVB_FUZZ_SCRATCH (scripts/fuzz.sh removes it).
// IniFuzzer: any bytes load; a changed document saved and loaded again comes back the
// same, but for what the grammar drops on purpose; UTF-16 is never written.
// PackageFuzzer: any package goes through the package step, which touches nothing
// outside the package and the database and leaves an aircraft.cfg that loads.
// ExeVersionFuzzer: any bytes give a version or a reason, the same from a file as from
// memory.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>

#include "config/ConfigReader.h"
#include "config/LineWriter.h"
#include "processor/ExeVersion.h"
#include "processor/KVBProcessor.h"
#include "support/Support.h"

#define Check(condition) \
  ((condition) ? void()  \
               : (std::fprintf(stderr, "line %d: %s\n", __LINE__, #condition), std::abort()))

static std::string scratch;  // this target's folder

// A reload ignores lines shorter than three characters ("a=", "=b"), and the nameless
// section before the first header once it is empty.
static ConfigReader::Document Reloadable(ConfigReader::Document document) {
  for (auto section = document.begin(); section != document.end();) {
    auto& keys = section->second;
    for (auto key = keys.begin(); key != keys.end();)
      key = key->first.size() + 1 + key->second.size() < 3 ? keys.erase(key) : std::next(key);
    section = section->first.empty() && keys.empty() ? document.erase(section) : std::next(section);
  }
  return document;
}

static void Ini(FuzzedDataProvider& input) {
  const std::string file = scratch + "/fuzz.ini", bytes = input.ConsumeRemainingBytesAsString();
  WriteBytes(file, bytes);
  const bool utf16 = bytes.rfind("\xFF\xFE", 0) == 0 || bytes.rfind("\xFE\xFF", 0) == 0;
  ConfigReader::Document expected;
  {
    ConfigReader store;
    store.Open(file, true);
    Check(store.IsLoaded());
    expected = store.GetDocument();
    store.SetString("Main", "SimObjectPaths.9", "SimObjects\\VORN_KVB");
    expected["Main"]["SimObjectPaths.9"] = "SimObjects\\VORN_KVB";
  }  // the store saves itself here
  Check(!fs::exists(file + ".kvbtmp"));
  Check(!utf16 || ReadBytes(file) == bytes);
  if (utf16) return;
  ConfigReader reloaded;
  reloaded.Open(file, false);
  Check(reloaded.GetDocument() == Reloadable(expected));
}

static void Package(FuzzedDataProvider& input) {
  const fs::path package = fs::path(scratch) / "library" / "VORN_FUZZ";
  const bool hidden = input.ConsumeBool();
  const std::string base = input.ConsumeRandomLengthString(2048);
  std::vector<std::string> liveryFiles;  // suffix, vorn.ini, vorn.liv of each livery
  for (int l = input.ConsumeIntegralInRange(0, 3); l > 0; --l) {
    std::string suffix = input.ConsumeRandomLengthString(16);
    for (char& c : suffix) c = c == '/' || c == '\\' || c == '\0' ? '_' : c;
    liveryFiles.push_back(suffix);
    liveryFiles.push_back(input.ConsumeRandomLengthString(512));
    liveryFiles.push_back(input.ConsumeRandomLengthString(512));
  }
  // Run twice on the same package: the step reading every file itself, then
  // finding them read ahead. Both must leave the same bytes.
  std::string outcome[2];
  size_t liveries = 0;
  for (int ahead = 0; ahead < 2; ++ahead) {
    fs::remove_all(package.parent_path());
    fs::create_directories(package / "panel" / "sub");
    WriteBytes(scratch + "/outside.cfg", "[Main]\r\n");
    WriteBytes((package / "vorn.cfg").string(), base);
    liveries = 0;
    for (size_t l = 0; l < liveryFiles.size(); l += 3) {
      const fs::path livery = package / ("texture." + liveryFiles[l]);
      liveries += fs::create_directory(livery);  // not when the name came before
      WriteBytes((livery / "vorn.ini").string(), liveryFiles[l + 1]);
      WriteBytes((livery / "vorn.liv").string(), liveryFiles[l + 2]);
    }
    {
      std::vector<platform::DirEntry> listed(ahead);
      for (platform::DirEntry& entry : listed) entry = {"VORN_FUZZ", true};
      ReadAhead readAhead(package.parent_path().string(), listed);
      LineWriter database;
      database.Open(scratch + "/library/kvb.dat", platform::File::Mode::kWriteTruncate);
      // Named as the simulator pass names a package, as the reader names it too.
      KVBProcessor().ProcessAircraft(package.parent_path().string() + "\\VORN_FUZZ", database,
                                     hidden, ahead ? &readAhead.Take(0) : nullptr);
    }
    outcome[ahead] =
        ReadBytes(scratch + "/library/kvb.dat") + "|" +
        (fs::exists(package / "aircraft.cfg") ? ReadBytes((package / "aircraft.cfg").string())
                                              : std::string("none"));
  }
  Check(outcome[0] == outcome[1]);
  std::set<std::string> names;  // of everything outside the package
  for (const std::string& in : {scratch, scratch + "/library"})
    for (const auto& entry : fs::directory_iterator(in)) names.insert(entry.path().filename());
  Check(names == (std::set<std::string>{"library", "outside.cfg", "VORN_FUZZ", "kvb.dat"}));
  if (liveries == 0) return;  // "Error reading", and nothing changed
  Check(fs::exists(package / "panel") == !hidden);
  ConfigReader aircraft;
  aircraft.Open((package / "aircraft.cfg").string(), false);
  Check(aircraft.IsLoaded());
}

static void Exe(FuzzedDataProvider& input) {
  const std::string file = scratch + "/fuzz.exe", bytes = input.ConsumeRemainingBytesAsString();
  WriteBytes(file, bytes);
  ExeVersion::Version memory, disk;
  std::string whyMemory, whyDisk;
  const bool known = ExeVersion::ReadBytes(bytes, &memory, &whyMemory);
  Check(known == ExeVersion::Read(file, &disk, &whyDisk));
  Check(known ? memory.Text() == disk.Text() && memory.revision == disk.revision
              : whyMemory == whyDisk && !whyMemory.empty());
}

static void (*target)(FuzzedDataProvider&) = nullptr;

extern "C" int LLVMFuzzerInitialize(int*, char*** argv) {
  const std::string name = fs::path((*argv)[0]).filename().string();
  target = name == "IniFuzzer"          ? Ini
           : name == "PackageFuzzer"    ? Package
           : name == "ExeVersionFuzzer" ? Exe
                                        : nullptr;
  Check(target != nullptr);
  const char* parent = std::getenv("KVB_FUZZ_SCRATCH");
  scratch = ((parent ? fs::path(parent) : fs::temp_directory_path()) / name).string();
  fs::create_directories(scratch);
  if (target == Package) Check(std::freopen("/dev/null", "w", stdout));  // livery lines
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  target(input);
  return 0;
}
