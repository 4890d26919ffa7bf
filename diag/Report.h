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
  /// "<path>: left as it is (read-only)" for a read-only file, else
  /// "cannot <action> <path>: <reason>", the reason being the failed call's own.
  static void Failure(const std::string& action, const std::string& path,
                      const platform::Result& failure);
  /// "<path>: left as it is (<why>)", for a file the run leaves alone on purpose.
  static void LeftAsItIs(const std::string& path, const std::string& why);
  /// `path`, formed as the tool forms paths, as the user finds it on this system.
  static std::string Path(const std::string& path);
};
