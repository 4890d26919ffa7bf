#include "text/Text.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace text {

std::string Format(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::string result = FormatV(format, arguments);
  va_end(arguments);
  return result;
}

std::string FormatV(const char* format, va_list arguments) {
  va_list copy;
  va_copy(copy, arguments);
  const int length = format ? std::vsnprintf(nullptr, 0, format, copy) : -1;
  va_end(copy);
  if (length <= 0) return std::string();
  // The string's own terminator takes vsnprintf's.
  std::string result(static_cast<size_t>(length), '\0');
  std::vsnprintf(&result[0], result.size() + 1, format, arguments);
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

int CompareNoCase(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  // Bytes that are equal as they are are equal upper-cased: long shared
  // beginnings ("texture.") are passed over eight at a time.
  size_t i = 0;
  while (i + 8 <= n && std::memcmp(a.data() + i, b.data() + i, 8) == 0) i += 8;
  for (; i < n; ++i) {
    const unsigned char x = UpperByte(static_cast<unsigned char>(a[i]));
    const unsigned char y = UpperByte(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

int AtoI(std::string_view s) {
  // As strtol reads base 10 in the C locale, without its locale look-ups: the
  // store reads several numbers for every livery.
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
  const bool negative = i < s.size() && s[i] == '-';
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
  // Past INT_MAX + 1 the value only saturates: it stops growing there.
  constexpr long long kBeyond = static_cast<long long>(INT_MAX) + 2;
  long long value = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
    value = std::min(value * 10 + (s[i] - '0'), kBeyond);
  if (negative) value = -value;
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
  // "%g" of a double takes at most 13 bytes ("-1.79769e+308"): one call.
  char buffer[32];
  const int length = std::snprintf(buffer, sizeof buffer, "%g", value);
  return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

}  // namespace text
