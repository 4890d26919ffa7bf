// Fuzzes the mapping of Windows-style paths onto the native file system, inside a
// scratch Wine prefix: any text maps without a crash, drive letters and letter
// case resolve to the real entries, and listings only return what matches.
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FuzzScratch.h"
#include "config/Text.h"
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

std::string prefix;
// Windows-style paths below C: of the scratch prefix, all of which exist.
const char* const kKnown[] = {
    "Games",
    "Games\\FSX",
    "Games\\FSX\\SimObjects\\VORN_KVB",
    "Games\\FSX\\SimObjects\\VORN_KVB\\VORN_A320\\vorn.cfg",
    "Games\\FSX\\SimObjects\\VORN_KVB\\VORN_A320\\texture.AirLine",
    "Games\\FSX\\SimObjects\\VORN_KVB\\vorn_b737\\Texture",
    "Users\\pilot\\AppData\\Roaming\\Microsoft\\FSX\\fsx.cfg",
};

void RemovePrefix() {
  std::error_code ignored;
  fs::remove_all(prefix, ignored);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first;
  struct stat second;
  return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  prefix = MakeFuzzScratch("kvb-fuzz-prefix");
  std::atexit(RemovePrefix);
  setenv("WINEPREFIX", prefix.c_str(), 1);
  const fs::path drive = fs::path(prefix) / "dosdevices" / "c:";
  for (const char* known : kKnown) {
    std::string relative = known;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    const fs::path path = drive / relative;
    if (path.has_extension() && path.extension() != ".AirLine") {
      fs::create_directories(path.parent_path());
      std::ofstream(path) << "[Main]\n";
    } else {
      fs::create_directories(path);
    }
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string any(reinterpret_cast<const char*>(data), size);
  const std::string mapped = platform::NativePath(any);
  Check(mapped.find('\\') == std::string::npos);
  const bool drive = any.size() >= 2 && any[1] == ':' &&
                     ((any[0] >= 'a' && any[0] <= 'z') || (any[0] >= 'A' && any[0] <= 'Z'));
  if (drive) {
    const std::string root =
        prefix + "/dosdevices/" +
        static_cast<char>(text::LowerByte(static_cast<unsigned char>(any[0]))) + ":";
    Check(mapped.compare(0, root.size(), root) == 0);
  } else if (!any.empty() && (any[0] == '\\' || any[0] == '/')) {
    Check(!mapped.empty() && mapped[0] == '/');
  }
  (void)platform::PathExists(any);
  (void)platform::IsLink(any);

  FuzzedDataProvider input(data, size);
  // A known path in some letter case, with some separators doubled or forward.
  std::string known = kKnown[input.ConsumeIntegralInRange<size_t>(0, std::size(kKnown) - 1)];
  std::string variant = input.ConsumeBool() ? "c:" : "C:";
  variant += '\\';
  for (char c : known) {
    const uint8_t choice = input.ConsumeIntegral<uint8_t>();
    if (c == '\\') {
      variant += (choice & 1) ? '/' : '\\';
      if (choice & 2) variant += '\\';
    } else {
      variant += static_cast<char>((choice & 1) ? text::UpperByte(static_cast<unsigned char>(c))
                                                : text::LowerByte(static_cast<unsigned char>(c)));
    }
  }
  std::string exact = prefix + "/dosdevices/c:/" + known;
  std::replace(exact.begin(), exact.end(), '\\', '/');
  Check(SameFile(platform::NativePath(variant), exact));

  // A listing of the library folder with an arbitrary last component.
  std::string wildcard = input.ConsumeRandomLengthString(32);
  wildcard.erase(std::remove_if(wildcard.begin(), wildcard.end(),
                                [](char c) { return c == '\\' || c == '/' || c == '\0'; }),
                 wildcard.end());
  std::vector<platform::DirEntry> entries;
  const bool found =
      platform::FindFiles("C:\\Games\\FSX\\SimObjects\\VORN_KVB\\" + wildcard, &entries);
  Check(found == !entries.empty());
  for (size_t i = 0; i < entries.size(); ++i) {
    Check(platform::MatchesWildcard(wildcard, entries[i].name));
    Check(entries[i].isDirectory);
    if (i > 0) Check(platform::ListingLess(entries[i - 1].name, entries[i].name));
  }
  return 0;
}
