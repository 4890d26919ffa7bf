// Small helpers over std::string, the tool's 8-bit text: printf-style formatting,
// ASCII letter case, and the C library's number conversions with the same result
// on every target. The ground floor: the platform layer and the store build on it,
// and it needs nothing of theirs.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

namespace text {

/// printf-style formatting into a string; "" for a null format.
std::string Format(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
std::string FormatV(const char* format, va_list arguments);

/// ASCII letters only; every other byte stays as it is, whatever the locale.
inline unsigned char UpperByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}
inline unsigned char LowerByte(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}
std::string ToUpper(std::string s);
std::string ToLower(std::string s);

/// Compares the upper-cased bytes as unsigned: <0, 0 or >0.
int CompareNoCase(std::string_view a, std::string_view b);

/// `atoi`, saturating to INT_MIN or INT_MAX beyond the range of int. The view
/// is read up to its first NUL, as the C library reads a string.
int AtoI(std::string_view s);
inline int AtoI(const char* s) { return AtoI(std::string_view(s)); }
inline int AtoI(const std::string& s) { return AtoI(std::string_view(s)); }

/// `atof` as C99 strtod reads it ('.' as the decimal point).
double AtoF(const char* s);
inline double AtoF(const std::string& s) { return AtoF(s.c_str()); }

/// A double as "%g" writes it, with at least two exponent digits.
std::string FormatDouble(double value);

}  // namespace text
