#include "text/Text.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace text {

std::string Format(const char* format, ...) {
  char small[256];
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  std::string result;
  if (length < 0) {
    va_end(copy);
    return result;
  }
  if (static_cast<size_t>(length) < sizeof small) {
    result.assign(small, static_cast<size_t>(length));
  } else {
    result.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(&result[0], result.size(), format, copy);
    result.resize(static_cast<size_t>(length));
  }
  va_end(copy);
  return result;
}

std::string ToUpper(std::string s) {
  for (char& c : s) c = static_cast<char>(UpperByte(static_cast<unsigned char>(c)));
  return s;
}

std::string ToLower(std::string s) {
  for (char& c : s) c = static_cast<char>(LowerByte(static_cast<unsigned char>(c)));
  return s;
}

int CompareNoCase(const std::string& a, const std::string& b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = UpperByte(static_cast<unsigned char>(a[i]));
    const unsigned char y = UpperByte(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool StartsWithNoCase(const std::string& s, const char* prefix, size_t count) {
  if (s.size() < count) return false;
  for (size_t i = 0; i < count; ++i) {
    if (UpperByte(static_cast<unsigned char>(s[i])) !=
        UpperByte(static_cast<unsigned char>(prefix[i])))
      return false;
  }
  return true;
}

int AtoI(const char* s) {
  // strtol saturates at long's range, which may be wider than int's.
  errno = 0;
  const long value = std::strtol(s, nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

double AtoF(const char* s) {
  const double value = std::strtod(s, nullptr);
  if (!std::isnan(value)) return value;
  // Not every C library keeps the sign of "-nan" as C99 asks.
  s += std::strspn(s, " \t\n\v\f\r");
  const bool negative = *s == '-';
  return std::copysign(value, negative ? -1.0 : 1.0);
}

std::string FormatDouble(double value) {
  // Not every C library writes the sign of a NaN; C99 does.
  if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
  return Format("%g", value);
}

}  // namespace text
