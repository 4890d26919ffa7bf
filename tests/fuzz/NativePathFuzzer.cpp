// Fuzzes the mapping of Windows-style paths onto a scratch Wine prefix: any text maps
// without a crash and without a backslash, a drive letter maps into its drive folder,
// and a listing with any last component returns only folders that match, in order.
#include <vector>

#include "FuzzScratch.h"
#include "platform/Platform.h"
#include "text/Text.h"

namespace {
std::string drive;  // the folder of C: in the scratch prefix
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string prefix = MakeFuzzScratch("kvb-fuzz-prefix");
  setenv("WINEPREFIX", prefix.c_str(), 1);
  drive = prefix + "/dosdevices/c:";
  for (const char* package : {"/VORN_A320/texture.AirLine", "/vorn_b737/Texture"})
    std::filesystem::create_directories(drive + "/Games/VORN_KVB" + package);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string any(reinterpret_cast<const char*>(data), size);
  const std::string mapped = platform::NativePath(any);
  Check(mapped.find('\\') == std::string::npos);
  if (any.size() >= 2 && any[1] == ':' && text::ToLower(any.substr(0, 1)) == "c")
    Check(mapped.rfind(drive, 0) == 0);
  (void)platform::PathExists(any);
  (void)platform::IsLink(any);

  std::string wildcard = any.substr(0, 32);
  for (char& c : wildcard) c = c == '\\' || c == '/' || c == '\0' ? '_' : c;
  std::vector<platform::DirEntry> entries;
  Check(platform::FindFiles("C:\\games\\vorn_kvb\\" + wildcard, &entries) == platform::Status::kOk);
  for (size_t i = 0; i < entries.size(); ++i) {
    Check(platform::MatchesWildcard(wildcard, entries[i].name) && entries[i].isDirectory);
    Check(i == 0 || platform::ListingLess(entries[i - 1].name, entries[i].name));
  }
  return 0;
}
