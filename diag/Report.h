// The report for people on standard error: what a run did and what it could not
// do, one line per file or folder and per outcome, each starting "kvbconfig: ".
// Standard output stays the text that the pilot client reads.
#pragma once

#include <string>

#include "platform/Platform.h"

class Report {
 public:
  /// "kvbconfig: " and `text`, as one line.
  static void Line(const std::string& text);
  /// A file or folder that the run could not bring into the state it meant to:
  /// "<path> is read-only: left as it is" for kReadOnly, else
  /// "cannot <action> <path>: <the system's reason>".
  static void Failure(const std::string& action, const std::string& path, platform::Status status,
                      int error);
  /// `path`, formed as the tool forms paths, as the user finds it on this system.
  static std::string Path(const std::string& path);
};
