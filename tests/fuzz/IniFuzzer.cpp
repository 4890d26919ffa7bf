// Fuzzes the INI store: any bytes load, and a document that is changed, saved and
// loaded again comes back the same, apart from what the grammar drops on purpose.
// A save that fails at its first write or at its replacement step leaves the file
// exactly as it was.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "FuzzScratch.h"
#include "config/ConfigReader.h"
#include "platform/Platform.h"

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
std::string file;

void RemoveFolder() {
  std::error_code ignored;
  fs::remove_all(folder, ignored);
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

// What a reload of the saved document holds: a line shorter than three
// characters is ignored, so a one-letter key without a value ("a=") and an empty
// key with a one-letter value ("=b") do not come back, nor does the nameless
// section of keys before the first header once it is empty.
ConfigReader::Document Reloadable(ConfigReader::Document document) {
  for (auto section = document.begin(); section != document.end();) {
    for (auto key = section->second.begin(); key != section->second.end();) {
      key = key->first.size() + 1 + key->second.size() < 3 ? section->second.erase(key)
                                                           : std::next(key);
    }
    section = section->first.empty() && section->second.empty() ? document.erase(section)
                                                                : std::next(section);
  }
  return document;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  folder = MakeFuzzScratch("kvb-fuzz-ini");
  file = folder + "/fuzz.ini";
  std::atexit(RemoveFolder);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  // The last byte also picks, for a third of the inputs, a save that fails at its
  // first write or at its replacement step before the one that succeeds.
  const int fault = size > 0 ? data[size - 1] % 6 : 0;
  const bool utf16 =
      size >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF));

  ConfigReader::Document expected;
  {
    ConfigReader store;
    store.Open(file, true);
    Check(store.IsLoaded());
    expected = store.GetDocument();
    store.SetString("Main", "SimObjectPaths.9", "SimObjects\\VORN_KVB");
    expected["Main"]["SimObjectPaths.9"] = "SimObjects\\VORN_KVB";
    Check(store.GetDocument() == expected);
    if (fault == 1 || fault == 2) {
      platform::InjectWriteFault(fault);
      store.Save();
      platform::InjectWriteFault(0);
      Check(ReadAll(file) == bytes);  // the failed save left it whole
      Check(!fs::exists(file + ".kvbtmp"));
    }
  }  // the store saves itself here
  Check(!fs::exists(file + ".kvbtmp"));
  const std::string saved = ReadAll(file);
  if (utf16) {
    Check(saved == bytes);  // never written back
    return 0;
  }

  ConfigReader reloaded;
  reloaded.Open(file, true);
  const ConfigReader::Document kept = Reloadable(expected);
  Check(reloaded.GetDocument() == kept);
  // Saving what was reloaded gives the same bytes again, when nothing was dropped.
  reloaded.SetString("Main", "SimObjectPaths.9", "SimObjects\\VORN_KVB");
  reloaded.Save();
  if (kept == expected) Check(ReadAll(file) == saved);
  return 0;
}
