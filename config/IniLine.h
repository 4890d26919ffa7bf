// One line of an INI file as the store reads it: a section header, a key line, or
// a line it skips. The store and the one-line edit of the simulator's configuration
// both classify lines here, so that the edit finds exactly the lines the store reads.
#pragma once

#include <cstring>
#include <string_view>

struct IniLine {
  enum class Kind { kSkipped, kHeader, kKey };
  /// The byte-order mark that the first line of a file starts with.
  enum class Mark { kNone, kUtf8, kUtf16 };

  /// Classifies `line`, given without its line end; only the `first` line of a file
  /// may start with a byte-order mark. The views point into `line`. Inline: the
  /// store calls it for every line it reads.
  static inline IniLine Classify(std::string_view line, bool first);

  Kind kind = Kind::kSkipped;
  Mark mark = Mark::kNone;
  std::string_view name;   // the section of a header, the key of a key line
  std::string_view value;  // of a key line: empty for a line without '='

 private:
  // Most bytes are above the space: one comparison settles them.
  static bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ' &&
           (c == ' ' || c == '\t' || c == '\r' || c == '\n');
  }
  // Narrows [*begin, *end) to its text without blanks at either end.
  static void Trim(const char** begin, const char** end) {
    while (*end > *begin && IsBlank((*end)[-1])) --*end;
    while (*begin < *end && IsBlank(**begin)) ++*begin;
  }
};

inline IniLine IniLine::Classify(std::string_view line, bool first) {
  const char* begin = line.data();
  const char* end = begin + line.size();
  Mark mark = Mark::kNone;
  if (first) {
    if (line.compare(0, 3, "\xEF\xBB\xBF") == 0) {
      mark = Mark::kUtf8;
      begin += 3;
    } else if (line.size() >= 2 && ((line[0] == '\xFF' && line[1] == '\xFE') ||
                                    (line[0] == '\xFE' && line[1] == '\xFF'))) {
      mark = Mark::kUtf16;
    }
  }
  Trim(&begin, &end);
  const size_t size = static_cast<size_t>(end - begin);
  if (size < 3) return {Kind::kSkipped, mark, {}, {}};
  const char initial = *begin;
  if (initial == ';' || initial == '#' || (initial == '/' && begin[1] == '/'))
    return {Kind::kSkipped, mark, {}, {}};

  // A header names the text between its first and its last byte, whatever they are.
  if (initial == '[') return {Kind::kHeader, mark, {begin + 1, size - 2}, {}};

  const char* equals = static_cast<const char*>(std::memchr(begin, '=', size));
  if (equals == nullptr) return {Kind::kKey, mark, {begin, size}, {}};
  const char *keyBegin = begin, *keyEnd = equals;
  const char *valueBegin = equals + 1, *valueEnd = end;
  Trim(&keyBegin, &keyEnd);
  Trim(&valueBegin, &valueEnd);
  return {Kind::kKey,
          mark,
          {keyBegin, static_cast<size_t>(keyEnd - keyBegin)},
          {valueBegin, static_cast<size_t>(valueEnd - valueBegin)}};
}
