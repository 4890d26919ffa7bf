// Fuzzes the listing's wildcard matcher and order: any pattern and names go through,
// "*" and one '?' per byte match every name, letter case never matters, and the
// order is a strict weak order in which only equal names are unordered.
#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

#include "FuzzScratch.h"
#include "platform/Platform.h"
#include "text/Text.h"

using platform::ListingLess;
using platform::MatchesWildcard;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  std::vector<std::string> names;
  while (input.remaining_bytes() > 0 && names.size() < 8) {
    names.push_back(input.ConsumeRandomLengthString(64));
  }
  for (const std::string& name : names) {
    for (const std::string& pattern : names) (void)MatchesWildcard(pattern, name);
    Check(MatchesWildcard("*", name) && MatchesWildcard("*.*", name));
    Check(MatchesWildcard(std::string(name.size(), '?'), name));
    Check(!MatchesWildcard(std::string(name.size() + 1, '?'), name));
    if (name.find_first_of("*?") == std::string::npos) {
      Check(MatchesWildcard(name, text::ToLower(name)) &&
            MatchesWildcard(text::ToUpper(name), name));
    }
  }
  for (const std::string& a : names) {
    Check(!ListingLess(a, a));
    for (const std::string& b : names) {
      const bool less = ListingLess(a, b), greater = ListingLess(b, a);
      Check(!(less && greater) && (less || greater || a == b));
      for (const std::string& c : names) Check(!less || !ListingLess(b, c) || ListingLess(a, c));
    }
  }
  return 0;
}
