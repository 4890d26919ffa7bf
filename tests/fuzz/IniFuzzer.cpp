// Fuzzes the INI store: any bytes load, and a document that is changed, saved and
// loaded again comes back the same, apart from what the grammar drops on purpose.
#include "FuzzScratch.h"
#include "config/ConfigReader.h"

namespace {
std::string file;

// A reload ignores lines shorter than three characters ("a=", "=b"), and the nameless
// section before the first header once it is empty.
ConfigReader::Document Reloadable(ConfigReader::Document document) {
  for (auto section = document.begin(); section != document.end();) {
    auto& keys = section->second;
    for (auto key = keys.begin(); key != keys.end();)
      key = key->first.size() + 1 + key->second.size() < 3 ? keys.erase(key) : std::next(key);
    section = section->first.empty() && keys.empty() ? document.erase(section) : std::next(section);
  }
  return document;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  file = MakeFuzzScratch("kvb-fuzz-ini") + "/fuzz.ini";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  WriteAll(file, bytes);
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
  Check(!std::filesystem::exists(file + ".kvbtmp"));
  const std::string saved = ReadAll(file);
  Check(!utf16 || saved == bytes);  // never written back
  if (utf16) return 0;
  ConfigReader reloaded;
  reloaded.Open(file, true);
  Check(reloaded.GetDocument() == Reloadable(expected));
  // Saving what was reloaded gives the same bytes again, when nothing was dropped.
  reloaded.SetString("Main", "SimObjectPaths.9", "SimObjects\\VORN_KVB");
  reloaded.Save();
  Check(Reloadable(expected) != expected || ReadAll(file) == saved);
  return 0;
}
