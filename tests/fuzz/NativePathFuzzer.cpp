// Fuzzes the mapping of Windows-style paths onto a scratch Wine prefix: any text maps
// without a crash, a drive letter maps into its drive folder, any letter case and
// separators find the real entry, and a listing returns only folders that match.
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/stat.h>

#include <vector>

#include "FuzzScratch.h"
#include "config/Text.h"
#include "platform/Platform.h"

namespace {
std::string drive;  // C: of the scratch prefix
const char* const kKnown[] = {"Games/FSX/SimObjects/VORN_KVB/VORN_A320/texture.AirLine",
                              "Games/FSX/SimObjects/VORN_KVB/vorn_b737/Texture"};
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string prefix = MakeFuzzScratch("kvb-fuzz-prefix");
  setenv("WINEPREFIX", prefix.c_str(), 1);
  drive = prefix + "/dosdevices/c:/";
  for (const char* known : kKnown) std::filesystem::create_directories(drive + known);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string any(reinterpret_cast<const char*>(data), size);
  const std::string mapped = platform::NativePath(any);
  Check(mapped.find('\\') == std::string::npos);
  if (any.size() >= 2 && any[1] == ':' && text::ToLower(any.substr(0, 1)) == "c")
    Check(mapped.rfind(drive.substr(0, drive.size() - 1), 0) == 0);
  (void)platform::PathExists(any);
  (void)platform::IsLink(any);

  FuzzedDataProvider input(data, size);
  const std::string known = kKnown[input.ConsumeBool()];
  std::string variant = "C:\\";  // in any letter case, with '/' or doubled separators
  for (char c : known) {
    const uint8_t choice = input.ConsumeIntegral<uint8_t>();
    variant += c == '/' ? std::string(1 + (choice >> 1 & 1), "\\/"[choice & 1])
                        : std::string(1, choice & 1 ? text::UpperByte(c) : text::LowerByte(c));
  }
  struct stat a, b;
  Check(stat(platform::NativePath(variant).c_str(), &a) == 0 &&
        stat((drive + known).c_str(), &b) == 0);
  Check(a.st_ino == b.st_ino);

  std::string wildcard = input.ConsumeRandomLengthString(32);
  for (char& c : wildcard) c = c == '\\' || c == '/' || c == '\0' ? '_' : c;
  std::vector<platform::DirEntry> entries;
  Check(platform::FindFiles("C:\\Games\\FSX\\SimObjects\\VORN_KVB\\" + wildcard, &entries) ==
        !entries.empty());
  for (size_t i = 0; i < entries.size(); ++i) {
    Check(platform::MatchesWildcard(wildcard, entries[i].name) && entries[i].isDirectory);
    Check(i == 0 || platform::ListingLess(entries[i - 1].name, entries[i].name));
  }
  return 0;
}
