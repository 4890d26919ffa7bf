// Fuzzes the listing's wildcard matcher and its order: compared with a plain
// dynamic-programming matcher, and checked as a strict total order.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/Text.h"
#include "platform/Platform.h"

// A property that does not hold: the fuzzer keeps the input that broke it.
#define Check(condition)                                                                 \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: %s does not hold\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (false)

namespace {

bool SameLetter(char a, char b) {
  return text::UpperByte(static_cast<unsigned char>(a)) ==
         text::UpperByte(static_cast<unsigned char>(b));
}

// Quadratic but obviously right: can p[i..] match n[j..]?
bool SlowMatch(const std::string& p, const std::string& n) {
  std::vector<std::vector<char>> can(p.size() + 1, std::vector<char>(n.size() + 1, 0));
  can[p.size()][n.size()] = 1;
  for (size_t i = p.size(); i-- > 0;) {
    for (size_t j = n.size() + 1; j-- > 0;) {
      if (p[i] == '*') {
        can[i][j] = can[i + 1][j] || (j < n.size() && can[i][j + 1]);
      } else if (j < n.size() && (p[i] == '?' || SameLetter(p[i], n[j]))) {
        can[i][j] = can[i + 1][j + 1];
      }
    }
  }
  return can[0][0];
}

bool SlowMatchesWildcard(const std::string& p, const std::string& n) {
  if (SlowMatch(p, n)) return true;
  const size_t size = p.size();
  return size >= 2 && p[size - 2] == '.' && p[size - 1] == '*' &&
         n.find('.') == std::string::npos && SlowMatch(p.substr(0, size - 2), n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string pattern = input.ConsumeRandomLengthString(64);
  std::vector<std::string> names;
  while (input.remaining_bytes() > 0 && names.size() < 8) {
    names.push_back(input.ConsumeRandomLengthString(64));
  }

  for (const std::string& name : names) {
    Check(platform::MatchesWildcard(pattern, name) == SlowMatchesWildcard(pattern, name));
    Check(platform::MatchesWildcard("*", name));
    Check(platform::MatchesWildcard("*.*", name));
    // A name without wildcards matches itself in any letter case, and one '?'
    // per byte matches it too.
    if (name.find_first_of("*?") == std::string::npos) {
      Check(platform::MatchesWildcard(name, text::ToLower(name)));
      Check(platform::MatchesWildcard(text::ToUpper(name), name));
    }
    Check(platform::MatchesWildcard(std::string(name.size(), '?'), name));
    Check(!platform::MatchesWildcard(std::string(name.size() + 1, '?'), name));
  }

  // A strict total order: irreflexive, asymmetric, transitive, and only equal
  // names are unordered.
  names.push_back(pattern);
  for (const std::string& a : names) {
    Check(!platform::ListingLess(a, a));
    for (const std::string& b : names) {
      const bool less = platform::ListingLess(a, b);
      const bool greater = platform::ListingLess(b, a);
      Check(!(less && greater));
      Check(less || greater || a == b);
      if (!less) continue;
      for (const std::string& c : names) {
        if (platform::ListingLess(b, c)) Check(platform::ListingLess(a, c));
      }
    }
  }
  std::sort(names.begin(), names.end(), platform::ListingLess);
  Check(std::is_sorted(names.begin(), names.end(), platform::ListingLess));
  return 0;
}
