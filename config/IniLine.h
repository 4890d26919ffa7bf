// One line of an INI file as the store reads it: a section header, a key line, or
// a line it skips. The store and the one-line edit of the simulator's configuration
// both classify lines here, so that the edit finds exactly the lines the store reads.
#pragma once

#include <string_view>

struct IniLine {
  enum class Kind { kSkipped, kHeader, kKey };
  /// The byte-order mark that the first line of a file starts with.
  enum class Mark { kNone, kUtf8, kUtf16 };

  /// Classifies `line`, given without its line end; only the `first` line of a file
  /// may start with a byte-order mark. The views point into `line`.
  static IniLine Classify(std::string_view line, bool first);

  Kind kind = Kind::kSkipped;
  Mark mark = Mark::kNone;
  std::string_view name;   // the section of a header, the key of a key line
  std::string_view value;  // of a key line: empty for a line without '='
};
