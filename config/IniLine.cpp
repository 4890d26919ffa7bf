#include "config/IniLine.h"

namespace {

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Narrows [*begin, *end) of `line` to its text without blanks at either end.
inline void Trim(std::string_view line, size_t* begin, size_t* end) {
  while (*end > *begin && IsBlank(line[*end - 1])) --*end;
  while (*begin < *end && IsBlank(line[*begin])) ++*begin;
}

}  // namespace

IniLine IniLine::Classify(std::string_view line, bool first) {
  IniLine result;
  size_t begin = 0;
  size_t end = line.size();
  if (first) {
    if (line.compare(0, 3, "\xEF\xBB\xBF") == 0) {
      result.mark = Mark::kUtf8;
      begin = 3;
    } else if (line.size() >= 2 && ((line[0] == '\xFF' && line[1] == '\xFE') ||
                                    (line[0] == '\xFE' && line[1] == '\xFF'))) {
      result.mark = Mark::kUtf16;
    }
  }
  Trim(line, &begin, &end);
  if (end - begin < 3) return result;
  const char initial = line[begin];
  if (initial == ';' || initial == '#') return result;
  if (initial == '/' && line[begin + 1] == '/') return result;

  // A header names the text between its first and its last byte, whatever they are.
  if (initial == '[') {
    result.kind = Kind::kHeader;
    result.name = line.substr(begin + 1, end - begin - 2);
    return result;
  }

  result.kind = Kind::kKey;
  result.name = line.substr(begin, end - begin);
  const size_t equals = result.name.find('=');
  if (equals != std::string_view::npos) {
    size_t keyBegin = begin, keyEnd = begin + equals;
    size_t valueBegin = keyEnd + 1, valueEnd = end;
    Trim(line, &keyBegin, &keyEnd);
    Trim(line, &valueBegin, &valueEnd);
    result.name = line.substr(keyBegin, keyEnd - keyBegin);
    result.value = line.substr(valueBegin, valueEnd - valueBegin);
  }
  return result;
}
